#include "EndpointPeers.h"
#include "MessageLog.h"
#include "ErrorHandler/ErrorHandler.h"
#include "Messenger/Id.h"
#include "QObjectCommunication/Messages/CallSlotRequest.h"
#include "QObjectCommunication/Messages/CallSlotResponse.h"
#include "QObjectCommunication/SlotSignatureCache.h"
#include "TestObjects.h"

#include <QtTest/QtTest>

using namespace Zeto;
using namespace Zeto::Testing;

namespace {

QVector<QVariant> integers(int count)
{
    QVector<QVariant> values;
    for (int value = 0; value < count; ++value)
        values.append(value);
    return values;
}

// By name, or by signature when the text carries the SLOT code.
QByteArray call(QObjectEndpoint &endpoint, const QByteArray &objectId, const QByteArray &slot,
                const QVector<QVariant> &arguments)
{
    if (slot.startsWith('1'))
        return endpoint.callSlot(objectId, slot, arguments);
    return endpoint.callSlot(objectId, slot.constData(), arguments);
}

} // namespace

class tst_QObjectEndpointSlotCalls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void calls_data();
    void calls();
    void callsInARowSendTheirOwnSignatures();
    void refusalsNameWhatFailed_data();
    void refusalsNameWhatFailed();
    void refusedBeforeSending_data();
    void refusedBeforeSending();
    void writesArgumentAndResultOnce();
    void applicationObjectsAnswerOnlyTheirLinks();
    void answersWithoutACall_data();
    void answersWithoutACall();
    void cacheIsEmptiedWhenFull();
};

void tst_QObjectEndpointSlotCalls::initTestCase()
{
    qRegisterMetaType<ErrorInfo>();
    registerIntegerList();
    CountedWrites::registerType();
}

void tst_QObjectEndpointSlotCalls::calls_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QVector<QVariant>>("arguments");
    QTest::addColumn<bool>("succeeds");
    // The result as describe() shows it, or the error code.
    QTest::addColumn<QByteArray>("outcome");

    const QByteArray target = SlotTargetClass;
    QTest::newRow("int result") << CalculatorClass << QByteArray("add") << QVector<QVariant>{2, 3} << true
                                << QByteArray("int:5");
    QTest::newRow("text result") << CalculatorClass << QByteArray("echo") << QVector<QVariant>{QStringLiteral("hi")}
                                 << true << QByteArray("QString:hi");
    QTest::newRow("void slot") << target << QByteArray("touch") << QVector<QVariant>() << true << QByteArray("invalid");
    QTest::newRow("ten arguments") << target << QByteArray("sum") << integers(10) << true << QByteArray("int:45");
    QTest::newRow("default argument left out") << target << QByteArray("scaled") << QVector<QVariant>{4} << true
                                               << QByteArray("int:8");
    QTest::newRow("default argument given") << target << QByteArray("scaled") << QVector<QVariant>{4, 3} << true
                                            << QByteArray("int:12");
    QTest::newRow("alias in signature") << target << QByteArray("1wide(qint64)")
                                        << QVector<QVariant>{qlonglong(1) << 40} << true
                                        << QByteArray("qlonglong:1099511627776");
    QTest::newRow("any value for a QVariant") << target << QByteArray("1identity(QVariant)")
                                              << QVector<QVariant>{7} << true << QByteArray("int:7");
    QTest::newRow("typedef'd parameter") << target << QByteArray("handle")
                                         << QVector<QVariant>{QVariant::fromValue(qintptr(9))} << true
                                         << QByteArray("qlonglong:9");
    QTest::newRow("typedef'd parameter by signature")
        << target << QByteArray("1handle(qintptr)") << QVector<QVariant>{QVariant::fromValue(qintptr(9))} << true
        << QByteArray("qlonglong:9");
    QTest::newRow("typedef in a template")
        << target << QByteArray("count") << QVector<QVariant>{QVariant::fromValue(QList<qint32>{4, 5, 6})} << true
        << QByteArray("int:3");
    QTest::newRow("fewer values than parameters")
        << target << QByteArray("1record(int,QString)") << QVector<QVariant>{1} << false << code(RemoteSlotNotFound);
    QTest::newRow("argument missing") << target << QByteArray("record") << QVector<QVariant>{1} << false
                                      << code(RemoteSlotNotFound);
    QTest::newRow("protected slot") << target << QByteArray("hidden") << QVector<QVariant>() << false
                                    << code(RemoteSlotNotFound);
    QTest::newRow("inherited slot") << target << QByteArray("add") << QVector<QVariant>{2, 3} << false
                                    << code(RemoteSlotNotFound);
    QTest::newRow("untagged slot") << target << QByteArray("untagged") << QVector<QVariant>() << false
                                   << code(RemoteSlotNotFound);
    QTest::newRow("slot throws") << target << QByteArray("fail") << QVector<QVariant>() << false
                                 << code(RemoteSlotRaisedException);
    QTest::newRow("text for a number") << target << QByteArray("1wide(qlonglong)")
                                       << QVector<QVariant>{QStringLiteral("bits")} << false << code(InvalidMessage);
    QTest::newRow("more values than parameters") << target << QByteArray("1touch()") << QVector<QVariant>{1}
                                                 << false << code(InvalidMessage);
    QTest::newRow("pointer in signature") << target << QByteArray("1touch(int*)") << QVector<QVariant>() << false
                                          << code(InvalidMessage);
    QTest::newRow("result cannot travel") << target << QByteArray("unwritable") << QVector<QVariant>() << false
                                          << code(UnregisteredArgument);
}

