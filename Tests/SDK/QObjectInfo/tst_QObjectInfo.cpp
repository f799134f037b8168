#include "DataStream/StreamHelper.h"
#include "QObjectInfo/QObjectInfo.h"
#include "RemoteObjects/RemoteQObjectInfo.h"
#include "RemoteObjects/RemoteTags.h"

#include <QtCore/QMetaMethod>
#include <QtCore/QSharedPointer>
#include <QtTest/QtTest>

namespace Zeto {
namespace Server {
struct HttpBroker
{
};
} // namespace Server

// Registration only; the values never travel.
DataStream &operator<<(DataStream &stream, const QList<int> &) { return stream; }
DataStream &operator>>(DataStream &stream, QList<int> &) { return stream; }

} // namespace Zeto

using Zeto::Server::HttpBroker;

// Tag words that moc must record as written; the compiler sees nothing.
#ifndef Q_MOC_RUN
#  define APP_TAG
#  define remote_slot
#endif

class Base : public QObject
{
    Q_OBJECT

Q_SIGNALS:
    REMOTE_SIGNAL void baseSignal();

public Q_SLOTS:
    REMOTE_SLOT void baseSlot() {}
};

class OnlyInherited : public Base
{
    Q_OBJECT
};

class Served : public Base
{
    Q_OBJECT

public:
    Q_INVOKABLE void invokable() {}

Q_SIGNALS:
    REMOTE_SIGNAL void valueChanged(int value, const QString &text);
    void plainSignal();
    REMOTE_SLOT void slotTaggedSignal();
    HTTP_GET void httpTaggedSignal();
    REMOTE_SIGNAL REMOTE_SIGNAL void twiceTaggedSignal();

public Q_SLOTS:
    REMOTE_SLOT void set(int, int = 0) {}
    APP_TAG   REMOTE_SLOT void withOwnWord() {}
    remote_slot void lowerCase() {}
    REMOTE_SLOT void take(QList<qint32>) {}
    void untagged() {}
    REMOTE_SIGNAL void signalTaggedSlot() {}
    REMOTE_SLOT REMOTE_SLOT void twiceTaggedSlot() {}
    HTTP_GET REMOTE_SLOT void mixedSlot() {}
    HTTP_GET HTTP_DELETE void handle(QSharedPointer<Zeto::Server::HttpBroker>) {}
    HTTP_POST void post(QSharedPointer<HttpBroker>) {}
    HTTP_PUT void wrongType(int) {}
    HTTP_PATCH void twoArguments(QSharedPointer<HttpBroker>, int) {}

protected Q_SLOTS:
    REMOTE_SLOT void protectedSlot() {}
};

Q_DECLARE_METATYPE(Zeto::RemoteQObjectInfo::HttpVerb)

namespace {

using Zeto::MethodInfo;
using Zeto::QObjectInfo;
using Zeto::RemoteQObjectInfo;
using HttpVerb = RemoteQObjectInfo::HttpVerb;

// The warnings logged while it lives, and the functions that logged them.
class WarningLog
{
public:
    WarningLog() : m_previous(qInstallMessageHandler(record))
    {
        texts().clear();
        functions().clear();
    }
    ~WarningLog() { qInstallMessageHandler(m_previous); }

    static QStringList &texts()
    {
        static QStringList list;
        return list;
    }
    static QStringList &functions()
    {
        static QStringList list;
        return list;
    }

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type != QtWarningMsg)
            return;
        texts().append(text);
        functions().append(QString::fromUtf8(context.function));
    }

    QtMessageHandler m_previous;
};

// Built once, its warnings kept out of the test log.
const RemoteQObjectInfo &servedRemoteInfo()
{
    static const RemoteQObjectInfo info = [] {
        const WarningLog log;
        return RemoteQObjectInfo(&Served::staticMetaObject);
    }();
    return info;
}

int indexOf(const QByteArray &qtSignature)
{
    return qtSignature.isNull() ? -1 : Served::staticMetaObject.indexOfMethod(qtSignature.constData());
}

const QByteArray NoMethod;

} // namespace

class tst_QObjectInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void lookups_data();
    void lookups();
    void onlyInheritedMethods();
    void methodInfo();
    void warnings();
    void httpHandlers_data();
    void httpHandlers();
};

void tst_QObjectInfo::initTestCase()
{
    Zeto::registerType<QList<int>>();
}

