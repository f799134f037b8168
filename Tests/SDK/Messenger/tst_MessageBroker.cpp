#include "ErrorHandler/ErrorHandler.h"
#include "InProcessCourierPair.h"
#include "Messenger/Id.h"
#include "Messenger/Message.h"
#include "Messenger/MessageBroker.h"
#include "Messenger/Messages/MessengerFinishedRequest.h"
#include "Messenger/Messages/MessengerFinishedResponse.h"
#include "Messenger/Messenger.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtTest/QtTest>

#include <cctype>
#include <memory>

using namespace Zeto;
using Zeto::Testing::InProcessCourier;
using Zeto::Testing::InProcessCourierPair;

namespace {

const QByteArray FactoryId("fd578acd3d374b9cbaaea0905cf92d9796204b55");

// Release through the shared pointer, then run the deletion it schedules.
void release(QSharedPointer<Messenger> &messenger)
{
    messenger.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QByteArray entry(const char *typeName, const QByteArray &messengerId)
{
    return typeName + QByteArray(" ") + messengerId;
}

QByteArray describe(const QVariant &value)
{
    const int type = value.userType();
    if (type == qMetaTypeId<MessengerFinishedRequest>())
        return entry(value.typeName(), value.value<MessengerFinishedRequest>().messengerId());
    if (type == qMetaTypeId<MessengerFinishedResponse>())
        return entry(value.typeName(), value.value<MessengerFinishedResponse>().messengerId());
    if (type == qMetaTypeId<Message>())
        return entry(value.typeName(), value.value<Message>().messengerId());
    return value.typeName();
}

// What a courier was asked to send, one "type id" entry per value.
QByteArrayList sent(const QSharedPointer<InProcessCourier> &courier)
{
    QByteArrayList entries;
    for (const QVariant &value : courier->sentQVariants())
        entries.append(describe(value));
    return entries;
}

QByteArrayList requestThenResponse(const QByteArray &messengerId)
{
    return {entry("Zeto::MessengerFinishedRequest", messengerId),
            entry("Zeto::MessengerFinishedResponse", messengerId)};
}

// Two brokers talking over an in-process courier pair, with one messenger of
// the same id on each side.
struct Peers
{
    Peers()
        : messengerId(generateId())
        , brokerA(new MessageBroker(pair.first()))
        , brokerB(new MessageBroker(pair.second()))
        , messengerA(brokerA->createMessenger(messengerId))
        , messengerB(brokerB->createMessenger(messengerId))
    {
    }

    InProcessCourierPair pair;
    const QByteArray messengerId;
    std::unique_ptr<MessageBroker> brokerA;
    std::unique_ptr<MessageBroker> brokerB;
    QSharedPointer<Messenger> messengerA;
    QSharedPointer<Messenger> messengerB;
};

// The errors of both brokers.
struct ErrorSpies
{
    explicit ErrorSpies(const Peers &peers)
        : brokerA(peers.brokerA.get(), &MessageBroker::error)
        , brokerB(peers.brokerB.get(), &MessageBroker::error)
    {
    }

    int total() const { return brokerA.count() + brokerB.count(); }

    QSignalSpy brokerA;
    QSignalSpy brokerB;
};

ErrorInfo errorAt(const QSignalSpy &spy, int index)
{
    return spy.at(index).at(0).value<ErrorInfo>();
}

} // namespace

class tst_MessageBroker : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void generateId();
    void isValidId_data();
    void isValidId();

    void createMessengerRefusesEmptyAndLiveIds();
    void messagesTravelToTheMessengerOfTheSameId();
    void finishInEitherOrder_data();
    void finishInEitherOrder();
    void simultaneousFinish();
    void lateEnvelopesAreDropped();
    void finishedMessengerSendsNothing_data();
    void finishedMessengerSendsNothing();
    void invalidValuesRaiseInvalidMessageOnEveryMessenger_data();
    void invalidValuesRaiseInvalidMessageOnEveryMessenger();
    void courierErrorReachesEveryMessenger();
    void brokerDestructionFinishesEveryMessengerAndSendsNothing();
};

void tst_MessageBroker::initTestCase()
{
    qRegisterMetaType<ErrorInfo>();
}

void tst_MessageBroker::generateId()
{
    // A random UUID (version 4, variant 10xx), then 8 more hex digits.
    const QRegularExpression form(QStringLiteral("^[0-9a-f]{12}4[0-9a-f]{3}[89ab][0-9a-f]{23}$"));
    QSet<QByteArray> ids;
    for (int i = 0; i < 1000; ++i) {
        const QByteArray id = Zeto::generateId();
        QVERIFY2(form.match(QLatin1String(id)).hasMatch(), id.constData());
        QVERIFY2(Zeto::isValidId(id), id.constData());
        ids.insert(id);
    }
    QCOMPARE(ids.size(), 1000);
}

