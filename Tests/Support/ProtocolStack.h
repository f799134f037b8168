#ifndef ZETO_TESTPROTOCOLSTACK_H
#define ZETO_TESTPROTOCOLSTACK_H

#include "ZetoServer/ProtocolStack.h"

namespace Zeto {
namespace Testing {

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

#endif // ZETO_TESTPROTOCOLSTACK_H
