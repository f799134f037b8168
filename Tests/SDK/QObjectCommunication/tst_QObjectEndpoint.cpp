#include "EndpointPeers.h"
#include "MessageLog.h"
#include "ErrorHandler/ErrorHandler.h"
#include "Messenger/Id.h"
#include "Messenger/Message.h"
#include "QObjectCommunication/Messages/ConnectedSignalEmittedEvent.h"
#include "QObjectCommunication/Messages/CreateEndpointRequest.h"
#include "QObjectCommunication/Messages/InstantiateQObjectRequest.h"
#include "QObjectCommunication/Messages/InstantiateQObjectResponse.h"
#include "QObjectCommunication/Messages/InstantiatedQObjectDestroyedEvent.h"
#include "TestObjects.h"

#include <QtTest/QtTest>

using namespace Zeto;
using namespace Zeto::Testing;

class tst_QObjectEndpoint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusedInstantiationsNameClassAndUrl_data();
    void refusedInstantiationsNameClassAndUrl();
    void initTestCase();

    void instantiation_data();
    void instantiation();
    void requestsRefusedBeforeSending_data();
    void requestsRefusedBeforeSending();
    void servingRefusesBadObjectIds_data();
    void servingRefusesBadObjectIds();
    void servingRefusesBeyondTheObjectLimit();
    void unexpectedMessagesAreInvalid_data();
    void unexpectedMessagesAreInvalid();
    void destroyedObjectIsReportedOnBothSides_data();
    void destroyedObjectIsReportedOnBothSides();
    void registeringKeepsOneIdPerObject();
    void endpointDestructionDeletesInstantiatedObjectsSilently();
    void finishedEndpointSendsNothingAndFailsLocally();
};

void tst_QObjectEndpoint::initTestCase()
{
    qRegisterMetaType<ErrorInfo>();
}

void tst_QObjectEndpoint::instantiation_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QVariant>("argument");
    QTest::addColumn<int>("error");

    const QVariant argument(QVariantMap{{QStringLiteral("user"), QStringLiteral("ada")}});
    QTest::newRow("created") << CalculatorClass << "/calc" << argument << -1;
    QTest::newRow("path cleaned") << CalculatorClass << "/x/../calc/" << argument << -1;
    QTest::newRow("wrong class name") << QByteArray("Calculator") << "/calc" << argument << int(RemoteObjectNotFound);
    QTest::newRow("unknown path") << CalculatorClass << "/nothing" << argument << int(RemoteObjectNotFound);
    QTest::newRow("factory returns null") << CalculatorClass << "/null" << argument << int(RemoteObjectNotFound);
    QTest::newRow("factory throws") << CalculatorClass << "/throwing" << argument << int(RemoteObjectNotFound);
    QTest::newRow("argument refused by throwing") << CalculatorClass << "/calc" << QVariant(QStringLiteral("throw"))
                                                  << int(RemoteObjectNotFound);
}

void tst_QObjectEndpoint::instantiation()
{
    QFETCH(QByteArray, className);
    QFETCH(QString, path);
    QFETCH(QVariant, argument);
    QFETCH(int, error);

    EndpointPeers peers;
    QVERIFY(peers.endpoints.server);
    EndpointOutcomes requester(peers.endpoints.requester.data());
    EndpointOutcomes server(peers.endpoints.server.data());
    const QUrl url = urlWithPath(path);

    const QByteArray objectId = peers.endpoints.requester->instantiateQObject(className, url, argument);
    QVERIFY(isValidId(objectId));
    QVERIFY(peers.couriers.deliverAll());

    if (error < 0) {
        QCOMPARE(requester.log, QByteArrayList{outcome("instantiated", objectId, {}, true)});
        QCOMPARE(server.log, QByteArrayList{outcome("instantiated", objectId, {}, false)});
        QVERIFY(peers.created);
        QCOMPARE(qobject_cast<Calculator *>(peers.created)->connectionInformation()->argument(), argument);
    } else {
        const QByteArray code = QByteArray::number(error);
        QCOMPARE(requester.log, QByteArrayList{outcome("failed", objectId, code, true)});
        QCOMPARE(server.log, QByteArrayList{outcome("failed", objectId, code, false)});
    }
}

void tst_QObjectEndpoint::requestsRefusedBeforeSending_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QVariant>("argument");
    QTest::addColumn<int>("queuedError");

    const QVariant unregistered = QVariant::fromValue(Unwritable{7});
    QTest::newRow("empty class name") << QByteArray() << CalculatorUrl << QVariant() << -1;
    QTest::newRow("empty url") << CalculatorClass << QUrl() << QVariant() << -1;
    QTest::newRow("invalid url") << CalculatorClass << QUrl(QStringLiteral("zeto://[::1")) << QVariant() << -1;
    QTest::newRow("unregistered argument") << CalculatorClass << CalculatorUrl << unregistered
                                           << int(UnregisteredArgument);
    QTest::newRow("unregistered inside a list") << CalculatorClass << CalculatorUrl
                                                << QVariant(QVariantList{1, unregistered}) << int(UnregisteredArgument);
}

