#ifndef ZETO_PROTOCOLSTACK_H
#define ZETO_PROTOCOLSTACK_H

#include "QObjectCommunication/QObjectEndpoint.h"
#include "QObjectCommunication/QObjectEndpointFactory.h"
#include "RemoteObjects/RemoteObjectRepository.h"

#include <QtCore/QList>
#include <QtCore/QSharedPointer>

namespace Zeto {

class IConnectionInformationFactory;
class IQVariantCourier;
class MessageBroker;

namespace Testing {

// One peer's protocol over a courier: a broker and an endpoint factory that
// serves the repository, keeping every endpoint the peer asks for until the
// peer ends its side of it. Objects learn an empty connection description
// unless a factory for it is given.
class ProtocolStack
{
public:
    explicit ProtocolStack(const QSharedPointer<IQVariantCourier> &courier,
                           const RemoteObjectRepository &repository = RemoteObjectRepository(),
                           QSharedPointer<IConnectionInformationFactory> connectionInformationFactory = {});

    QSharedPointer<MessageBroker> broker() const;
    QObjectEndpointFactory *factory() const;
    QList<QSharedPointer<QObjectEndpoint>> servedEndpoints() const;
    // Lets the served endpoints go, as a server does when its client leaves.
    void releaseServedEndpoints();

private:
    QSharedPointer<MessageBroker> m_broker;
    QSharedPointer<QObjectEndpointFactory> m_factory;
    QSharedPointer<QList<QSharedPointer<QObjectEndpoint>>> m_servedEndpoints;
};

struct EndpointPair
{
    QSharedPointer<QObjectEndpoint> requester;
    QSharedPointer<QObjectEndpoint> server;
};

// Creates an endpoint at the requester and waits until its peer has made the
// counterpart. Null if the pair did not complete in time.
QSharedPointer<QObjectEndpoint> connectedEndpoint(const ProtocolStack &requester, int timeoutInMs = 5000);

// Creates an endpoint at the requester and waits until the server has made
// its counterpart. Both null if the pair did not complete in time.
EndpointPair pairEndpoints(const ProtocolStack &requester, const ProtocolStack &server, int timeoutInMs = 5000);

} // namespace Testing
} // namespace Zeto

#endif // ZETO_PROTOCOLSTACK_H
