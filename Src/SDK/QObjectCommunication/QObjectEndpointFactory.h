#ifndef ZETO_QOBJECTENDPOINTFACTORY_H
#define ZETO_QOBJECTENDPOINTFACTORY_H

#include "../ZetoGlobal.h"
#include "../RemoteObjects/RemoteObjectRepository.h"
#include "IQObjectEndpointFactory.h"
#include "PeerQuota.h"

#include <QtCore/QHash>
#include <QtCore/QSet>

namespace Zeto {

class CreateEndpointRequest;
class CreateEndpointResponse;
class IConnectionInformationFactory;
class MessageBroker;
class Messenger;

// Pairs endpoints over the messenger of a well-known id, which both peers
// open without asking, so that the first endpoint can be requested at once.
// One broker carries at most one factory. The factory owns no endpoint.
class ZETO_PRIVATE_EXPORT QObjectEndpointFactory : public IQObjectEndpointFactory
{
    Q_OBJECT
    Q_DISABLE_COPY(QObjectEndpointFactory)

public:
    static const QByteArray FactoryMessengerId;
    // Endpoints that may live at once on this connection; a peer's request
    // beyond them is refused with TooManyRemoteObjects.
    static constexpr int DefaultMaxEndpoints = 4096;

    // A null broker or connection information factory, or a broker that has
    // a factory already, is a precondition violation: the process ends.
    QObjectEndpointFactory(const RemoteObjectRepository &repository, QSharedPointer<MessageBroker> broker,
                           QSharedPointer<IConnectionInformationFactory> connectionInformationFactory);
    ~QObjectEndpointFactory() override;

    // Null once the connection is over. The endpoint may be used at once: its requests travel behind the
    // announcement, and the peer reads them after making its counterpart.
    QSharedPointer<QObjectEndpoint> createEndpoint() override;

    void setMaxEndpoints(int maxEndpoints);
    // Shared by every endpoint made here: what the peer holds over the whole
    // connection.
    QSharedPointer<PeerQuota> quota() const;

private:
    void onReceivedMessage(const QVariant &message);
    void onRequest(const CreateEndpointRequest &request);
    QSharedPointer<QObjectEndpoint> servedEndpoint(const CreateEndpointRequest &request, ConnectionError *refusal);
    void onResponse(const CreateEndpointResponse &response);
    void onMessengerFinished();
    void onMessengerError(const ErrorInfo &errorInfo);
    void onEndpointDestroyed(QObjectEndpoint *endpoint);

    QSharedPointer<QObjectEndpoint> makeEndpoint(QSharedPointer<Messenger> messenger);
    void reportInvalidMessage();

    const RemoteObjectRepository m_repository;
    const QSharedPointer<MessageBroker> m_broker;
    const QSharedPointer<IConnectionInformationFactory> m_connectionInformationFactory;
    const QSharedPointer<PeerQuota> m_quota;
    QSharedPointer<Messenger> m_factoryMessenger;
    // Every endpoint made here that still exists, by endpoint id.
    QHash<QByteArray, QObjectEndpoint *> m_endpoints;
    QSet<QByteArray> m_pendingEndpointIds;
    // Set by the first pair completed on either side.
    bool m_established = false;
    bool m_finished = false;
    int m_maxEndpoints = DefaultMaxEndpoints;
};

} // namespace Zeto

#endif // ZETO_QOBJECTENDPOINTFACTORY_H