void tst_QObjectEndpoint::requestsRefusedBeforeSending()
{
    QFETCH(QByteArray, className);
    QFETCH(QUrl, url);
    QFETCH(QVariant, argument);
    QFETCH(int, queuedError);

    EndpointPeers peers;
    EndpointOutcomes requester(peers.endpoints.requester.data());
    peers.couriers.first()->clearSentQVariants();
    if (queuedError >= 0)
        expectUnwritableWarnings();

    const QByteArray objectId = peers.endpoints.requester->instantiateQObject(className, url, argument);
    QVERIFY(requester.log.isEmpty());
    QVERIFY(peers.couriers.deliverAll());

    QVERIFY(peers.couriers.first()->sentQVariants().isEmpty());
    if (queuedError < 0) {
        QVERIFY(objectId.isEmpty());
        QVERIFY(requester.log.isEmpty());
    } else {
        QCOMPARE(requester.log, QByteArrayList{outcome("failed", objectId, QByteArray::number(queuedError), true)});
    }
}

void tst_QObjectEndpoint::servingRefusesBadObjectIds_data()
{
    QTest::addColumn<bool>("reuseId");
    QTest::newRow("id of a live object") << true;
    QTest::newRow("invalid id") << false;
}

void tst_QObjectEndpoint::servingRefusesBadObjectIds()
{
    QFETCH(bool, reuseId);

    EndpointPeers peers;
    const QByteArray liveId = peers.instantiate();
    EndpointOutcomes server(peers.endpoints.server.data());
    const QByteArray objectId = reuseId ? liveId : QByteArray("not an id");

    peers.couriers.first()->sendQVariant(QVariant::fromValue(Message(
        peers.endpoints.requester->messengerId(),
        QVariant::fromValue(InstantiateQObjectRequest(CalculatorClass, objectId, CalculatorUrl, QVariant())))));
    QVERIFY(peers.couriers.deliverAll());

    QCOMPARE(server.log, QByteArrayList{outcome("failed", objectId, QByteArray::number(InvalidMessage), false)});
    QVERIFY(peers.created);
}

void tst_QObjectEndpoint::servingRefusesBeyondTheObjectLimit()
{
    EndpointPeers peers;
    for (int i = 0; i < PeerQuota::DefaultLimits[PeerQuota::Objects]; ++i)
        peers.endpoints.requester->instantiateQObject(CalculatorClass, CalculatorUrl, QVariant());
    // Thousands of objects take seconds under the sanitizers on a busy machine.
    QVERIFY(peers.couriers.deliverAll(60000));
    EndpointOutcomes requester(peers.endpoints.requester.data());

    const QByteArray objectId = peers.instantiate();

    QCOMPARE(requester.log,
             QByteArrayList{outcome("failed", objectId, QByteArray::number(TooManyRemoteObjects), true)});
}

void tst_QObjectEndpoint::unexpectedMessagesAreInvalid_data()
{
    QTest::addColumn<bool>("instantiateFirst");
    QTest::addColumn<QVariant>("payload");

    const InstantiateQObjectRequest unrequested(CalculatorClass, generateId(), CalculatorUrl, QVariant());
    QTest::newRow("unrequested response")
        << false << QVariant::fromValue(InstantiateQObjectResponse(true, ErrorInfo(), unrequested));
    QTest::newRow("second response") << true << QVariant();
    QTest::newRow("destruction of an unknown object")
        << false << QVariant::fromValue(InstantiatedQObjectDestroyedEvent(generateId()));
    QTest::newRow("signal event") << false << QVariant::fromValue(ConnectedSignalEmittedEvent());
    QTest::newRow("endpoint request") << false << QVariant::fromValue(CreateEndpointRequest(generateId(), generateId()));
    QTest::newRow("plain value") << false << QVariant(42);
}

void tst_QObjectEndpoint::unexpectedMessagesAreInvalid()
{
    QFETCH(bool, instantiateFirst);
    QFETCH(QVariant, payload);

    EndpointPeers peers;
    if (instantiateFirst) {
        peers.instantiate();
        payload = peers.couriers.second()->sentQVariants().constLast().value<Message>().data();
    }
    EndpointOutcomes requester(peers.endpoints.requester.data());

    peers.injectToRequester(payload);
    QVERIFY(peers.couriers.deliverAll());

    QCOMPARE(requester.log, QByteArrayList{outcome("error", {}, QByteArray::number(InvalidMessage), false)});
}

void tst_QObjectEndpoint::destroyedObjectIsReportedOnBothSides_data()
{
    QTest::addColumn<bool>("receiverDropsEndpoint");
    QTest::newRow("endpoint kept") << false;
    QTest::newRow("receiver drops the endpoint") << true;
}

