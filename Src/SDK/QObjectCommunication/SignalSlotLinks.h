#ifndef ZETO_SIGNALSLOTLINKS_H
#define ZETO_SIGNALSLOTLINKS_H

#include "../ErrorHandler/ErrorHandler.h"
#include "Messages/ConnectionRequest.h"
#include "Messages/DisconnectReason.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QSharedPointer>

#include <optional>

namespace Zeto {

class ConnectedSignal;
class ConnectedSignalEmittedEvent;
class ConnectionResponse;
class DisconnectionRequest;
class DisconnectionResponse;
class LinkedReceivers;
class ObjectTable;
class PeerQuota;
class QObjectEndpoint;
class SlotCalls;

// The signal-slot links of one endpoint across its connection: making them
// at this side's request or the peer's, forwarding the emissions of the
// local signals they watch, and removing them.
class SignalSlotLinks
{
public:
    SignalSlotLinks(QObjectEndpoint &endpoint, const ObjectTable &objects, LinkedReceivers &linkedReceivers,
                    SlotCalls &slotCalls, QSharedPointer<PeerQuota> quota);

    QByteArray requestLink(const QByteArray &senderObjectId, const QByteArray &signal,
                           const QByteArray &receiverObjectId, const QByteArray &slot);
    void onConnectionResponse(const ConnectionResponse &response);
    void requestUnlink(const QByteArray &connectionId);
    void requestDisconnection(const QByteArray &connectionId, DisconnectReason reason);
    void onDisconnectionResponse(const DisconnectionResponse &response);

    void serveConnection(const ConnectionRequest &request);
    void serveDisconnection(const DisconnectionRequest &request);

    int watchedSignalCount() const;
    // No emission or end of a watched signal reaches the endpoint any more.
    void stopReporting();

private:
    struct PendingConnection
    {
        ConnectionRequest request;
        bool disconnectRequested = false;
    };
    struct LinkEnds;
    std::optional<ErrorInfo> validateLink(const ConnectionRequest &request, LinkEnds *ends) const;
    std::optional<ErrorInfo> acceptLink(const ConnectionRequest &request);
    bool watchSignal(const ConnectionRequest &request, QObject *emitter, int signalIndex);
    std::optional<ErrorInfo> completeLink(const ConnectionRequest &request, DisconnectReason *undoReason);
    bool removeLink(const QByteArray &connectionId);
    void onWatchedSignalEmitted(const ConnectedSignalEmittedEvent &event);
    void onEmitterDestroyed(const QByteArray &connectionId);
    void failConnectionLater(const QByteArray &connectionId, const ErrorInfo &errorInfo);

    QObjectEndpoint &m_endpoint;
    const ObjectTable &m_objects;
    LinkedReceivers &m_linkedReceivers;
    SlotCalls &m_slotCalls;
    const QSharedPointer<PeerQuota> m_quota;
    QHash<QByteArray, QSharedPointer<ConnectedSignal>> m_watchedSignals;
    // The requests themselves, so that a response is matched against what was
    // asked and not against the peer's echo.
    QHash<QByteArray, PendingConnection> m_pendingConnections;
    QSet<QByteArray> m_pendingDisconnections;
};

} // namespace Zeto

#endif // ZETO_SIGNALSLOTLINKS_H
