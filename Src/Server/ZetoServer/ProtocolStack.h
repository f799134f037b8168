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

// One peer's protocol over a courier: the assembled stack, whose factory
// serves the repository, keeping every endpoint the peer asks for until the
// peer ends its side of it. Objects learn an empty connection description
// unless a factory for it is given. Copies share the stack.
class ProtocolStack
{
public:
    explicit ProtocolStack(const QSharedPointer<IQVariantCourier> &courier,
                           const RemoteObjectRepository &repository = RemoteObjectRepository(),
                           QSharedPointer<IConnectionInformationFactory> connectionInformationFactory = {});

    QObjectEndpointFactory *factory() const;
    QList<QSharedPointer<QObjectEndpoint>> servedEndpoints() const;
    // Lets the served endpoints go, as a server does when its client leaves.
    void releaseServedEndpoints();

private:
    QSharedPointer<QObjectEndpointFactory> m_factory;
    QSharedPointer<QList<QSharedPointer<QObjectEndpoint>>> m_servedEndpoints;
};

} // namespace Zeto

#endif // ZETO_PROTOCOLSTACK_H