void tst_QObjectEndpoint::destroyedObjectIsReportedOnBothSides()
{
    QFETCH(bool, receiverDropsEndpoint);

    EndpointPeers peers;
    const QByteArray objectId = peers.instantiate();
    EndpointOutcomes requester(peers.endpoints.requester.data());
    EndpointOutcomes server(peers.endpoints.server.data());
    if (receiverDropsEndpoint) {
        connect(peers.endpoints.server.data(), &QObjectEndpoint::instantiatedQObjectDestroyed, this, [&peers] {
            peers.endpoints.server.reset();
            peers.server.releaseServedEndpoints();
        });
    }

    delete peers.created;
    QVERIFY(peers.couriers.deliverAll());

    QCOMPARE(server.log, QByteArrayList{outcome("destroyed", objectId, {}, true)});
    QCOMPARE(requester.log, QByteArrayList{outcome("destroyed", objectId, {}, false)});

    // The object is gone for the requester too: a second event is no news.
    peers.injectToRequester(QVariant::fromValue(InstantiatedQObjectDestroyedEvent(objectId)));
    QVERIFY(peers.couriers.deliverAll());
    QCOMPARE(requester.log.constLast(), outcome("error", {}, QByteArray::number(InvalidMessage), false));
}

void tst_QObjectEndpoint::registeringKeepsOneIdPerObject()
{
    EndpointPeers peers;
    QObjectEndpoint &endpoint = *peers.endpoints.requester;
    QObject first;
    QObject second;

    const QByteArray firstId = endpoint.registerQObject(&first);
    QVERIFY(isValidId(firstId));
    QCOMPARE(endpoint.registerQObject(&first), firstId);
    QVERIFY(endpoint.registerQObject(&second) != firstId);
    QTest::ignoreMessage(QtCriticalMsg, "Failed to register object. Given object is null.");
    QVERIFY(endpoint.registerQObject(nullptr).isEmpty());
    QCOMPARE(peers.couriers.first()->sentQVariants().size(), 1);
}

void tst_QObjectEndpoint::endpointDestructionDeletesInstantiatedObjectsSilently()
{
    EndpointPeers peers;
    const QByteArray objectId = peers.instantiate();
    EndpointOutcomes server(peers.endpoints.server.data());
    EndpointOutcomes requester(peers.endpoints.requester.data());
    peers.couriers.second()->clearSentQVariants();

    peers.dropServerEndpoint();

    QCOMPARE(server.log, QByteArrayList{outcome("destroyed", objectId, {}, true)});
    QVERIFY(!peers.created);
    for (const QVariant &sent : peers.couriers.second()->sentQVariants())
        QVERIFY(sent.userType() != qMetaTypeId<Message>());
    QVERIFY(requester.log.isEmpty());
}

void tst_QObjectEndpoint::finishedEndpointSendsNothingAndFailsLocally()
{
    EndpointPeers peers;
    QSignalSpy finished(peers.endpoints.requester.data(), &QObjectEndpoint::finished);
    EndpointOutcomes requester(peers.endpoints.requester.data());

    peers.dropServerEndpoint();
    QCOMPARE(finished.count(), 1);
    QVERIFY(peers.endpoints.requester->isFinished());
    peers.couriers.first()->clearSentQVariants();

    const QByteArray objectId = peers.endpoints.requester->instantiateQObject(CalculatorClass, CalculatorUrl, 1);
    QVERIFY(requester.log.isEmpty());
    QVERIFY(peers.couriers.deliverAll());

    QCOMPARE(requester.log, QByteArrayList{outcome("failed", objectId, QByteArray::number(ConnectionDropped), true)});
    QVERIFY(peers.couriers.first()->sentQVariants().isEmpty());
}

// Both give code 12; the log tells a wrong class from a wrong path.
void tst_QObjectEndpoint::refusedInstantiationsNameClassAndUrl_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("request");
    QTest::newRow("wrong class") << QByteArray("Nowhere") << "/calc"
                                 << "Nowhere at zeto://127.0.0.1:4000/calc";
    QTest::newRow("wrong path") << CalculatorClass << "/clac"
                                << QString::fromLatin1(CalculatorClass) + " at zeto://127.0.0.1:4000/clac";
}

void tst_QObjectEndpoint::refusedInstantiationsNameClassAndUrl()
{
    QFETCH(QByteArray, className);
    QFETCH(QString, path);
    QFETCH(QString, request);
    EndpointPeers peers;
    const MessageLog log;
    peers.instantiate(className, urlWithPath(path));
    const QString refusal = QStringLiteral("Connection error. Remote object not found.");
    QCOMPARE(log.warnings(), QStringList({request + " refused: " + refusal, request + ": " + refusal}));
}

QTEST_MAIN(tst_QObjectEndpoint)
#include "tst_QObjectEndpoint.moc"
