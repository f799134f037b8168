#include "ErrorHandler/ErrorHandler.h"
#include "InProcessCourierPair.h"
#include "Messenger/Id.h"
#include "Messenger/Message.h"
#include "ProtocolStack.h"
#include "QObjectCommunication/Messages/ConnectedSignalEmittedEvent.h"
#include "QObjectCommunication/Messages/CreateEndpointRequest.h"
#include "QObjectCommunication/Messages/InstantiateQObjectRequest.h"
#include "QObjectCommunication/Messages/InstantiateQObjectResponse.h"
#include "QObjectCommunication/Messages/InstantiatedQObjectDestroyedEvent.h"
#include "RemoteObjects/ConnectionInformationFactory.h"
#include "RemoteObjects/QObjectFactory.h"
#include "TestObjects.h"

#include <QtTest/QtTest>

#include <stdexcept>

using namespace Zeto;
using namespace Zeto::Testing;

namespace {

struct Unregistered
{
    int value = 0;
};

const QByteArray CalculatorClass("Zeto::Testing::Calculator");
const QUrl CalculatorUrl(QStringLiteral("zeto://127.0.0.1:4000/calc"));

// Refuses any argument that says so, as an application's factory might.
class PickyConnectionInformationFactory : public ConnectionInformationFactory
{
public:
    PickyConnectionInformationFactory()
        : ConnectionInformationFactory(ConnectionInfo())
    {
    }

    QSharedPointer<IConnectionInformation> create(const QVariant &argument) override
    {
        if (argument == QStringLiteral("throw"))
            throw std::invalid_argument("refused");
        return ConnectionInformationFactory::create(argument);
    }
};

// The server offers the calculator under /calc, and classes whose factories
// fail in every way under the other paths.
struct Peers
{
    Peers()
        : server(couriers.second(), repository(),
                 QSharedPointer<IConnectionInformationFactory>(new PickyConnectionInformationFactory))
        , endpoints(pairEndpoints(client, server))
    {
    }

    RemoteObjectRepository repository()
    {
        using Factory = QObjectFactory<Calculator>;
        RemoteObjectRepository repository;
        repository.addEntry(QStringLiteral("/calc"),
                            QSharedPointer<IQObjectFactory>(new Factory([this](const auto &information) {
                                created = new Calculator(information);
                                return created.data();
                            })));
        repository.addEntry(QStringLiteral("/null"), QSharedPointer<IQObjectFactory>(new Factory(
                                                         [](const auto &) -> Calculator * { return nullptr; })));
        repository.addEntry(QStringLiteral("/throwing"),
                            QSharedPointer<IQObjectFactory>(new Factory([](const auto &) -> Calculator * {
                                throw std::runtime_error("refused");
                            })));
        return repository;
    }

    // Delivers a payload to the requester's endpoint as if its peer had sent it.
    void injectToRequester(const QVariant &payload)
    {
        couriers.first()->injectReceivedQVariant(
            QVariant::fromValue(Message(endpoints.requester->messengerId(), payload)));
    }

    // The peer learns of the end of the server's messenger.
    void dropServerEndpoint()
    {
        endpoints.server.reset();
        server.releaseServedEndpoints();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        couriers.deliverAll();
    }

    QByteArray instantiate(const QVariant &argument = QVariant())
    {
        const QByteArray objectId = endpoints.requester->instantiateQObject(CalculatorClass, CalculatorUrl, argument);
        couriers.deliverAll();
        return objectId;
    }

