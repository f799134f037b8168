// The signal-slot links of QObjectEndpoint: making them from either side,
// forwarding emissions, and removing them.

#include "QObjectEndpoint.h"

#include "../Messenger/Id.h"
#include "../QObjectInfo/MethodSignature.h"
#include "ConnectedSignal.h"
#include "Messages/ConnectionResponse.h"
#include "Messages/DisconnectionRequest.h"
#include "Messages/DisconnectionResponse.h"

#include <QtCore/QMetaObject>

namespace Zeto {

// The local end of a valid link, and what of it the link uses.
struct QObjectEndpoint::LinkEnds
{
    bool senderIsLocal = false;
    ObjectRecord localRecord;
    QByteArray normalizedSignal;
    QByteArray normalizedSlot;
};

std::optional<ErrorInfo> QObjectEndpoint::validateLink(const ConnectionRequest &request, LinkEnds *ends) const
{
    const bool senderIsLocal = m_objects.contains(request.senderObjectId());
    if (senderIsLocal == m_objects.contains(request.receiverObjectId()))
        return makeErrorInfo(InvalidMessage);
    const MethodSignature signal(request.signalSignature());
    if (signal.normalizedSignature().isEmpty() || !signal.isSignal())
        return makeErrorInfo(InvalidSignal);
    const MethodSignature slot(request.slotSignature());
    if (slot.normalizedSignature().isEmpty() || !slot.isSlot())
        return makeErrorInfo(InvalidSlot);
    if (!areCompatible(signal, slot))
        return makeErrorInfo(SignalIncompatibleToSlot);
    const QByteArray localId = senderIsLocal ? request.senderObjectId() : request.receiverObjectId();
    *ends = {senderIsLocal, m_objects.record(localId), signal.normalizedSignature(), slot.normalizedSignature()};
    if (senderIsLocal && ends->localRecord.signalIndex(ends->normalizedSignal) < 0)
        return makeErrorInfo(InvalidSignal);
    if (!senderIsLocal && ends->localRecord.slotIndex(ends->normalizedSlot) < 0)
        return makeErrorInfo(InvalidSlot);
    return std::nullopt;
}

QByteArray QObjectEndpoint::connectToRemoteObject(const QByteArray &senderObjectId, const QByteArray &signal,
                                                  const QByteArray &receiverObjectId, const QByteArray &slot)
{
    const ConnectionRequest request(generateId(), senderObjectId, signal, receiverObjectId, slot);
    LinkEnds ends;
    if (const std::optional<ErrorInfo> failure = validateLink(request, &ends)) {
        failConnectionLater(request.connectionId(), *failure);
    } else if (m_finished) {
        failConnectionLater(request.connectionId(), makeErrorInfo(ConnectionDropped));
    } else {
        m_pendingConnections.insert(request.connectionId(), {request});
        send(QVariant::fromValue(request));
    }
    return request.connectionId();
}

void QObjectEndpoint::serveConnection(const ConnectionRequest &request)
{
    const QByteArray connectionId = request.connectionId();
    if (const std::optional<ErrorInfo> failure = acceptLink(request)) {
        send(QVariant::fromValue(ConnectionResponse(false, *failure, request)));
        Q_EMIT connectionToRemoteObjectFailed(connectionId, *failure, false);
    } else {
        send(QVariant::fromValue(ConnectionResponse(true, {}, request)));
        Q_EMIT connectedToRemoteObject(connectionId, false);
    }
}

std::optional<ErrorInfo> QObjectEndpoint::acceptLink(const ConnectionRequest &request)
{
    const QByteArray connectionId = request.connectionId();
    if (!isValidId(connectionId) || !isValidId(request.senderObjectId()) || !isValidId(request.receiverObjectId())
        || m_watchedSignals.contains(connectionId) || m_linkedReceivers.contains(connectionId))
        return makeErrorInfo(InvalidMessage);
    if (!m_quota->hasRoomFor(PeerQuota::Links))
        return makeErrorInfo(TooManyRemoteSignalSlotConnections);
    LinkEnds ends;
    if (const std::optional<ErrorInfo> failure = validateLink(request, &ends))
        return failure;
    // A peer links only to the objects it had created here, never to the
    // application's own.
    if (!ends.localRecord.isInstantiated())
        return makeErrorInfo(InvalidMessage);
    if (ends.senderIsLocal) {
        const int signalIndex = ends.localRecord.signalIndex(ends.normalizedSignal);
        if (!watchSignal(request, ends.localRecord.object(), signalIndex))
            return makeErrorInfo(InvalidSignal);
    } else {
        m_linkedReceivers.insert(connectionId, {request.receiverObjectId(), ends.normalizedSlot});
    }
    return std::nullopt;
}

bool QObjectEndpoint::watchSignal(const ConnectionRequest &request, QObject *emitter, int signalIndex)
{
    // Deleted in the emitter's thread, never under a running emission.
    const QSharedPointer<ConnectedSignal> watcher(
        new ConnectedSignal(emitter, signalIndex, request.connectionId(), request.senderObjectId(),
                            request.signalSignature(), request.receiverObjectId(), request.slotSignature()),
        &QObject::deleteLater);
    if (!watcher->isWatching())
        return false;
    m_watchedSignals.insert(request.connectionId(), watcher);
    connect(watcher.data(), &ConnectedSignalPrivate::connectedSignalEmitted, this,
            &QObjectEndpoint::onWatchedSignalEmitted);
    connect(watcher.data(), &ConnectedSignalPrivate::emitterDestroyed, this, &QObjectEndpoint::onEmitterDestroyed);
    return true;
}

void QObjectEndpoint::onConnectionResponse(const ConnectionResponse &response)
{
    const QByteArray connectionId = response.request().connectionId();
    const auto pending = m_pendingConnections.constFind(connectionId);
    if (pending == m_pendingConnections.cend()) {
        reportInvalidMessage();
        return;
    }
    const PendingConnection connection = *pending;
    m_pendingConnections.erase(pending);
    if (!response.success()) {
        // Nothing may stay linked under the id of a link that was refused.
        m_linkedReceivers.remove(connectionId);
        Q_EMIT connectionToRemoteObjectFailed(connectionId, response.errorInfo(), true);
        return;
    }
    DisconnectReason undoReason = LinkFailed;
    if (const std::optional<ErrorInfo> failure = completeLink(connection.request, &undoReason)) {
        requestDisconnection(connectionId, undoReason);
        Q_EMIT connectionToRemoteObjectFailed(connectionId, *failure, true);
        return;
    }
    Q_EMIT connectedToRemoteObject(connectionId, true);
    if (connection.disconnectRequested)
        disconnectFromRemoteObject(connectionId);
}

// The peer accepted; this side's object may have gone or changed meanwhile.
std::optional<ErrorInfo> QObjectEndpoint::completeLink(const ConnectionRequest &request,
                                                       DisconnectReason *undoReason)
{
    LinkEnds ends;
    const std::optional<ErrorInfo> failure = validateLink(request, &ends);
    if (failure && failure->error.connectionError == InvalidMessage) {
        *undoReason = ObjectDestroyed;
        return makeErrorInfo(InvalidObject);
    }
    if (failure)
        return failure;
    if (!ends.senderIsLocal) {
        m_linkedReceivers.insert(request.connectionId(), {request.receiverObjectId(), ends.normalizedSlot});
        return std::nullopt;
    }
    const int signalIndex = ends.localRecord.signalIndex(ends.normalizedSignal);
    if (!watchSignal(request, ends.localRecord.object(), signalIndex))
        return makeErrorInfo(InvalidSignal);
    return std::nullopt;
}

void QObjectEndpoint::disconnectFromRemoteObject(const QByteArray &connectionId)
{
    const auto pending = m_pendingConnections.find(connectionId);
    if (pending != m_pendingConnections.end()) {
        pending->disconnectRequested = true;
        return;
    }
    if (removeLink(connectionId))
        requestDisconnection(connectionId, ApplicationRequest);
}

void QObjectEndpoint::serveDisconnection(const DisconnectionRequest &request)
{
    const QByteArray connectionId = request.connectionId();
    if (removeLink(connectionId)) {
        Q_EMIT disconnectedFromRemoteObject(connectionId, false);
        send(QVariant::fromValue(DisconnectionResponse(connectionId)));
    } else if (m_pendingDisconnections.contains(connectionId)) {
        // Both sides let go at once; each signals on its own answer.
        send(QVariant::fromValue(DisconnectionResponse(connectionId)));
    } else {
        reportInvalidMessage();
    }
}

void QObjectEndpoint::onDisconnectionResponse(const DisconnectionResponse &response)
{
    if (m_pendingDisconnections.remove(response.connectionId()))
        Q_EMIT disconnectedFromRemoteObject(response.connectionId(), true);
    else
        reportInvalidMessage();
}

bool QObjectEndpoint::removeLink(const QByteArray &connectionId)
{
    const bool watched = m_watchedSignals.remove(connectionId) > 0;
    const bool received = m_linkedReceivers.remove(connectionId) > 0;
    return watched || received;
}

void QObjectEndpoint::requestDisconnection(const QByteArray &connectionId, DisconnectReason reason)
{
    m_pendingDisconnections.insert(connectionId);
    send(QVariant::fromValue(DisconnectionRequest(connectionId, reason)));
}

void QObjectEndpoint::onWatchedSignalEmitted(const ConnectedSignalEmittedEvent &event)
{
    // An emission from another thread may arrive after the link went.
    if (m_watchedSignals.contains(event.connectionId()))
        callConnectedSlot(event.connectionId(), event.receiverObjectId(), event.slotSignature(), event.arguments());
}

void QObjectEndpoint::onEmitterDestroyed(const QByteArray &connectionId)
{
    // A copy: removing the watcher may free the caller's argument.
    const QByteArray id = connectionId;
    const bool watched = m_watchedSignals.remove(id) > 0;
    reportUsage();
    if (watched)
        requestDisconnection(id, ObjectDestroyed);
}

QVector<QByteArray> QObjectEndpoint::takeLinksOfReceiver(const QByteArray &objectId)
{
    QVector<QByteArray> connectionIds;
    for (auto link = m_linkedReceivers.begin(); link != m_linkedReceivers.end();) {
        if (link->objectId == objectId) {
            connectionIds.append(link.key());
            link = m_linkedReceivers.erase(link);
        } else {
            ++link;
        }
    }
    return connectionIds;
}

void QObjectEndpoint::failConnectionLater(const QByteArray &connectionId, const ErrorInfo &errorInfo)
{
    QMetaObject::invokeMethod(
        this, [this, connectionId, errorInfo] { Q_EMIT connectionToRemoteObjectFailed(connectionId, errorInfo, true); },
        Qt::QueuedConnection);
}

} // namespace Zeto
