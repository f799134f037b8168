#include "QObjectEndpointFactory.h"
#include "../LoggingCategories_p.h"

#include "../Messenger/Id.h"
#include "../Messenger/MessageBroker.h"
#include "../Messenger/MessageDispatch.h"
#include "../Messenger/Messenger.h"
#include "../RemoteObjects/IConnectionInformationFactory.h"
#include "Messages/CreateEndpointRequest.h"
#include "Messages/CreateEndpointResponse.h"

#include <utility>

namespace Zeto {

const QByteArray QObjectEndpointFactory::FactoryMessengerId("fd578acd3d374b9cbaaea0905cf92d9796204b55");

QObjectEndpointFactory::QObjectEndpointFactory(
    const RemoteObjectRepository &repository, QSharedPointer<MessageBroker> broker,
    QSharedPointer<IConnectionInformationFactory> connectionInformationFactory)
    : m_repository(repository)
    , m_broker(std::move(broker))
    , m_connectionInformationFactory(std::move(connectionInformationFactory))
    , m_quota(QSharedPointer<PeerQuota>::create())
{
    if (!m_broker)
        zetoFatal(lcZetoProtocol, "Message broker is null.");
    if (!m_connectionInformationFactory)
        zetoFatal(lcZetoProtocol, "Connection information factory is null.");
    m_factoryMessenger = m_broker->createMessenger(FactoryMessengerId);
    if (!m_factoryMessenger)
        zetoFatal(lcZetoProtocol, "Messenger is null.");
    connect(m_factoryMessenger.data(), &Messenger::receivedMessage, this,
            &QObjectEndpointFactory::onReceivedMessage);
    connect(m_factoryMessenger.data(), &Messenger::finished, this, &QObjectEndpointFactory::onMessengerFinished);
    connect(m_factoryMessenger.data(), &Messenger::error, this, &QObjectEndpointFactory::onMessengerError);
}

QObjectEndpointFactory::~QObjectEndpointFactory()
{
    disconnect(m_factoryMessenger.data(), nullptr, this, nullptr);
    for (QObjectEndpoint *endpoint : qAsConst(m_endpoints))
        disconnect(endpoint, nullptr, this, nullptr);
}

QSharedPointer<QObjectEndpoint> QObjectEndpointFactory::createEndpoint()
{
    if (m_finished)
        return {};
    QSharedPointer<Messenger> messenger = m_broker->createMessenger(generateId());
    if (!messenger)
        return {};
    const QByteArray messengerId = messenger->messengerId();
    const QSharedPointer<QObjectEndpoint> endpoint = makeEndpoint(std::move(messenger));
    m_factoryMessenger->sendMessage(QVariant::fromValue(CreateEndpointRequest(endpoint->endpointId(), messengerId)));
    m_pendingEndpointIds.insert(endpoint->endpointId());
    return endpoint;
}

void QObjectEndpointFactory::onReceivedMessage(const QVariant &message)
{
    using Dispatch = MessageDispatch<QObjectEndpointFactory>;
    static const Dispatch table{
        Dispatch::route<CreateEndpointRequest, &QObjectEndpointFactory::onRequest>(),
        Dispatch::route<CreateEndpointResponse, &QObjectEndpointFactory::onResponse>(),
    };
    if (!table.dispatch(this, message))
        reportInvalidMessage();
}

void QObjectEndpointFactory::onRequest(const CreateEndpointRequest &request)
{
    ConnectionError refusal = InvalidMessage;
    const QSharedPointer<QObjectEndpoint> endpoint = servedEndpoint(request, &refusal);
    if (!endpoint) {
        const ErrorInfo errorInfo = makeErrorInfo(refusal);
        m_factoryMessenger->sendMessage(QVariant::fromValue(CreateEndpointResponse(false, errorInfo, request)));
        Q_EMIT endpointCreationFailed(request.endpointId(), errorInfo);
        return;
    }
    m_established = true;
    m_factoryMessenger->sendMessage(QVariant::fromValue(CreateEndpointResponse(true, ErrorInfo(), request)));
    Q_EMIT newEndpoint(endpoint);
    endpoint->announceConnected();
}

// Null when the peer's ids are not valid or its messenger id is in use.
QSharedPointer<QObjectEndpoint> QObjectEndpointFactory::servedEndpoint(const CreateEndpointRequest &request,
                                                                       ConnectionError *refusal)
{
    if (!isValidId(request.endpointId()) || !isValidId(request.messengerId()))
        return {};
    // Each endpoint holds objects of its own: the peer may not open them
    // without end.
    if (m_endpoints.size() >= m_maxEndpoints) {
        *refusal = TooManyRemoteObjects;
        return {};
    }
    QSharedPointer<Messenger> messenger = m_broker->createMessenger(request.messengerId());
    return messenger ? makeEndpoint(std::move(messenger)) : QSharedPointer<QObjectEndpoint>();
}

void QObjectEndpointFactory::onResponse(const CreateEndpointResponse &response)
{
    const QByteArray endpointId = response.request().endpointId();
    if (!m_pendingEndpointIds.remove(endpointId)) {
        reportInvalidMessage();
        return;
    }
    // The endpoint may have gone meanwhile; then nobody waits for it.
    QObjectEndpoint *endpoint = m_endpoints.value(endpointId);
    if (!endpoint)
        return;
    if (!response.success()) {
        Q_EMIT endpointCreationFailed(endpointId, response.errorInfo());
        return;
    }
    m_established = true;
    endpoint->announceConnected();
}

void QObjectEndpointFactory::onMessengerFinished()
{
    m_finished = true;
    Q_EMIT finished();
}

// Before the first pair, a dropped connection means that the peer never
// spoke the protocol with us.
void QObjectEndpointFactory::onMessengerError(const ErrorInfo &errorInfo)
{
    if (errorInfo == makeErrorInfo(ConnectionDropped) && !m_established)
        Q_EMIT error(makeErrorInfo(ZetoHandshakeFailed));
    else
        Q_EMIT error(errorInfo);
}

void QObjectEndpointFactory::setMaxEndpoints(int maxEndpoints)
{
    m_maxEndpoints = maxEndpoints;
}

QSharedPointer<PeerQuota> QObjectEndpointFactory::quota() const
{
    return m_quota;
}

// Runs inside the endpoint's destructor, while its id is still intact.
void QObjectEndpointFactory::onEndpointDestroyed(QObjectEndpoint *endpoint)
{
    if (endpoint)
        m_endpoints.remove(endpoint->endpointId());
}

QSharedPointer<QObjectEndpoint> QObjectEndpointFactory::makeEndpoint(QSharedPointer<Messenger> messenger)
{
    const QSharedPointer<QObjectEndpoint> endpoint(
        new QObjectEndpoint(m_repository, std::move(messenger), m_connectionInformationFactory, m_quota));
    connect(endpoint.data(), &QObjectEndpoint::endpointDestroyed, this, &QObjectEndpointFactory::onEndpointDestroyed);
    m_endpoints.insert(endpoint->endpointId(), endpoint.data());
    return endpoint;
}

void QObjectEndpointFactory::reportInvalidMessage()
{
    Q_EMIT error(makeErrorInfo(InvalidMessage));
}

} // namespace Zeto