void tst_MessageBroker::isValidId_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<bool>("valid");

    const QByteArray uuidHex("0123456789abcdef0123456789abcdef");
    QTest::newRow("generated") << Zeto::generateId() << true;
    QTest::newRow("factory id") << FactoryId << true;
    QTest::newRow("upper case") << FactoryId.toUpper() << true;
    QTest::newRow("any last 8") << uuidHex + "zz!- {}~" << true;
    QTest::newRow("only last 8 non-zero") << QByteArray(32, '0') + "12345678" << false;
    QTest::newRow("40 zeros") << QByteArray(40, '0') << false;
    QTest::newRow("39 characters") << FactoryId.left(39) << false;
    QTest::newRow("41 characters") << FactoryId + 'a' << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("non-hex first") << 'g' + FactoryId.mid(1) << false;
    QTest::newRow("non-hex at 31") << FactoryId.left(31) + 'x' + FactoryId.mid(32) << false;
    QTest::newRow("hyphen at 8") << FactoryId.left(8) + '-' + FactoryId.mid(9) << false;
    QTest::newRow("braced uuid") << QByteArray("{01234567-89ab-cdef-0123-456789abcdef}12") << false;
    // The bytes either side of each range of digits, and the top-bit ones.
    for (const char byte : QByteArray::fromRawData("/09:@AFG`afg\x00\x7f\x80\xb0\xe1\xff", 18)) {
        QTest::addRow("byte 0x%02x at 13", uchar(byte))
            << uuidHex.left(13) + byte + uuidHex.mid(14) + "12345678" << bool(std::isxdigit(uchar(byte)));
    }
}

void tst_MessageBroker::isValidId()
{
    QFETCH(QByteArray, id);
    QFETCH(bool, valid);
    QCOMPARE(Zeto::isValidId(id), valid);
}

void tst_MessageBroker::createMessengerRefusesEmptyAndLiveIds()
{
    Peers peers;
    QSignalSpy received(peers.messengerB.data(), &Messenger::receivedMessage);

    QTest::ignoreMessage(QtCriticalMsg, "Failed to create messenger. Given messenger id is empty.");
    QVERIFY(!peers.brokerA->createMessenger(QByteArray()));
    QTest::ignoreMessage(QtCriticalMsg, "Failed to create messenger. There is a messenger with same id.");
    QVERIFY(!peers.brokerA->createMessenger(peers.messengerId));

    peers.messengerA->sendMessage(42);
    QVERIFY(peers.pair.deliverAll());
    QCOMPARE(received.count(), 1);
    QCOMPARE(peers.pair.first()->sentQVariants().size(), 1);
}

void tst_MessageBroker::messagesTravelToTheMessengerOfTheSameId()
{
    Peers peers;
    QSharedPointer<Messenger> otherA = peers.brokerA->createMessenger(FactoryId);
    QSharedPointer<Messenger> otherB = peers.brokerB->createMessenger(FactoryId);
    QSignalSpy received(peers.messengerB.data(), &Messenger::receivedMessage);
    QSignalSpy otherReceived(otherB.data(), &Messenger::receivedMessage);
    ErrorSpies errors(peers);

    peers.messengerA->sendMessage(QStringLiteral("first"));
    otherA->sendMessage(QStringLiteral("other"));
    peers.messengerA->sendMessage(QStringLiteral("second"));
    QCOMPARE(received.count(), 0);
    QVERIFY(peers.pair.deliverAll());

    QCOMPARE(received.count(), 2);
    QCOMPARE(received.at(0).at(0), QVariant(QStringLiteral("first")));
    QCOMPARE(received.at(1).at(0), QVariant(QStringLiteral("second")));
    QCOMPARE(otherReceived.count(), 1);
    QCOMPARE(otherReceived.at(0).at(0), QVariant(QStringLiteral("other")));
    QCOMPARE(errors.total(), 0);

    const QVariantList envelopes = peers.pair.first()->sentQVariants();
    QCOMPARE(envelopes.size(), 3);
    QCOMPARE(envelopes.at(0).userType(), qMetaTypeId<Message>());
    QCOMPARE(envelopes.at(0).value<Message>().messengerId(), peers.messengerId);
    QCOMPARE(envelopes.at(0).value<Message>().data(), QVariant(QStringLiteral("first")));
}