void tst_QObjectEndpointSlotCalls::calls()
{
    QFETCH(QByteArray, className);
    QFETCH(QByteArray, slot);
    QFETCH(QVector<QVariant>, arguments);
    QFETCH(bool, succeeds);
    QFETCH(QByteArray, outcome);

    EndpointPeers peers;
    const QByteArray objectId =
        peers.instantiate(className, urlWithPath(className == CalculatorClass ? "/calc" : "/target"));
    EndpointOutcomes requester(peers.endpoints.requester.data());
    EndpointOutcomes server(peers.endpoints.server.data());

    const QByteArray slotCallId = call(*peers.endpoints.requester, objectId, slot, arguments);
    QVERIFY(peers.couriers.deliverAll());

    const char *signal = succeeds ? "called" : "callFailed";
    QCOMPARE(requester.log, QByteArrayList{Testing::outcome(signal, slotCallId, outcome, true)});
    QCOMPARE(server.log, QByteArrayList{Testing::outcome(signal, slotCallId, outcome, false)});

    // Whatever the slot did, the endpoint goes on serving.
    if (className == SlotTargetClass) {
        peers.endpoints.requester->callSlot(objectId, "touch", {});
        QVERIFY(peers.couriers.deliverAll());
        QVERIFY(requester.log.constLast().startsWith("called"));
    }
}

// The signature of one call is remembered for the next: a change of the
// slot or of an argument's type must not send the previous one.
void tst_QObjectEndpointSlotCalls::callsInARowSendTheirOwnSignatures()
{
    EndpointPeers peers;
    const QByteArray objectId = peers.instantiate(SlotTargetClass, urlWithPath("/target"));
    EndpointOutcomes requester(peers.endpoints.requester.data());
    const QVector<QPair<QVector<QVariant>, QByteArray>> calls{
        {{4}, "int:8"},
        {{4, 3}, "int:12"},
        {{4}, "int:8"},
        {{QStringLiteral("4")}, code(RemoteSlotNotFound)},
        {{4}, "int:8"},
    };
    QByteArrayList expected;
    for (const auto &call : calls) {
        const QByteArray id = peers.endpoints.requester->callSlot(objectId, "scaled", call.first);
        expected << outcome(call.second.startsWith("int") ? "called" : "callFailed", id, call.second, true);
    }
    const QByteArray sumId = peers.endpoints.requester->callSlot(objectId, "sum", integers(10));
    expected << outcome("called", sumId, "int:45", true);
    QVERIFY(peers.couriers.deliverAll());
    QCOMPARE(requester.log, expected);
}

