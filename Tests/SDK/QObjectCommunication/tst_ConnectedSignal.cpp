#include "ErrorHandler/ErrorHandler.h"
#include "QObjectCommunication/ConnectedSignal.h"
#include "TestObjects.h"

#include <QtTest/QtTest>

using namespace Zeto;
using namespace Zeto::Testing;

namespace {

QScopedPointer<ConnectedSignal> watch(QObject *emitter, const char *signal)
{
    const int index = emitter ? emitter->metaObject()->indexOfSignal(signal) : 0;
    return QScopedPointer<ConnectedSignal>(
        new ConnectedSignal(emitter, index, "link", "sender", QByteArray("2") + signal, "receiver", "1touch()"));
}

} // namespace

class tst_ConnectedSignal : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void emissionsBecomeEvents_data();
    void emissionsBecomeEvents();
    void unwatchableSignalsFail_data();
    void unwatchableSignalsFail();
    void emitterDestructionIsReportedOnce();
};

void tst_ConnectedSignal::initTestCase()
{
    qRegisterMetaType<ErrorInfo>();
}

void tst_ConnectedSignal::emissionsBecomeEvents_data()
{
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QVariantList>("first");
    QTest::addColumn<QVariantList>("second");

    QTest::newRow("no parameters") << QByteArray("nothing()") << QVariantList() << QVariantList();
    QTest::newRow("two parameters") << QByteArray("pair(int,QString)") << QVariantList{5, QStringLiteral("x")}
                                    << QVariantList{6, QStringLiteral("y")};
}

// Two emissions in a row give two events, the second not altering the first.
void tst_ConnectedSignal::emissionsBecomeEvents()
{
    QFETCH(QByteArray, signal);
    QFETCH(QVariantList, first);
    QFETCH(QVariantList, second);

    SlotTarget emitter;
    const auto watcher = watch(&emitter, signal);
    QVERIFY(watcher->isWatching());
    QSignalSpy events(watcher.data(), &ConnectedSignalPrivate::connectedSignalEmitted);
    QSignalSpy connected(watcher.data(), &ConnectedSignalPrivate::connected);

    if (first.isEmpty()) {
        Q_EMIT emitter.nothing();
        Q_EMIT emitter.nothing();
    } else {
        Q_EMIT emitter.pair(first.at(0).toInt(), first.at(1).toString());
        Q_EMIT emitter.pair(second.at(0).toInt(), second.at(1).toString());
    }

    QCOMPARE(events.size(), 2);
    const auto event = [&events](int index) { return events.at(index).at(0).value<ConnectedSignalEmittedEvent>(); };
    QCOMPARE(event(0).arguments().toList(), first);
    QCOMPARE(event(1).arguments().toList(), second);
    QCOMPARE(event(0).connectionId(), QByteArray("link"));
    QCOMPARE(event(0).slotSignature(), QByteArray("1touch()"));
    QVERIFY(connected.wait());
}

void tst_ConnectedSignal::unwatchableSignalsFail_data()
{
    QTest::addColumn<bool>("withEmitter");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<int>("error");

    QTest::newRow("no emitter") << false << QByteArray() << int(InvalidSignalEmitter);
    QTest::newRow("signal of a base class") << true << QByteArray("valueChanged(int)") << int(RemoteSignalNotFound);
    QTest::newRow("eleven parameters") << true << QByteArray("eleven(int,int,int,int,int,int,int,int,int,int,int)")
                                       << int(SignalTooBig);
}

void tst_ConnectedSignal::unwatchableSignalsFail()
{
    QFETCH(bool, withEmitter);
    QFETCH(QByteArray, signal);
    QFETCH(int, error);

    SlotTarget emitter;
    const auto watcher = watch(withEmitter ? &emitter : nullptr, signal);
    QSignalSpy failed(watcher.data(), &ConnectedSignalPrivate::failed);

    QVERIFY(!watcher->isWatching());
    QVERIFY(failed.wait());
    QCOMPARE(failed.at(0).at(1).value<ErrorInfo>(), makeErrorInfo(ConnectionError(error)));
}

void tst_ConnectedSignal::emitterDestructionIsReportedOnce()
{
    auto *emitter = new SlotTarget;
    const auto watcher = watch(emitter, "nothing()");
    QSignalSpy destroyed(watcher.data(), &ConnectedSignalPrivate::emitterDestroyed);

    delete emitter;

    QCOMPARE(destroyed.size(), 1);
    QCOMPARE(destroyed.at(0).at(0).toByteArray(), QByteArray("link"));
}

QTEST_MAIN(tst_ConnectedSignal)
#include "tst_ConnectedSignal.moc"