void tst_MessageBroker::finishInEitherOrder_data()
{
    QTest::addColumn<bool>("firstSideEnds");
    QTest::newRow("first side ends") << true;
    QTest::newRow("second side ends") << false;
}

void tst_MessageBroker::finishInEitherOrder()
{
    QFETCH(bool, firstSideEnds);
    Peers peers;
    QSharedPointer<Messenger> &ending = firstSideEnds ? peers.messengerA : peers.messengerB;
    QSharedPointer<Messenger> &remaining = firstSideEnds ? peers.messengerB : peers.messengerA;
    const QSharedPointer<InProcessCourier> endingCourier = firstSideEnds ? peers.pair.first() : peers.pair.second();
    const QSharedPointer<InProcessCourier> remainingCourier = firstSideEnds ? peers.pair.second() : peers.pair.first();
    QSignalSpy finished(remaining.data(), &Messenger::finished);
    ErrorSpies errors(peers);

    ending.reset();
    QVERIFY2(endingCourier->sentQVariants().isEmpty(), "ends only with the deferred deletion");
    release(ending);
    QCOMPARE(sent(endingCourier), QByteArrayList{entry("Zeto::MessengerFinishedRequest", peers.messengerId)});
    QCOMPARE(finished.count(), 0);

    QVERIFY(peers.pair.deliverAll());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(sent(remainingCourier), QByteArrayList{entry("Zeto::MessengerFinishedResponse", peers.messengerId)});
    QCOMPARE(errors.total(), 0);

    // The finished messenger stays usable for its owner; its end is not news.
    release(remaining);
    QVERIFY(peers.pair.deliverAll());
    QCOMPARE(sent(remainingCourier).size(), 1);
    QCOMPARE(sent(endingCourier).size(), 1);
    QCOMPARE(errors.total(), 0);

    // Both sides forgot the id: an envelope for it is no longer expected.
    peers.pair.first()->injectReceivedQVariant(QVariant::fromValue(Message(peers.messengerId, 1)));
    peers.pair.second()->injectReceivedQVariant(QVariant::fromValue(Message(peers.messengerId, 1)));
    QVERIFY(peers.pair.deliverAll());
    QCOMPARE(errors.brokerA.count(), 1);
    QCOMPARE(errors.brokerB.count(), 1);
}

void tst_MessageBroker::simultaneousFinish()
{
    Peers peers;
    ErrorSpies errors(peers);

    peers.messengerA.reset();
    peers.messengerB.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(peers.pair.deliverAll());

    QCOMPARE(sent(peers.pair.first()), requestThenResponse(peers.messengerId));
    QCOMPARE(sent(peers.pair.second()), requestThenResponse(peers.messengerId));
    QCOMPARE(errors.total(), 0);

    // Each side's request was acknowledged, so both forgot the id.
    peers.pair.first()->injectReceivedQVariant(QVariant::fromValue(MessengerFinishedResponse(peers.messengerId)));
    peers.pair.second()->injectReceivedQVariant(QVariant::fromValue(MessengerFinishedResponse(peers.messengerId)));
    QVERIFY(peers.pair.deliverAll());
    QCOMPARE(errors.brokerA.count(), 1);
    QCOMPARE(errors.brokerB.count(), 1);
}

void tst_MessageBroker::lateEnvelopesAreDropped()
{
    Peers peers;
    QSignalSpy finishedB(peers.messengerB.data(), &Messenger::finished);
    ErrorSpies errors(peers);

    // B still talks while A's request is on its way.
    release(peers.messengerA);
    peers.messengerB->sendMessage(QStringLiteral("late"));
    QVERIFY(peers.pair.deliverAll());
    QCOMPARE(finishedB.count(), 1);
    QCOMPARE(errors.total(), 0);
}

void tst_MessageBroker::finishedMessengerSendsNothing_data()
{
    QTest::addColumn<bool>("fromFinishedReceiver");
    QTest::newRow("afterwards") << false;
    QTest::newRow("from a receiver of finished()") << true;
}

// A has forgotten the id once B acknowledged the end, so anything B's
// messenger sent then would fail every messenger on A's side.
void tst_MessageBroker::finishedMessengerSendsNothing()
{
    QFETCH(bool, fromFinishedReceiver);
    Peers peers;
    ErrorSpies errors(peers);
    Messenger *messengerB = peers.messengerB.data();
    if (fromFinishedReceiver)
        connect(messengerB, &Messenger::finished, messengerB, [messengerB] { messengerB->sendMessage(1); });

    release(peers.messengerA);
    QVERIFY(peers.pair.deliverAll());
    if (!fromFinishedReceiver)
        messengerB->sendMessage(1);
    QVERIFY(peers.pair.deliverAll());

    QCOMPARE(sent(peers.pair.second()), QByteArrayList{entry("Zeto::MessengerFinishedResponse", peers.messengerId)});
    QCOMPARE(errors.total(), 0);
}