// The codes stay as they are; the log says which call failed and why, on
// the side that sent it (with the object's class and URL) and on the side
// that refused it.
void tst_QObjectEndpointSlotCalls::refusalsNameWhatFailed_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QVector<QVariant>>("arguments");
    QTest::addColumn<QStringList>("warnings");
    const QString target = QString::fromLatin1(SlotTargetClass);
    const QString at = target + " at zeto://127.0.0.1:4000/target";
    QTest::newRow("misspelt slot") << QByteArray("tuoch") << QVector<QVariant>()
                                   << QStringList{"tuoch() on " + target
                                                      + " refused: Connection error. Remote slot "
                                                        "not found.",
                                                  "tuoch() on " + at + ": Connection error. Remote slot not found."};
    QTest::newRow("argument missing") << QByteArray("record") << QVector<QVariant>{1}
                                      << QStringList{"record(int) on " + target
                                                         + " refused: Connection error. Remote slot not found.",
                                                     "record(int) on " + at
                                                         + ": Connection error. Remote slot not found."};
    QTest::newRow("wrong argument type") << QByteArray("wide") << QVector<QVariant>{QStringLiteral("bits")}
                                         << QStringList{"wide(QString) on " + target
                                                            + " refused: Connection error. Remote slot not found.",
                                                        "wide(QString) on " + at
                                                            + ": Connection error. Remote slot not found."};
    QTest::newRow("result cannot travel")
        << QByteArray("unwritable") << QVector<QVariant>()
        << QStringList{"unwritable() on " + target
                           + " (its result, a Zeto::Testing::Unwritable, cannot travel): Connection error. Argument "
                             "is not registered. Use Zeto::registerType to register a custom type.",
                       "unwritable() on " + at
                           + ": Connection error. Argument is not registered. Use "
                             "Zeto::registerType to register a custom type."};
}

void tst_QObjectEndpointSlotCalls::refusalsNameWhatFailed()
{
    QFETCH(QByteArray, slot);
    QFETCH(QVector<QVariant>, arguments);
    QFETCH(QStringList, warnings);
    EndpointPeers peers;
    const QByteArray objectId = peers.instantiate(SlotTargetClass, urlWithPath("/target"));
    const MessageLog log;
    call(*peers.endpoints.requester, objectId, slot, arguments);
    QVERIFY(peers.couriers.deliverAll());
    for (const QString &warning : warnings)
        QVERIFY2(log.warnings().contains(warning), qPrintable(log.warnings().join('\n')));
}

void tst_QObjectEndpointSlotCalls::refusedBeforeSending_data()
{
    QTest::addColumn<bool>("validObject");
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QVector<QVariant>>("arguments");
    QTest::addColumn<bool>("finishFirst");
    QTest::addColumn<QByteArray>("error");

    QTest::newRow("invalid object id") << false << QByteArray("add") << QVector<QVariant>() << false
                                       << code(InvalidMessage);
    QTest::newRow("eleven arguments") << true << QByteArray("sum") << integers(11) << false << code(InvalidMessage);
    QTest::newRow("empty signature") << true << QByteArray("1") << QVector<QVariant>() << false
                                     << code(InvalidMessage);
    QTest::newRow("argument cannot travel")
        << true << QByteArray("echo") << QVector<QVariant>{QVariantList{1, QVariant::fromValue(Unwritable())}}
        << false << code(UnregisteredArgument);
    QTest::newRow("finished endpoint") << true << QByteArray("add") << QVector<QVariant>{1, 2} << true
                                       << code(ConnectionDropped);
}

