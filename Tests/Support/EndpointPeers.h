#ifndef ZETO_ENDPOINTPEERS_H
#define ZETO_ENDPOINTPEERS_H

#include "InProcessCourierPair.h"
#include "ProtocolStack.h"
#include "TestObjects.h"

#include <QtCore/QByteArrayList>
#include <QtCore/QPointer>
#include <QtCore/QUrl>

namespace Zeto {
namespace Testing {

extern const QByteArray CalculatorClass;
extern const QByteArray SlotTargetClass;
// Served at /calc; the slot target at /target. Under /null and /throwing
// the factories fail in both ways; an argument "throw" makes the connection
// information factory throw.
extern const QUrl CalculatorUrl;
QUrl urlWithPath(const QString &path);

// A paired requester and server endpoint over the in-process couriers.
struct EndpointPeers
{
    EndpointPeers();

    // Delivers a payload to the requester's endpoint as if its peer had sent it.
    void injectToRequester(const QVariant &payload);
    // Delivers a payload to the server's endpoint as if the requester had sent it.
    void injectToServer(const QVariant &payload);
    // The peer learns of the end of the server's messenger.
    void dropServerEndpoint();
    // Instantiates at the server and waits for the answer; empty on failure.
    QByteArray instantiate(const QByteArray &className = CalculatorClass, const QUrl &url = CalculatorUrl,
                           const QVariant &argument = QVariant());

    InProcessCourierPair couriers;
    ProtocolStack client{couriers.first()};
    ProtocolStack server;
    EndpointPair endpoints;
    // The last object the server created.
    QPointer<QObject> created;
};

// Every outcome signal of one endpoint, in order, as "signal id detail flag",
// with the first eight characters of the id.
class EndpointOutcomes
{
public:
    explicit EndpointOutcomes(QObjectEndpoint *endpoint);

    QByteArrayList log;

private:
    void add(const char *signal, const QByteArray &id, const QByteArray &detail, bool flag);

    // Cuts the connections when the log goes before the endpoint.
    QObject m_context;
};

QByteArray outcome(const char *signal, const QByteArray &id, const QByteArray &detail, bool flag);
// An error code as outcome details show it.
QByteArray code(ConnectionError error);
// "type:value", or "invalid".
QByteArray describe(const QVariant &value);

} // namespace Testing
} // namespace Zeto

#endif // ZETO_ENDPOINTPEERS_H
