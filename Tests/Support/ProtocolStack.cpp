#include "ProtocolStack.h"

#include <QtTest/QSignalSpy>

namespace Zeto {
namespace Testing {

QSharedPointer<QObjectEndpoint> connectedEndpoint(const ProtocolStack &requester, int timeoutInMs)
{
    const QSharedPointer<QObjectEndpoint> endpoint = requester.factory()->createEndpoint();
    if (!endpoint)
        return {};
    QSignalSpy connected(endpoint.data(), &QObjectEndpoint::connected);
    return connected.wait(timeoutInMs) ? endpoint : QSharedPointer<QObjectEndpoint>();
}

EndpointPair pairEndpoints(const ProtocolStack &requester, const ProtocolStack &server, int timeoutInMs)
{
    const QSharedPointer<QObjectEndpoint> endpoint = connectedEndpoint(requester, timeoutInMs);
    if (!endpoint || server.servedEndpoints().isEmpty())
        return {};
    return {endpoint, server.servedEndpoints().last()};
}

} // namespace Testing
} // namespace Zeto