void tst_QObjectEndpointSlotCalls::refusedBeforeSending()
{
    QFETCH(bool, validObject);
    QFETCH(QByteArray, slot);
    QFETCH(QVector<QVariant>, arguments);
    QFETCH(bool, finishFirst);
    QFETCH(QByteArray, error);

    EndpointPeers peers;
    const QByteArray objectId = validObject ? peers.instantiate() : QByteArray("object");
    if (finishFirst)
        peers.dropServerEndpoint();
    EndpointOutcomes requester(peers.endpoints.requester.data());
    peers.couriers.first()->clearSentQVariants();
    if (error == code(UnregisteredArgument))
        expectUnwritableWarnings();

    const QByteArray slotCallId =
        slot == "1" ? peers.endpoints.requester->callSlot(objectId, QByteArray(), arguments)
                    : call(*peers.endpoints.requester, objectId, slot, arguments);
    QVERIFY(isValidId(slotCallId));
    QVERIFY(requester.log.isEmpty());
    QVERIFY(peers.couriers.deliverAll());

    QCOMPARE(requester.log, QByteArrayList{outcome("callFailed", slotCallId, error, true)});
    QVERIFY(peers.couriers.first()->sentQVariants().isEmpty());
}

// Neither side writes a value on trial before the one write that sends it.
void tst_QObjectEndpointSlotCalls::writesArgumentAndResultOnce()
{
    EndpointPeers peers;
    const QByteArray objectId = peers.instantiate(SlotTargetClass, urlWithPath("/target"));
    EndpointOutcomes requester(peers.endpoints.requester.data());
    const QVariant value = QVariant::fromValue(CountedWrites{7});
    CountedWrites::writes = 0;

    const QByteArray slotCallId =
        peers.endpoints.requester->callSlot(objectId, QByteArray("1identity(QVariant)"), {value});
    QVERIFY(peers.couriers.deliverAll());

    QCOMPARE(requester.log, QByteArrayList{outcome("called", slotCallId, describe(value), true)});
    // The argument by the caller, the result by the server.
    QCOMPARE(CountedWrites::writes, 2);
}

void tst_QObjectEndpointSlotCalls::applicationObjectsAnswerOnlyTheirLinks()
{
    EndpointPeers peers;
    Listener listener;
    const QByteArray listenerId = peers.endpoints.server->registerQObject(&listener);
    EndpointOutcomes requester(peers.endpoints.requester.data());

    const QByteArray direct = peers.endpoints.requester->callSlot(listenerId, "touch", {});
    const QByteArray unlinked = generateId();
    peers.injectToServer(QVariant::fromValue(CallSlotRequest(listenerId, unlinked, "1touch()", {}, generateId())));
    QVERIFY(peers.couriers.deliverAll());

    // The second answer concerns a call the requester never made.
    QCOMPARE(requester.log, (QByteArrayList{outcome("callFailed", direct, code(InvalidMessage), true),
                                            outcome("error", {}, code(InvalidMessage), false)}));
    QCOMPARE(listener.touched, 0);
}

void tst_QObjectEndpointSlotCalls::answersWithoutACall_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<bool>("reportsError");

    QTest::newRow("success") << true << true;
    QTest::newRow("failure") << false << true;
}

void tst_QObjectEndpointSlotCalls::answersWithoutACall()
{
    QFETCH(bool, success);
    QFETCH(bool, reportsError);

    EndpointPeers peers;
    EndpointOutcomes requester(peers.endpoints.requester.data());

    peers.injectToRequester(QVariant::fromValue(CallSlotResponse(success, generateId(), generateId(), QVariant(),
                                                                 makeErrorInfo(ConnectedReceiverNotFound))));
    QVERIFY(peers.couriers.deliverAll());

    QCOMPARE(requester.log.size(), reportsError ? 1 : 0);
}

void tst_QObjectEndpointSlotCalls::cacheIsEmptiedWhenFull()
{
    SlotSignatureCache cache;
    for (int spaces = 0; spaces < SlotSignatureCache::MaxEntries; ++spaces)
        QCOMPARE(cache.normalizedSlot("1scaled(" + QByteArray(spaces, ' ') + "int)"), QByteArray("scaled(int)"));
    QCOMPARE(cache.size(), SlotSignatureCache::MaxEntries);

    QCOMPARE(cache.normalizedSlot("1scaled(int )"), QByteArray("scaled(int)"));
    QCOMPARE(cache.size(), 1);
    QVERIFY(cache.normalizedSlot("2scaled(int)").isEmpty());
    QCOMPARE(cache.size(), 1);
}

QTEST_MAIN(tst_QObjectEndpointSlotCalls)
#include "tst_QObjectEndpointSlotCalls.moc"