void tst_QObjectInfo::lookups_data()
{
    QTest::addColumn<bool>("remote");
    QTest::addColumn<bool>("isSignal");
    QTest::addColumn<QByteArray>("signature");
    // The method expected, by Qt's signature; null for none.
    QTest::addColumn<QByteArray>("found");

    const auto both = [](const char *name, bool isSignal, const QByteArray &signature, const QByteArray &local,
                         const QByteArray &remote) {
        QTest::addRow("local %s", name) << false << isSignal << signature << local;
        QTest::addRow("remote %s", name) << true << isSignal << signature << remote;
    };
    both("tagged signal", true, "valueChanged(int,QString)", "valueChanged(int,QString)",
         "valueChanged(int,QString)");
    both("unnormalized", true, "valueChanged(int, QString)", NoMethod, NoMethod);
    both("untagged signal", true, "plainSignal()", "plainSignal()", NoMethod);
    both("wrongly tagged signal", true, "slotTaggedSignal()", "slotTaggedSignal()", NoMethod);
    both("signal as slot", false, "valueChanged(int,QString)", NoMethod, NoMethod);
    both("inherited signal", true, "baseSignal()", NoMethod, NoMethod);
    both("QObject's signal", true, "destroyed()", NoMethod, NoMethod);
    both("inherited slot", false, "baseSlot()", NoMethod, NoMethod);
    both("QObject's slot", false, "deleteLater()", NoMethod, NoMethod);
    both("invokable", false, "invokable()", NoMethod, NoMethod);
    both("protected slot", false, "protectedSlot()", NoMethod, NoMethod);
    both("default argument", false, "set(int,int)", "set(int,int)", "set(int,int)");
    both("default argument left out", false, "set(int)", "set(int)", "set(int)");
    both("own tag word", false, "withOwnWord()", "withOwnWord()", "withOwnWord()");
    both("lower-case tag", false, "lowerCase()", "lowerCase()", NoMethod);
    both("canonical alias", false, "take(QList<int>)", "take(QList<qint32>)", "take(QList<qint32>)");
    both("declared alias", false, "take(QList<qint32>)", NoMethod, NoMethod);
    both("untagged slot", false, "untagged()", "untagged()", NoMethod);
    both("slot tagged twice", false, "twiceTaggedSlot()", "twiceTaggedSlot()", NoMethod);
    both("mixed tags", false, "mixedSlot()", "mixedSlot()", NoMethod);
    both("HTTP handler", false, "handle(QSharedPointer<Zeto::Server::HttpBroker>)",
         "handle(QSharedPointer<Zeto::Server::HttpBroker>)", NoMethod);
}

void tst_QObjectInfo::lookups()
{
    QFETCH(bool, remote);
    QFETCH(bool, isSignal);
    QFETCH(QByteArray, signature);
    QFETCH(QByteArray, found);

    int index;
    if (remote) {
        const RemoteQObjectInfo &info = servedRemoteInfo();
        index = isSignal ? info.remoteSignalIndex(signature) : info.remoteSlotIndex(signature);
    } else {
        const QObjectInfo info(&Served::staticMetaObject);
        index = isSignal ? info.signalIndex(signature) : info.slotIndex(signature);
    }
    QCOMPARE(index, indexOf(found));
}

void tst_QObjectInfo::onlyInheritedMethods()
{
    const QObjectInfo info(&OnlyInherited::staticMetaObject);
    QCOMPARE(info.className(), QByteArray("OnlyInherited"));
    QVERIFY(info.signalList().isEmpty());
    QVERIFY(info.slotList().isEmpty());
    QCOMPARE(info.slotIndex("baseSlot()"), -1);

    const RemoteQObjectInfo remote(&OnlyInherited::staticMetaObject);
    QVERIFY(remote.remoteSignals().isEmpty());
    QVERIFY(remote.remoteSlots().isEmpty());
    QCOMPARE(remote.remoteSlotIndex("baseSlot()"), -1);
}

