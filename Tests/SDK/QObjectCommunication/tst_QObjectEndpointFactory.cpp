#include "ErrorHandler/ErrorHandler.h"
#include "InProcessCourierPair.h"
#include "Messenger/Id.h"
#include "Messenger/Message.h"
#include "Messenger/MessageBroker.h"
#include "ProtocolStack.h"
#include "QObjectCommunication/Messages/CreateEndpointRequest.h"
#include "QObjectCommunication/Messages/CreateEndpointResponse.h"
#include "RemoteObjects/ConnectionInformationFactory.h"
#include "TestObjects.h"
#include "TestServer.h"

#include <QtTest/QtTest>

#include <algorithm>

using namespace Zeto;
using namespace Zeto::Testing;

namespace {

const QByteArray &FactoryId = QObjectEndpointFactory::FactoryMessengerId;

QVariant onFactoryMessenger(const QVariant &payload)
{
    return QVariant::fromValue(Message(FactoryId, payload));
}

QList<ErrorInfo> errorsOf(const QSignalSpy &spy)
{
    QList<ErrorInfo> errors;
    for (const QList<QVariant> &arguments : spy)
        errors.append(arguments.constLast().value<ErrorInfo>());
    return errors;
}

// How a requesting factory meets the answers to its requests.
enum class Answer { NeverRequested, AnsweredTwice, EndpointGone, Refused, NotAResponse };

} // namespace

Q_DECLARE_METATYPE(Answer)

class tst_QObjectEndpointFactory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void pairsInBothDirections_data();
    void pairsInBothDirections();
    void refusesBadRequests_data();
    void refusesBadRequests();
    void answers_data();
    void answers();
    void droppedConnection_data();
    void droppedConnection();
    void servedEndpointWithoutReceiverLivesOnlyDuringHandling();
    // Pairing, instantiation, a call and a link over a real socket.
    void servesOverLoopback();
};

void tst_QObjectEndpointFactory::initTestCase()
{
    qRegisterMetaType<ErrorInfo>();
}

void tst_QObjectEndpointFactory::pairsInBothDirections_data()
{
    QTest::addColumn<bool>("firstAsks");
    QTest::newRow("first asks") << true;
    QTest::newRow("second asks") << false;
}

void tst_QObjectEndpointFactory::pairsInBothDirections()
{
    QFETCH(bool, firstAsks);

    InProcessCourierPair couriers;
    const ProtocolStack first(couriers.first());
    const ProtocolStack second(couriers.second());
    const ProtocolStack &asker = firstAsks ? first : second;
    const ProtocolStack &server = firstAsks ? second : first;
    const QSharedPointer<InProcessCourier> askerCourier = firstAsks ? couriers.first() : couriers.second();
    int servedConnected = 0;
    connect(server.factory(), &QObjectEndpointFactory::newEndpoint, this,
            [&servedConnected](const QSharedPointer<QObjectEndpoint> &endpoint) {
                connect(endpoint.data(), &QObjectEndpoint::connected, [&servedConnected] { ++servedConnected; });
            });

    const QSharedPointer<QObjectEndpoint> one = asker.factory()->createEndpoint();
    const QSharedPointer<QObjectEndpoint> two = asker.factory()->createEndpoint();
    QSignalSpy oneConnected(one.data(), &QObjectEndpoint::connected);
    QSignalSpy twoConnected(two.data(), &QObjectEndpoint::connected);
    QVERIFY(couriers.deliverAll());

    QCOMPARE(oneConnected.count(), 1);
    QCOMPARE(twoConnected.count(), 1);
    QCOMPARE(servedConnected, 2);
    QCOMPARE(server.servedEndpoints().size(), 2);
    QVERIFY(one->endpointId() != two->endpointId());
    QCOMPARE(server.servedEndpoints().at(1)->messengerId(), two->messengerId());
    const QVariantList requests = askerCourier->sentQVariants();
    QCOMPARE(requests.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const auto request = requests.at(i).value<Message>().data().value<CreateEndpointRequest>();
        const QSharedPointer<QObjectEndpoint> &endpoint = i == 0 ? one : two;
        QCOMPARE(request.endpointId(), endpoint->endpointId());
        QCOMPARE(request.messengerId(), endpoint->messengerId());
    }
}

void tst_QObjectEndpointFactory::refusesBadRequests_data()
{
    QTest::addColumn<QByteArray>("endpointId");
    QTest::addColumn<QByteArray>("messengerId");

    QTest::newRow("invalid endpoint id") << QByteArray("endpoint") << generateId();
    QTest::newRow("invalid messenger id") << generateId() << QByteArray(40, '0');
    QTest::newRow("factory messenger id") << generateId() << FactoryId;
    QTest::newRow("live messenger id") << generateId() << QByteArray();
}

