#include "DataStream/StreamHelper.h"
#include "MessageLog.h"
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

namespace {

using Zeto::MethodInfo;
using Zeto::QObjectInfo;
using Zeto::RemoteQObjectInfo;
using HttpVerb = RemoteQObjectInfo::HttpVerb;

const RemoteQObjectInfo &servedRemoteInfo()
{
    static const RemoteQObjectInfo info = [] {
        const Zeto::Testing::MessageLog quiet;
        return RemoteQObjectInfo(&Served::staticMetaObject);
    }();
    return info;
}

// The tables a lookup can go to: the local ones, the remote ones, then one
// per HTTP verb.
enum Table { Signals, Slots, RemoteSignals, RemoteSlots, Post, Get, Put, Patch, Delete };

int lookUp(Table table, const QByteArray &key)
{
    const QObjectInfo local(&Served::staticMetaObject);
    const RemoteQObjectInfo &remote = servedRemoteInfo();
    switch (table) {
    case Signals: return local.signalIndex(key);
    case Slots: return local.slotIndex(key);
    case RemoteSignals: return remote.remoteSignalIndex(key);
    case RemoteSlots: return remote.remoteSlotIndex(key);
    default: return remote.httpHandlerIndex(HttpVerb(table - Post), key);
    }
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
    void initTestCase() { Zeto::registerType<QList<int>>(); }
    void lookups_data();
    void lookups();
    void onlyInheritedMethods();
    void methodInfo();
    void warnings();
};

void tst_QObjectInfo::lookups_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QByteArray>("key");
    // The method expected, by Qt's signature; null for none.
    QTest::addColumn<QByteArray>("found");

    const auto row = [](const char *name, Table table, const QByteArray &key, const QByteArray &found) {
        QTest::newRow(name) << int(table) << key << found;
    };
    const QByteArray valueChanged = "valueChanged(int,QString)";
    row("tagged signal", Signals, valueChanged, valueChanged);
    row("remote tagged signal", RemoteSignals, valueChanged, valueChanged);
    row("unnormalized", Signals, "valueChanged(int, QString)", NoMethod);
    row("signal as slot", Slots, valueChanged, NoMethod);
    row("untagged signal", Signals, "plainSignal()", "plainSignal()");
    row("remote untagged signal", RemoteSignals, "plainSignal()", NoMethod);
    row("remote wrongly tagged signal", RemoteSignals, "slotTaggedSignal()", NoMethod);
    row("inherited signal", Signals, "baseSignal()", NoMethod);
    row("QObject's signal", Signals, "destroyed()", NoMethod);
    row("inherited slot", Slots, "baseSlot()", NoMethod);
    row("remote inherited slot", RemoteSlots, "baseSlot()", NoMethod);
    row("QObject's slot", Slots, "deleteLater()", NoMethod);
    row("invokable", Slots, "invokable()", NoMethod);
    row("protected slot", Slots, "protectedSlot()", NoMethod);
    row("remote protected slot", RemoteSlots, "protectedSlot()", NoMethod);
    row("default argument", RemoteSlots, "set(int,int)", "set(int,int)");
    row("default argument left out", RemoteSlots, "set(int)", "set(int)");
    row("own tag word", RemoteSlots, "withOwnWord()", "withOwnWord()");
    row("lower-case tag", Slots, "lowerCase()", "lowerCase()");
    row("remote lower-case tag", RemoteSlots, "lowerCase()", NoMethod);
    row("canonical alias", Slots, "take(QList<int>)", "take(QList<qint32>)");
    row("remote canonical alias", RemoteSlots, "take(QList<int>)", "take(QList<qint32>)");
    row("declared alias", Slots, "take(QList<qint32>)", NoMethod);
    row("remote untagged slot", RemoteSlots, "untagged()", NoMethod);
    row("remote slot tagged twice", RemoteSlots, "twiceTaggedSlot()", NoMethod);
    row("remote mixed tags", RemoteSlots, "mixedSlot()", NoMethod);
    row("mixed tags as HTTP", Get, "mixedSlot", NoMethod);
    const QByteArray handle = "handle(QSharedPointer<Zeto::Server::HttpBroker>)";
    row("HTTP handler as slot", RemoteSlots, handle, NoMethod);
    row("GET", Get, "handle", handle);
    row("DELETE", Delete, "handle", handle);
    row("verb not tagged", Post, "handle", NoMethod);
    row("short broker name", Post, "post", "post(QSharedPointer<HttpBroker>)");
    row("wrong broker type", Put, "wrongType", NoMethod);
    row("two arguments", Patch, "twoArguments", NoMethod);
}