void tst_QObjectInfo::methodInfo()
{
    const int setIndex = indexOf("set(int,int)");
    QCOMPARE(Served::staticMetaObject.method(setIndex).tag(), "REMOTE_SLOT");

    const RemoteQObjectInfo &info = servedRemoteInfo();
    QCOMPARE(info.className(), QByteArray("Served"));
    const QList<MethodInfo> signalList = info.remoteSignals();
    QCOMPARE(signalList.size(), 1);
    const MethodInfo &signal = signalList.first();
    QCOMPARE(signal.name(), QByteArray("valueChanged"));
    QCOMPARE(signal.typeName(), QByteArray("void"));
    QCOMPARE(signal.parameterTypes(), (QList<QByteArray>{"int", "QString"}));
    QCOMPARE(signal.tag(), QStringLiteral("REMOTE_SIGNAL"));
    QCOMPARE(signal.methodIndex(), indexOf("valueChanged(int,QString)"));
    QCOMPARE(signal.signature(), QByteArray("valueChanged(int,QString)"));

    QStringList slotSignatures;
    for (const MethodInfo &slot : info.remoteSlots())
        slotSignatures.append(QString::fromLatin1(slot.signature() + ' ' + slot.tag().toLatin1()));
    QCOMPARE(slotSignatures, (QStringList{"set(int,int) REMOTE_SLOT", "set(int) REMOTE_SLOT",
                                          "withOwnWord() APP_TAG REMOTE_SLOT", "take(QList<qint32>) REMOTE_SLOT"}));
}

void tst_QObjectInfo::warnings()
{
    const QString signalAdvice =
        QStringLiteral(" To make a signal available to remote connections, tag it with just the REMOTE_SIGNAL tag.");
    const QStringList expected{
        "Added REMOTE_SLOT tag to a signal." + signalAdvice,
        "Added a HTTP tag to a signal." + signalAdvice,
        "Invalid tags for signal." + signalAdvice,
        "Added REMOTE_SIGNAL tag to a slot. To make a slot available to remote connections, tag it with "
                  "just the REMOTE_SLOT tag.",
        "Invalid tags for slot. To make a slot available to remote connections, tag it with just the "
                  "REMOTE_SLOT tag or, to make it a HTTP handler, add only HTTP tags to it.",
        "Invalid tags for slot. To make a slot available to remote connections, tag it with just the "
                  "REMOTE_SLOT tag or, to make it a HTTP handler, add only HTTP tags to it.",
        "Added HTTP tag to a slot with invalid arguments. Http handlers must have the following "
                  "signature: <method_name>(QSharedPointer<Zeto::Server::HttpBroker>).",
        "Added HTTP tag to a slot with invalid arguments. Http handlers must have the following "
                  "signature: <method_name>(QSharedPointer<Zeto::Server::HttpBroker>).",
    };

    const WarningLog log;
    const RemoteQObjectInfo info(&Served::staticMetaObject);
    QCOMPARE(log.texts(), expected);
    for (const QString &function : log.functions())
        QVERIFY2(function.contains(QLatin1String("RemoteQObjectInfo::RemoteQObjectInfo(")), qPrintable(function));
}

void tst_QObjectInfo::httpHandlers_data()
{
    QTest::addColumn<HttpVerb>("verb");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("found");

    const QByteArray handle = "handle(QSharedPointer<Zeto::Server::HttpBroker>)";
    QTest::newRow("GET") << HttpVerb::Get << QByteArray("handle") << handle;
    QTest::newRow("DELETE") << HttpVerb::Delete << QByteArray("handle") << handle;
    QTest::newRow("untagged verb") << HttpVerb::Post << QByteArray("handle") << NoMethod;
    QTest::newRow("short type name") << HttpVerb::Post << QByteArray("post")
                                     << QByteArray("post(QSharedPointer<HttpBroker>)");
    QTest::newRow("wrong type") << HttpVerb::Put << QByteArray("wrongType") << NoMethod;
    QTest::newRow("two arguments") << HttpVerb::Patch << QByteArray("twoArguments")
                                   << NoMethod;
    QTest::newRow("mixed with REMOTE_SLOT") << HttpVerb::Get << QByteArray("mixedSlot")
                                            << NoMethod;
}

void tst_QObjectInfo::httpHandlers()
{
    QFETCH(HttpVerb, verb);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, found);

    const RemoteQObjectInfo &info = servedRemoteInfo();
    QCOMPARE(info.httpHandlerIndex(verb, name), indexOf(found));
    QCOMPARE(info.httpHandlers().size(), 2);
}

QTEST_GUILESS_MAIN(tst_QObjectInfo)
#include "tst_QObjectInfo.moc"
