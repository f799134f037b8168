#include "SignalSlotLinks.h"

#include "../Messenger/Id.h"
#include "../QObjectInfo/MethodSignature.h"
#include "ConnectedSignal.h"
#include "LinkedReceivers.h"
#include "Messages/ConnectionResponse.h"
#include "Messages/DisconnectionRequest.h"
#include "Messages/DisconnectionResponse.h"
#include "ObjectTable.h"
#include "PeerQuota.h"
#include "QObjectEndpoint.h"
#include "SlotCalls.h"

#include <QtCore/QMetaObject>

#include <utility>

namespace Zeto {

// The local end of a valid link, and what of it the link uses.
struct SignalSlotLinks::LinkEnds
{
    bool senderIsLocal = false;
    ObjectRecord localRecord;
    QByteArray normalizedSignal;
    QByteArray normalizedSlot;
};

SignalSlotLinks::SignalSlotLinks(QObjectEndpoint &endpoint, const ObjectTable &objects,
                                 LinkedReceivers &linkedReceivers, SlotCalls &slotCalls,
                                 QSharedPointer<PeerQuota> quota)
    : m_endpoint(endpoint),
      m_objects(objects),
      m_linkedReceivers(linkedReceivers),
      m_slotCalls(slotCalls),
      m_quota(std::move(quota))
{}

std::optional<ErrorInfo> SignalSlotLinks::validateLink(const ConnectionRequest &request, LinkEnds *ends) const
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

QByteArray SignalSlotLinks::requestLink(const QByteArray &senderObjectId, const QByteArray &signal,
                                        const QByteArray &receiverObjectId, const QByteArray &slot)
{
    const ConnectionRequest request(generateId(), senderObjectId, signal, receiverObjectId, slot);
    LinkEnds ends;
    if (const std::optional<ErrorInfo> failure = validateLink(request, &ends)) {
        failConnectionLater(request.connectionId(), *failure);
    } else if (m_endpoint.isFinished()) {
        failConnectionLater(request.connectionId(), makeErrorInfo(ConnectionDropped));
    } else {
        m_pendingConnections.insert(request.connectionId(), {request});
        m_endpoint.send(QVariant::fromValue(request));
    }
    return request.connectionId();
}

void SignalSlotLinks::serveConnection(const ConnectionRequest &request)
{
    const QByteArray connectionId = request.connectionId();
    if (const std::optional<ErrorInfo> failure = acceptLink(request)) {
        m_endpoint.send(QVariant::fromValue(ConnectionResponse(false, *failure, request)));
        Q_EMIT m_endpoint.connectionToRemoteObjectFailed(connectionId, *failure, false);
    } else {
        m_endpoint.send(QVariant::fromValue(ConnectionResponse(true, {}, request)));
        Q_EMIT m_endpoint.connectedToRemoteObject(connectionId, false);
    }
}

std::optional<ErrorInfo> SignalSlotLinks::acceptLink(const ConnectionRequest &request)
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
        m_linkedReceivers.insert(connectionId,
                                 LinkedReceivers::Receiver{request.receiverObjectId(), ends.normalizedSlot});
    }
    return std::nullopt;
}

bool SignalSlotLinks::watchSignal(const ConnectionRequest &request, QObject *emitter, int signalIndex)
{
    // Deleted in the emitter's thread, never under a running emission.
    const QSharedPointer<ConnectedSignal> watcher(
        new ConnectedSignal(emitter, signalIndex, request.connectionId(), request.senderObjectId(),
                            request.signalSignature(), request.receiverObjectId(), request.slotSignature()),
        &QObject::deleteLater);
    if (!watcher->isWatching())
        return false;
    m_watchedSignals.insert(request.connectionId(), watcher);
    QObject::connect(watcher.data(), &ConnectedSignalPrivate::connectedSignalEmitted, &m_endpoint,
                     [this](const ConnectedSignalEmittedEvent &event) { onWatchedSignalEmitted(event); });
    QObject::connect(watcher.data(), &ConnectedSignalPrivate::emitterDestroyed, &m_endpoint,
                     [this](const QByteArray &connectionId) { onEmitterDestroyed(connectionId); });
    return true;
}