void tst_QObjectEndpointFactory::refusesBadRequests()
{
    QFETCH(QByteArray, endpointId);
    QFETCH(QByteArray, messengerId);

    InProcessCourierPair couriers;
    const ProtocolStack first(couriers.first());
    const ProtocolStack second(couriers.second());
    const EndpointPair live = pairEndpoints(first, second);
    QVERIFY(live.server);
    if (messengerId.isEmpty())
        messengerId = live.requester->messengerId();
    QSignalSpy refused(second.factory(), &QObjectEndpointFactory::endpointCreationFailed);
    QSignalSpy firstErrors(first.factory(), &QObjectEndpointFactory::error);
    if (isValidId(endpointId) && isValidId(messengerId))
        QTest::ignoreMessage(QtCriticalMsg, "Failed to create messenger. There is a messenger with same id.");

    couriers.first()->sendQVariant(onFactoryMessenger(QVariant::fromValue(CreateEndpointRequest(endpointId, messengerId))));
    QVERIFY(couriers.deliverAll());

    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused.at(0).at(0).toByteArray(), endpointId);
    QCOMPARE(refused.at(0).at(1).value<ErrorInfo>(), makeErrorInfo(InvalidMessage));
    const auto response = couriers.second()->sentQVariants().constLast().value<Message>().data()
                              .value<CreateEndpointResponse>();
    QVERIFY(!response.success());
    QCOMPARE(response.request().messengerId(), messengerId);
    // Nobody asked for that answer.
    QCOMPARE(errorsOf(firstErrors), QList<ErrorInfo>{makeErrorInfo(InvalidMessage)});

    // The live pair still talks.
    QSignalSpy instantiationFailed(live.requester.data(), &QObjectEndpoint::qObjectInstantiationFailed);
    live.requester->instantiateQObject("Any", QUrl(QStringLiteral("zeto://h:1/any")), QVariant());
    QVERIFY(couriers.deliverAll());
    QCOMPARE(instantiationFailed.count(), 1);
}

void tst_QObjectEndpointFactory::answers_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QList<ErrorInfo>>("errors");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("creationFailed");

    const QList<ErrorInfo> invalid{makeErrorInfo(InvalidMessage)};
    QTest::newRow("never requested") << Answer::NeverRequested << invalid << false << false;
    QTest::newRow("answered twice") << Answer::AnsweredTwice << invalid << true << false;
    QTest::newRow("endpoint gone") << Answer::EndpointGone << QList<ErrorInfo>() << false << false;
    QTest::newRow("refused") << Answer::Refused << QList<ErrorInfo>() << false << true;
    QTest::newRow("not a response") << Answer::NotAResponse << invalid << false << false;
}

// A factory whose requests reach nobody, so that every answer is the test's.
void tst_QObjectEndpointFactory::answers()
{
    QFETCH(Answer, answer);
    QFETCH(QList<ErrorInfo>, errors);
    QFETCH(bool, connected);
    QFETCH(bool, creationFailed);

    const QSharedPointer<InProcessCourier> courier(new InProcessCourier);
    const ProtocolStack stack(courier);
    QSignalSpy factoryErrors(stack.factory(), &QObjectEndpointFactory::error);
    QSignalSpy failed(stack.factory(), &QObjectEndpointFactory::endpointCreationFailed);
    QSharedPointer<QObjectEndpoint> endpoint = stack.factory()->createEndpoint();
    QSignalSpy endpointConnected(endpoint.data(), &QObjectEndpoint::connected);
    const auto request = courier->sentQVariants().constFirst().value<Message>().data().value<CreateEndpointRequest>();
    const ErrorInfo refusal = makeErrorInfo(RemoteObjectNotFound);

    switch (answer) {
    case Answer::NeverRequested:
        courier->injectReceivedQVariant(onFactoryMessenger(QVariant::fromValue(
            CreateEndpointResponse(true, ErrorInfo(), CreateEndpointRequest(generateId(), generateId())))));
        break;
    case Answer::AnsweredTwice:
        courier->injectReceivedQVariant(onFactoryMessenger(QVariant::fromValue(CreateEndpointResponse(true, {}, request))));
        courier->injectReceivedQVariant(onFactoryMessenger(QVariant::fromValue(CreateEndpointResponse(true, {}, request))));
        break;
    case Answer::EndpointGone:
        endpoint.reset();
        courier->injectReceivedQVariant(onFactoryMessenger(QVariant::fromValue(CreateEndpointResponse(true, {}, request))));
        break;
    case Answer::Refused:
        courier->injectReceivedQVariant(onFactoryMessenger(QVariant::fromValue(CreateEndpointResponse(false, refusal, request))));
        break;
    case Answer::NotAResponse:
        courier->injectReceivedQVariant(onFactoryMessenger(QVariant(42)));
        break;
    }
    QTRY_COMPARE(courier->pendingDeliveries(), 0);

    QCOMPARE(errorsOf(factoryErrors), errors);
    QCOMPARE(endpointConnected.count(), connected ? 1 : 0);
    QCOMPARE(failed.count(), creationFailed ? 1 : 0);
    if (creationFailed) {
        QCOMPARE(failed.at(0).at(0).toByteArray(), request.endpointId());
        QCOMPARE(failed.at(0).at(1).value<ErrorInfo>(), refusal);
    }
}

