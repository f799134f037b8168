#include "ProtocolStack.h"

#include "Messenger/MessageBroker.h"
#include "RemoteObjects/ConnectionInformationFactory.h"
#include "WebSocketBasedQVariantCourier/IQVariantCourier.h"

#include <QtTest/QSignalSpy>

namespace Zeto {
namespace Testing {

ProtocolStack::ProtocolStack(const QSharedPointer<IQVariantCourier> &courier,
                             const RemoteObjectRepository &repository,
                             QSharedPointer<IConnectionInformationFactory> connectionInformationFactory)
    : m_broker(new MessageBroker(courier))
    , m_servedEndpoints(new QList<QSharedPointer<QObjectEndpoint>>)
{
    if (!connectionInformationFactory)
        connectionInformationFactory.reset(new ConnectionInformationFactory(ConnectionInfo()));
    m_factory.reset(new QObjectEndpointFactory(repository, m_broker, connectionInformationFactory));
    const auto servedEndpoints = m_servedEndpoints;
    QObject::connect(m_factory.data(), &QObjectEndpointFactory::newEndpoint,
                     [servedEndpoints](const QSharedPointer<QObjectEndpoint> &endpoint) {
                         servedEndpoints->append(endpoint);
                     });
}

QSharedPointer<MessageBroker> ProtocolStack::broker() const
{
    return m_broker;
}

QObjectEndpointFactory *ProtocolStack::factory() const
{
    return m_factory.data();
}

QList<QSharedPointer<QObjectEndpoint>> ProtocolStack::servedEndpoints() const
{
    return *m_servedEndpoints;
}

void ProtocolStack::releaseServedEndpoints()
{
    m_servedEndpoints->clear();
}

EndpointPair pairEndpoints(const ProtocolStack &requester, const ProtocolStack &server, int timeoutInMs)
{
    const QSharedPointer<QObjectEndpoint> endpoint = requester.factory()->createEndpoint();
    if (!endpoint)
        return {};
    QSignalSpy connected(endpoint.data(), &QObjectEndpoint::connected);
    if (!connected.wait(timeoutInMs) || server.servedEndpoints().isEmpty())
        return {};
    return {endpoint, server.servedEndpoints().last()};
}

} // namespace Testing
} // namespace Zeto