void SignalSlotLinks::onConnectionResponse(const ConnectionResponse &response)
{
    const QByteArray connectionId = response.request().connectionId();
    const auto pending = m_pendingConnections.constFind(connectionId);
    if (pending == m_pendingConnections.cend()) {
        m_endpoint.reportInvalidMessage();
        return;
    }
    const PendingConnection connection = *pending;
    m_pendingConnections.erase(pending);
    if (!response.success()) {
        // Nothing may stay linked under the id of a link that was refused.
        m_linkedReceivers.remove(connectionId);
        Q_EMIT m_endpoint.connectionToRemoteObjectFailed(connectionId, response.errorInfo(), true);
        return;
    }
    DisconnectReason undoReason = LinkFailed;
    if (const std::optional<ErrorInfo> failure = completeLink(connection.request, &undoReason)) {
        requestDisconnection(connectionId, undoReason);
        Q_EMIT m_endpoint.connectionToRemoteObjectFailed(connectionId, *failure, true);
        return;
    }
    Q_EMIT m_endpoint.connectedToRemoteObject(connectionId, true);
    if (connection.disconnectRequested)
        requestUnlink(connectionId);
}

// The peer accepted; this side's object may have gone or changed meanwhile.
std::optional<ErrorInfo> SignalSlotLinks::completeLink(const ConnectionRequest &request, DisconnectReason *undoReason)
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
        m_linkedReceivers.insert(request.connectionId(),
                                 LinkedReceivers::Receiver{request.receiverObjectId(), ends.normalizedSlot});
        return std::nullopt;
    }
    const int signalIndex = ends.localRecord.signalIndex(ends.normalizedSignal);
    if (!watchSignal(request, ends.localRecord.object(), signalIndex))
        return makeErrorInfo(InvalidSignal);
    return std::nullopt;
}

void SignalSlotLinks::requestUnlink(const QByteArray &connectionId)
{
    const auto pending = m_pendingConnections.find(connectionId);
    if (pending != m_pendingConnections.end()) {
        pending->disconnectRequested = true;
        return;
    }
    if (removeLink(connectionId))
        requestDisconnection(connectionId, ApplicationRequest);
}

void SignalSlotLinks::serveDisconnection(const DisconnectionRequest &request)
{
    const QByteArray connectionId = request.connectionId();
    if (removeLink(connectionId)) {
        Q_EMIT m_endpoint.disconnectedFromRemoteObject(connectionId, false);
        m_endpoint.send(QVariant::fromValue(DisconnectionResponse(connectionId)));
    } else if (m_pendingDisconnections.contains(connectionId)) {
        // Both sides let go at once; each signals on its own answer.
        m_endpoint.send(QVariant::fromValue(DisconnectionResponse(connectionId)));
    } else {
        m_endpoint.reportInvalidMessage();
    }
}

void SignalSlotLinks::onDisconnectionResponse(const DisconnectionResponse &response)
{
    if (m_pendingDisconnections.remove(response.connectionId()))
        Q_EMIT m_endpoint.disconnectedFromRemoteObject(response.connectionId(), true);
    else
        m_endpoint.reportInvalidMessage();
}

bool SignalSlotLinks::removeLink(const QByteArray &connectionId)
{
    const bool watched = m_watchedSignals.remove(connectionId) > 0;
    const bool received = m_linkedReceivers.remove(connectionId);
    return watched || received;
}

void SignalSlotLinks::requestDisconnection(const QByteArray &connectionId, DisconnectReason reason)
{
    m_pendingDisconnections.insert(connectionId);
    m_endpoint.send(QVariant::fromValue(DisconnectionRequest(connectionId, reason)));
}

void SignalSlotLinks::onWatchedSignalEmitted(const ConnectedSignalEmittedEvent &event)
{
    // An emission from another thread may arrive after the link went.
    if (m_watchedSignals.contains(event.connectionId()))
        m_slotCalls.callLinkedSlot(event.connectionId(), event.receiverObjectId(), event.slotSignature(),
                                   event.arguments());
}

void SignalSlotLinks::onEmitterDestroyed(const QByteArray &connectionId)
{
    // A copy: removing the watcher may free the caller's argument.
    const QByteArray id = connectionId;
    const bool watched = m_watchedSignals.remove(id) > 0;
    m_endpoint.reportUsage();
    if (watched)
        requestDisconnection(id, ObjectDestroyed);
}

int SignalSlotLinks::watchedSignalCount() const { return m_watchedSignals.size(); }

void SignalSlotLinks::stopReporting()
{
    for (const QSharedPointer<ConnectedSignal> &watcher : qAsConst(m_watchedSignals))
        QObject::disconnect(watcher.data(), nullptr, &m_endpoint, nullptr);
}

void SignalSlotLinks::failConnectionLater(const QByteArray &connectionId, const ErrorInfo &errorInfo)
{
    QObjectEndpoint *endpoint = &m_endpoint;
    QMetaObject::invokeMethod(
        endpoint,
        [endpoint, connectionId, errorInfo] {
            Q_EMIT endpoint->connectionToRemoteObjectFailed(connectionId, errorInfo, true);
        },
        Qt::QueuedConnection);
}

} // namespace Zeto