    InProcessCourierPair couriers;
    ProtocolStack client{couriers.first()};
    ProtocolStack server;
    EndpointPair endpoints;
    QPointer<Calculator> created;
};

QByteArray outcome(const char *signal, const QByteArray &id, const QByteArray &detail, bool flag)
{
    return QByteArray(signal) + ' ' + id.left(8) + ' ' + detail + ' ' + (flag ? "true" : "false");
}

// Every outcome signal of one endpoint, as "signal id detail flag".
class Outcomes
{
public:
    explicit Outcomes(QObjectEndpoint *endpoint)
    {
        QObject::connect(endpoint, &QObjectEndpoint::instantiatedQObject, &m_context,
                         [this](const QByteArray &id, bool isRequester) { add("instantiated", id, {}, isRequester); });
        QObject::connect(endpoint, &QObjectEndpoint::qObjectInstantiationFailed, &m_context,
                         [this](const QByteArray &id, const ErrorInfo &errorInfo, bool isRequester) {
                             add("failed", id, QByteArray::number(errorInfo.error.connectionError), isRequester);
                         });
        QObject::connect(endpoint, &QObjectEndpoint::instantiatedQObjectDestroyed, &m_context,
                         [this](const QByteArray &id, bool isLocal) { add("destroyed", id, {}, isLocal); });
        QObject::connect(endpoint, &QObjectEndpoint::error, &m_context, [this](const ErrorInfo &errorInfo) {
            add("error", {}, QByteArray::number(errorInfo.error.connectionError), false);
        });
    }

    QByteArrayList log;

private:
    // Cuts the connections when the log goes before the endpoint.
    QObject m_context;

    void add(const char *signal, const QByteArray &id, const QByteArray &detail, bool flag)
    {
        log.append(outcome(signal, id, detail, flag));
    }
};

} // namespace

Q_DECLARE_METATYPE(Unregistered)

class tst_QObjectEndpoint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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

    Peers peers;
    QVERIFY(peers.endpoints.server);
    Outcomes requester(peers.endpoints.requester.data());
    Outcomes server(peers.endpoints.server.data());
    QUrl url = CalculatorUrl;
    url.setPath(path);

    const QByteArray objectId = peers.endpoints.requester->instantiateQObject(className, url, argument);
    QVERIFY(isValidId(objectId));
    QVERIFY(peers.couriers.deliverAll());

    if (error < 0) {
        QCOMPARE(requester.log, QByteArrayList{outcome("instantiated", objectId, {}, true)});
        QCOMPARE(server.log, QByteArrayList{outcome("instantiated", objectId, {}, false)});
        QVERIFY(peers.created);
        QCOMPARE(peers.created->connectionInformation()->argument(), argument);
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

    const QVariant unregistered = QVariant::fromValue(Unregistered{7});
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

    Peers peers;
    Outcomes requester(peers.endpoints.requester.data());
    peers.couriers.first()->clearSentQVariants();
    if (queuedError >= 0)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Failed to save type Unregistered")));

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

    Peers peers;
    const QByteArray liveId = peers.instantiate();
    Outcomes server(peers.endpoints.server.data());
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
    Peers peers;
    for (int i = 0; i < QObjectEndpoint::MaxInstantiatedObjects; ++i)
        peers.endpoints.requester->instantiateQObject(CalculatorClass, CalculatorUrl, QVariant());
    QVERIFY(peers.couriers.deliverAll());
    Outcomes requester(peers.endpoints.requester.data());

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

    Peers peers;
    if (instantiateFirst) {
        peers.instantiate();
        payload = peers.couriers.second()->sentQVariants().constLast().value<Message>().data();
    }
    Outcomes requester(peers.endpoints.requester.data());

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

    Peers peers;
    const QByteArray objectId = peers.instantiate();
    Outcomes requester(peers.endpoints.requester.data());
    Outcomes server(peers.endpoints.server.data());
    if (receiverDropsEndpoint) {
        connect(peers.endpoints.server.data(), &QObjectEndpoint::instantiatedQObjectDestroyed, this,
                [&peers] { peers.endpoints.server.reset(); });
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
    Peers peers;
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
    Peers peers;
    const QByteArray objectId = peers.instantiate();
    Outcomes server(peers.endpoints.server.data());
    Outcomes requester(peers.endpoints.requester.data());
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
    Peers peers;
    QSignalSpy finished(peers.endpoints.requester.data(), &QObjectEndpoint::finished);
    Outcomes requester(peers.endpoints.requester.data());

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

QTEST_MAIN(tst_QObjectEndpoint)
#include "tst_QObjectEndpoint.moc"
