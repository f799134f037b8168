#include "ProtocolStack.h"

#include "QObjectCommunication/ProtocolStackAssembly.h"
#include "RemoteObjects/ConnectionInformationFactory.h"

#include <algorithm>

namespace Zeto {

namespace {

// An endpoint may go inside its own finished(): its messenger goes later.
void forgetWhenFinished(QObjectEndpoint *endpoint,
                        const QWeakPointer<QList<QSharedPointer<QObjectEndpoint>>> &endpoints)
{
    QObject::connect(endpoint, &QObjectEndpoint::finished, endpoint, [endpoint, endpoints] {
        if (const auto liveEndpoints = endpoints.toStrongRef()) {
            liveEndpoints->erase(std::remove_if(liveEndpoints->begin(), liveEndpoints->end(),
                                                [endpoint](const auto &served) { return served == endpoint; }),
                                 liveEndpoints->end());
        }
    });
}

} // namespace

ProtocolStack::ProtocolStack(const QSharedPointer<IQVariantCourier> &courier, const RemoteObjectRepository &repository,
                             QSharedPointer<IConnectionInformationFactory> connectionInformationFactory)
    : m_servedEndpoints(new QList<QSharedPointer<QObjectEndpoint>>)
{
    if (!connectionInformationFactory)
        connectionInformationFactory.reset(new ConnectionInformationFactory(ConnectionInfo()));
    m_factory.reset(assembleProtocolStack(courier, repository, connectionInformationFactory));
    const auto servedEndpoints = m_servedEndpoints;
    QObject::connect(m_factory.data(), &QObjectEndpointFactory::newEndpoint,
                     [servedEndpoints](const QSharedPointer<QObjectEndpoint> &endpoint) {
                         servedEndpoints->append(endpoint);
                         forgetWhenFinished(endpoint.data(), servedEndpoints.toWeakRef());
                     });
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

} // namespace Zeto