void tst_MessageBroker::invalidValuesRaiseInvalidMessageOnEveryMessenger_data()
{
    QTest::addColumn<QVariant>("value");

    const QByteArray unknownId = Zeto::generateId();
    QTest::newRow("envelope for unknown id") << QVariant::fromValue(Message(unknownId, 1));
    QTest::newRow("envelope with null id") << QVariant::fromValue(Message(QByteArray(), 1));
    QTest::newRow("default envelope") << QVariant::fromValue(Message());
    QTest::newRow("envelope without payload") << QVariant::fromValue(Message(FactoryId, QVariant()));
    QTest::newRow("request for unknown id") << QVariant::fromValue(MessengerFinishedRequest(unknownId));
    QTest::newRow("request with null id") << QVariant::fromValue(MessengerFinishedRequest());
    QTest::newRow("response never awaited") << QVariant::fromValue(MessengerFinishedResponse(unknownId));
    QTest::newRow("response for live id") << QVariant::fromValue(MessengerFinishedResponse(FactoryId));
    QTest::newRow("other type") << QVariant(42);
    QTest::newRow("invalid") << QVariant();
}

void tst_MessageBroker::invalidValuesRaiseInvalidMessageOnEveryMessenger()
{
    QFETCH(QVariant, value);
    InProcessCourierPair pair;
    MessageBroker broker(pair.first());
    QSharedPointer<Messenger> first = broker.createMessenger(FactoryId);
    QSharedPointer<Messenger> second = broker.createMessenger(Zeto::generateId());
    QSignalSpy brokerErrors(&broker, &MessageBroker::error);
    QSignalSpy firstErrors(first.data(), &Messenger::error);
    QSignalSpy secondErrors(second.data(), &Messenger::error);
    QSignalSpy firstReceived(first.data(), &Messenger::receivedMessage);

    pair.first()->injectReceivedQVariant(value);
    QVERIFY(pair.deliverAll());

    for (const QSignalSpy *spy : {&brokerErrors, &firstErrors, &secondErrors}) {
        QCOMPARE(spy->count(), 1);
        QCOMPARE(errorAt(*spy, 0), makeErrorInfo(InvalidMessage));
    }
    QCOMPARE(firstReceived.count(), 0);
    QVERIFY(pair.first()->sentQVariants().isEmpty());

    // The broker carries on: what comes next is still delivered.
    pair.first()->injectReceivedQVariant(QVariant::fromValue(Message(FactoryId, 1)));
    QVERIFY(pair.deliverAll());
    QCOMPARE(firstReceived.count(), 1);
    QCOMPARE(brokerErrors.count(), 1);
}

void tst_MessageBroker::courierErrorReachesEveryMessenger()
{
    Peers peers;
    QSharedPointer<Messenger> other = peers.brokerA->createMessenger(FactoryId);
    QSignalSpy messengerErrors(peers.messengerA.data(), &Messenger::error);
    QSignalSpy otherErrors(other.data(), &Messenger::error);
    const ErrorInfo dropped = makeErrorInfo(ConnectionDropped);

    peers.pair.first()->injectError(dropped);
    QVERIFY(peers.pair.deliverAll());

    QCOMPARE(messengerErrors.count(), 1);
    QCOMPARE(errorAt(messengerErrors, 0), dropped);
    QCOMPARE(otherErrors.count(), 1);
    QCOMPARE(errorAt(otherErrors, 0), dropped);
}

void tst_MessageBroker::brokerDestructionFinishesEveryMessengerAndSendsNothing()
{
    Peers peers;
    QSharedPointer<Messenger> other = peers.brokerA->createMessenger(FactoryId);
    QSignalSpy finished(peers.messengerA.data(), &Messenger::finished);
    QSignalSpy otherFinished(other.data(), &Messenger::finished);
    // An owner that still says goodbye when told of the end.
    connect(other.data(), &Messenger::finished, other.data(), [&other] { other->sendMessage(1); });

    peers.brokerA.reset();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(otherFinished.count(), 1);

    peers.messengerA->sendMessage(2);
    release(peers.messengerA);
    release(other);
    QVERIFY(peers.pair.deliverAll());
    QVERIFY(peers.pair.first()->sentQVariants().isEmpty());
}

QTEST_GUILESS_MAIN(tst_MessageBroker)
#include "tst_MessageBroker.moc"