void tst_QObjectInfo::lookups()
{
    QFETCH(int, table);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, found);

    QCOMPARE(lookUp(Table(table), key), indexOf(found));
}

void tst_QObjectInfo::onlyInheritedMethods()
{
    const QObjectInfo info(&OnlyInherited::staticMetaObject);
    QCOMPARE(info.className(), QByteArray("OnlyInherited"));
    QVERIFY(info.signalList().isEmpty() && info.slotList().isEmpty());
    const RemoteQObjectInfo remote(&OnlyInherited::staticMetaObject);
    QVERIFY(remote.remoteSignals().isEmpty() && remote.remoteSlots().isEmpty() && remote.httpHandlers().isEmpty());
}

void tst_QObjectInfo::methodInfo()
{
    QCOMPARE(Served::staticMetaObject.method(indexOf("set(int,int)")).tag(), "REMOTE_SLOT");

    const RemoteQObjectInfo &info = servedRemoteInfo();
    QCOMPARE(info.className(), QByteArray("Served"));
    QCOMPARE(info.remoteSignals().size(), 1);
    const MethodInfo signal = info.remoteSignals().first();
    QCOMPARE(signal.name(), QByteArray("valueChanged"));
    QCOMPARE(signal.typeName(), QByteArray("void"));
    QCOMPARE(signal.parameterTypes(), (QList<QByteArray>{"int", "QString"}));
    QCOMPARE(signal.tag(), QStringLiteral("REMOTE_SIGNAL"));
    QCOMPARE(signal.methodIndex(), indexOf("valueChanged(int,QString)"));
    QCOMPARE(signal.signature(), QByteArray("valueChanged(int,QString)"));

    QStringList slotTags;
    for (const MethodInfo &slot : info.remoteSlots())
        slotTags << QString::fromLatin1(slot.signature()) << slot.tag();
    QCOMPARE(slotTags, (QStringList{"set(int,int)", "REMOTE_SLOT", "set(int)", "REMOTE_SLOT", "withOwnWord()",
                                    "APP_TAG REMOTE_SLOT", "take(QList<qint32>)", "REMOTE_SLOT"}));
    QCOMPARE(info.httpHandlers().size(), 2);
}

void tst_QObjectInfo::warnings()
{
    // Compilers spell the parameter list differently.
    const QString constructor = QStringLiteral("Zeto::RemoteQObjectInfo::RemoteQObjectInfo(");
    const QString signalAdvice = " To make a signal available to remote connections, tag it with just the "
                                 "REMOTE_SIGNAL tag.";
    const QString invalidSlotTags = "Invalid tags for slot. To make a slot available to remote connections, tag "
                                    "it with just the REMOTE_SLOT tag or, to make it a HTTP handler, add only "
                                    "HTTP tags to it.";
    const QString invalidHandler = "Added HTTP tag to a slot with invalid arguments. Http handlers must have the "
                                   "following signature: <method_name>(QSharedPointer<Zeto::Server::HttpBroker>).";
    const QStringList expected{
        "Added REMOTE_SLOT tag to a signal." + signalAdvice,
        "Added a HTTP tag to a signal." + signalAdvice,
        "Invalid tags for signal." + signalAdvice,
        "Added REMOTE_SIGNAL tag to a slot. To make a slot available to remote connections, tag it with just the "
        "REMOTE_SLOT tag.",
        invalidSlotTags,
        invalidSlotTags,
        invalidHandler,
        invalidHandler,
    };

    const Zeto::Testing::MessageLog log;
    const RemoteQObjectInfo info(&Served::staticMetaObject);
    for (const QString &function : log.functions())
        QVERIFY2(function.startsWith(constructor), qPrintable(function));
    QCOMPARE(log.warnings(), expected);
}

QTEST_GUILESS_MAIN(tst_QObjectInfo)
#include "tst_QObjectInfo.moc"