void tst_QObjectEndpointFactory::droppedConnection_data()
{
    QTest::addColumn<bool>("paired");
    QTest::addColumn<ErrorInfo>("transportError");
    QTest::addColumn<ErrorInfo>("reported");

    const ErrorInfo dropped = makeErrorInfo(ConnectionDropped);
    const ErrorInfo refused = makeErrorInfo(QAbstractSocket::ConnectionRefusedError);
    QTest::newRow("dropped before the first pair") << false << dropped << makeErrorInfo(ZetoHandshakeFailed);
    QTest::newRow("dropped after the first pair") << true << dropped << dropped;
    QTest::newRow("other error before the first pair") << false << refused << refused;
}

void tst_QObjectEndpointFactory::droppedConnection()
{
    QFETCH(bool, paired);
    QFETCH(ErrorInfo, transportError);
    QFETCH(ErrorInfo, reported);

    InProcessCourierPair couriers;
    const ProtocolStack first(couriers.first());
    const ProtocolStack second(couriers.second());
    const EndpointPair pair = paired ? pairEndpoints(first, second) : EndpointPair();
    QSignalSpy errors(first.factory(), &QObjectEndpointFactory::error);

    couriers.first()->injectError(transportError);
    QVERIFY(couriers.deliverAll());

    QCOMPARE(errorsOf(errors), QList<ErrorInfo>{reported});
}

void tst_QObjectEndpointFactory::servedEndpointWithoutReceiverLivesOnlyDuringHandling()
{
    InProcessCourierPair couriers;
    const ProtocolStack first(couriers.first());
    const QSharedPointer<MessageBroker> broker(new MessageBroker(couriers.second()));
    QObjectEndpointFactory second(RemoteObjectRepository(), broker,
                                  QSharedPointer<IConnectionInformationFactory>(
                                      new ConnectionInformationFactory(ConnectionInfo())));
    QPointer<QObjectEndpoint> served;
    connect(&second, &QObjectEndpointFactory::newEndpoint, this,
            [&served](const QSharedPointer<QObjectEndpoint> &endpoint) { served = endpoint.data(); });

    const QSharedPointer<QObjectEndpoint> endpoint = first.factory()->createEndpoint();
    QSignalSpy connected(endpoint.data(), &QObjectEndpoint::connected);
    QVERIFY(couriers.deliverAll());

    QCOMPARE(connected.count(), 1);
    QVERIFY(served.isNull());
}

void tst_QObjectEndpointFactory::servesOverLoopback()
{
    TestServer server;
    const QUrl url = server.url(QStringLiteral("/calc"));
    const ProtocolStack client(clientCourier(url));

    const QSharedPointer<QObjectEndpoint> requester = connectedEndpoint(client);
    QVERIFY(requester);
    QSignalSpy instantiated(requester.data(), &QObjectEndpoint::instantiatedQObject);
    const QByteArray objectId = requester->instantiateQObject("Zeto::Testing::Calculator", url, 42);

    QVERIFY(instantiated.wait());
    QCOMPARE(instantiated.at(0).at(0).toByteArray(), objectId);
    QCOMPARE(server.createdObjects().size(), 1);
    const auto *created = qobject_cast<Calculator *>(server.createdObjects().constFirst());
    QVERIFY(created);
    QCOMPARE(created->connectionInformation()->argument(), QVariant(42));
    const ConnectionInfo info = created->connectionInformation()->connectionInfo();
    QCOMPARE(info.peerIp(), QStringLiteral("127.0.0.1"));
    QCOMPARE(info.localPort(), server.port());

    // A call, and a link whose emission comes back to a local slot.
    Listener listener;
    QSignalSpy linked(requester.data(), &QObjectEndpoint::connectedToRemoteObject);
    requester->connectToRemoteObject(objectId, "2valueChanged(int)", requester->registerQObject(&listener),
                                     "1onValue(int)");
    QVERIFY(linked.wait());
    QSignalSpy called(requester.data(), &QObjectEndpoint::slotCalled);
    requester->callSlot(objectId, "setValue", {7});
    const QByteArray addition = requester->callSlot(objectId, "add", {2, 3});
    QTRY_COMPARE(listener.received, QVariantList{7});
    QTRY_VERIFY(std::any_of(called.cbegin(), called.cend(), [&addition](const QVariantList &arguments) {
        return arguments.at(0).toByteArray() == addition && arguments.at(1) == QVariant(5);
    }));
}

QTEST_MAIN(tst_QObjectEndpointFactory)
#include "tst_QObjectEndpointFactory.moc"
