#include "RemoteObjectInternal.h"
#include "../../LoggingCategories_p.h"

#include "../../QObjectCommunication/QObjectEndpoint.h"
#include "RemoteObjectConnectionPrivate.h"
#include "RemoteSlotResponsePrivate.h"

#include <QtCore/QMetaObject>

#include <algorithm>
#include <iterator>
#include <utility>

namespace Zeto {
namespace Client {

namespace {

bool hasCode(const char *text, char code)
{
    return text && text[0] == code;
}

bool sameMethod(const QByteArray &given, const char *other)
{
    return QMetaObject::normalizedSignature(given.constData()) == QMetaObject::normalizedSignature(other);
}

// Handles the application dropped are not told.
template <typename Handle>
void failHandle(const QPointer<Handle> &handle, const ErrorInfo &errorInfo)
{
    if (handle)
        handle->emitFailed(errorInfo);
}

} // namespace

RemoteObjectInternal::RemoteObjectInternal(const char *className, const QUrl &url, const QVariant &argument,
                                           QSharedPointer<QObjectEndpoint> endpoint)
    : m_endpoint(std::move(endpoint))
    , m_className(className)
{
    if (!m_endpoint)
        zetoFatal(lcZetoClient, "QObject endpoint is null.");
    connectEndpoint();
    m_objectId = m_endpoint->instantiateQObject(m_className, url, argument);
}

RemoteObjectInternal::~RemoteObjectInternal()
{
    disconnectEndpoint();
}

RemoteObjectInternal::State RemoteObjectInternal::state() const
{
    return m_state;
}

QByteArray RemoteObjectInternal::endpointId() const
{
    return m_endpoint->endpointId();
}

void RemoteObjectInternal::connectEndpoint()
{
    QObjectEndpoint *endpoint = m_endpoint.data();
    connect(endpoint, &QObjectEndpoint::instantiatedQObject, this, &RemoteObjectInternal::onInstantiatedQObject);
    connect(endpoint, &QObjectEndpoint::qObjectInstantiationFailed, this,
            &RemoteObjectInternal::onQObjectInstantiationFailed);
    connect(endpoint, &QObjectEndpoint::instantiatedQObjectDestroyed, this,
            &RemoteObjectInternal::onInstantiatedQObjectDestroyed);
    connect(endpoint, &QObjectEndpoint::slotCalled, this, &RemoteObjectInternal::onSlotCalled);
    connect(endpoint, &QObjectEndpoint::slotCallFailed, this, &RemoteObjectInternal::onSlotCallFailed);
    connect(endpoint, &QObjectEndpoint::connectedToRemoteObject, this,
            &RemoteObjectInternal::onConnectedToRemoteObject);
    connect(endpoint, &QObjectEndpoint::connectionToRemoteObjectFailed, this,
            &RemoteObjectInternal::onConnectionToRemoteObjectFailed);
    connect(endpoint, &QObjectEndpoint::disconnectedFromRemoteObject, this,
            &RemoteObjectInternal::onDisconnectedFromRemoteObject);
    connect(endpoint, &QObjectEndpoint::error, this, &RemoteObjectInternal::onEndpointError);
    connect(endpoint, &QObjectEndpoint::finished, this, &RemoteObjectInternal::onEndpointFinished);
}

// From now on nothing more arrives from the endpoint.
void RemoteObjectInternal::disconnectEndpoint()
{
    disconnect(m_endpoint.data(), nullptr, this, nullptr);
}

void RemoteObjectInternal::callRemoteSlot(RemoteSlotResponsePrivate *response, const char *slot,
                                          const QVector<QVariant> &arguments)
{
    if (!response)
        zetoFatal(lcZetoClient, "Remote slot response private cannot be null.");
    if (!slot) {
        response->emitFailed(makeErrorInfo(InvalidSlot));
        return;
    }
    if (m_state == Gone)
        return;
    if (m_state == Pending)
        m_pendingOperations.append({true, {response, slot, arguments}, ToRemoteSlot, {}});
    else
        sendSlotCall(response, slot, arguments);
    response->awaitAnswerFrom(this);
}

void RemoteObjectInternal::connectToRemoteSignal(RemoteObjectConnectionPrivate *connection, const char *signal,
                                                 QObject *receiver, const char *slot)
{
    requestLink(connection, ToRemoteSignal, receiver, signal, slot);
}

void RemoteObjectInternal::connectToRemoteSlot(RemoteObjectConnectionPrivate *connection, QObject *sender,
                                               const char *signal, const char *slot)
{
    requestLink(connection, ToRemoteSlot, sender, signal, slot);
}

void RemoteObjectInternal::requestLink(RemoteObjectConnectionPrivate *connection, LinkKind kind,
                                       QObject *localObject, const char *signal, const char *slot)
{
    if (m_state == Gone)
        return;
    if (!connection)
        zetoFatal(lcZetoClient, "Remote object connection private cannot be null.");
    if (const std::optional<ConnectionError> refusal = linkRefusal(localObject, signal, slot)) {
        connection->emitFailed(makeErrorInfo(*refusal));
    } else {
        const Link link{connection, localObject, signal, slot};
        if (m_state == Pending)
            m_pendingOperations.append({false, {}, kind, link});
        else
            sendLink(kind, link);
        connect(connection, &RemoteObjectConnectionPrivate::timedOut, this,
                [this, connection] { abandonLink(connection); });
    }
}

void RemoteObjectInternal::sendSlotCall(RemoteSlotResponsePrivate *response, const char *slot,
                                        const QVector<QVariant> &arguments)
{
    m_slotCalls.insert(m_endpoint->callSlot(m_objectId, slot, arguments), response);
}

void RemoteObjectInternal::sendLink(LinkKind kind, const Link &link)
{
    const QByteArray localId = m_endpoint->registerQObject(link.localObject);
    const QByteArray connectionId =
        kind == ToRemoteSignal ? m_endpoint->connectToRemoteObject(m_objectId, link.signal, localId, link.slot)
                               : m_endpoint->connectToRemoteObject(localId, link.signal, m_objectId, link.slot);
    links(kind).insert(connectionId, link);
}

// In call order, before anyone hears that the object exists.
void RemoteObjectInternal::runPendingOperations()
{
    const QVector<PendingOperation> operations = std::exchange(m_pendingOperations, {});
    for (const PendingOperation &operation : operations) {
        const SlotCall &call = operation.slotCall;
        if (operation.isSlotCall)
            sendSlotCall(call.response, call.slot.constData(), call.arguments);
        else if (operation.link.localObject)
            sendLink(operation.linkKind, operation.link);
    }
}

std::optional<ConnectionError> RemoteObjectInternal::linkRefusal(const QObject *localObject, const char *signal,
                                                                const char *slot)
{
    if (!localObject)
        return InvalidObject;
    if (!hasCode(signal, '2'))
        return InvalidSignal;
    if (!hasCode(slot, '1'))
        return InvalidSlot;
    return std::nullopt;
}

bool RemoteObjectInternal::isLink(const Link &link, const QObject *localObject, const char *signal, const char *slot)
{
    return link.localObject == localObject && sameMethod(link.signal, signal) && sameMethod(link.slot, slot);
}

QVector<RemoteObjectInternal::PendingOperation> RemoteObjectInternal::takeUnsentRequests()
{
    for (const PendingOperation &operation : qAsConst(m_pendingOperations)) {
        if (!operation.isSlotCall && operation.link.connection)
            disconnect(operation.link.connection, nullptr, this, nullptr);
    }
    return std::exchange(m_pendingOperations, {});
}

QVector<RemoteObjectInternal::PendingOperation> RemoteObjectInternal::madeLinks() const
{
    QVector<PendingOperation> made;
    for (const LinkKind kind : {ToRemoteSlot, ToRemoteSignal}) {
        for (const Link &link : kind == ToRemoteSignal ? m_remoteSignalLinks : m_remoteSlotLinks) {
            if (link.made && !link.undoing && link.localObject)
                made.append({false, {}, kind, link});
        }
    }
    return made;
}

void RemoteObjectInternal::resume(const QVector<PendingOperation> &operations)
{
    for (const PendingOperation &operation : operations) {
        const SlotCall &call = operation.slotCall;
        const Link &link = operation.link;
        if (operation.isSlotCall) {
            if (call.response && !call.response->isSettled())
                callRemoteSlot(call.response, call.slot.constData(), call.arguments);
        } else if (link.made) {
            if (link.localObject && m_state == Instantiated) {
                Link remade = link;
                remade.remade = true;
                sendLink(operation.linkKind, remade);
                ++m_remadeLinksAwaited;
            }
        } else if (link.connection && link.connection->isAwaitingConnection()) {
            requestLink(link.connection, operation.linkKind, link.localObject, link.signal.constData(),
                        link.slot.constData());
        }
    }
    if (m_remadeLinksAwaited == 0)
        Q_EMIT resumed();
}

// A link that cannot be made again is as lost as the connection was; its
// handle, linked long ago, is not told.
void RemoteObjectInternal::settleRemadeLink(const Link &link, const ErrorInfo *failure)
{
    if (failure) {
        qCWarning(lcZetoClient, "A link of remote object %s, %s to %s, could not be made again: %s",
                  m_className.constData(), link.signal.constData(), link.slot.constData(),
                  qPrintable(failure->description()));
    }
    if (--m_remadeLinksAwaited == 0)
        Q_EMIT resumed();
}

void RemoteObjectInternal::disconnectFromRemoteSignal(const char *signal, QObject *receiver, const char *slot)
{
    removeLinks(ToRemoteSignal, receiver, signal, slot);
}

void RemoteObjectInternal::disconnectFromRemoteSlot(QObject *sender, const char *signal, const char *slot)
{
    removeLinks(ToRemoteSlot, sender, signal, slot);
}

void RemoteObjectInternal::removeLinks(LinkKind kind, QObject *localObject, const char *signal, const char *slot)
{
    if (m_state == Gone || !signal || !slot)
        return;
    const auto matches = [localObject, signal, slot](const Link &link) {
        return isLink(link, localObject, signal, slot);
    };
    if (m_state == Pending) {
        removePendingOperations([kind, &matches](const PendingOperation &operation) {
            return !operation.isSlotCall && operation.linkKind == kind && matches(operation.link);
        });
        return;
    }
    // The entries stay until the peer confirms.
    QHash<QByteArray, Link> &table = links(kind);
    for (auto link = table.begin(); link != table.end(); ++link) {
        if (!matches(*link))
            continue;
        m_endpoint->disconnectFromRemoteObject(link.key());
        link->undoing = true;
        if (link->connection)
            link->connection->awaitDisconnection();
    }
}

void RemoteObjectInternal::forgetSlotCall(const RemoteSlotResponsePrivate *response)
{
    removePendingOperations([response](const PendingOperation &operation) {
        return operation.isSlotCall && operation.slotCall.response == response;
    });
    for (auto call = m_slotCalls.begin(); call != m_slotCalls.end();)
        call = *call == response ? m_slotCalls.erase(call) : std::next(call);
}

// Asking the endpoint to disconnect undoes the link even when the server
// makes it after the application was told it failed.
void RemoteObjectInternal::abandonLink(const RemoteObjectConnectionPrivate *connection)
{
    removePendingOperations([connection](const PendingOperation &operation) {
        return !operation.isSlotCall && operation.link.connection == connection;
    });
    for (QHash<QByteArray, Link> *table : {&m_remoteSlotLinks, &m_remoteSignalLinks}) {
        for (auto link = table->begin(); link != table->end();) {
            if (link->connection != connection) {
                ++link;
                continue;
            }
            m_endpoint->disconnectFromRemoteObject(link.key());
            link = table->erase(link);
        }
    }
}

void RemoteObjectInternal::removePendingOperations(const std::function<bool(const PendingOperation &)> &matches)
{
    m_pendingOperations.erase(std::remove_if(m_pendingOperations.begin(), m_pendingOperations.end(), matches),
                              m_pendingOperations.end());
}

// Nothing is left to route an answer to: one that still comes is dropped.
void RemoteObjectInternal::failOutstandingRequests(const ErrorInfo &errorInfo)
{
    for (const PendingOperation &operation : std::exchange(m_pendingOperations, {})) {
        if (operation.isSlotCall)
            failHandle(operation.slotCall.response, errorInfo);
        else
            failHandle(operation.link.connection, errorInfo);
    }
    for (const QPointer<RemoteSlotResponsePrivate> &response : std::exchange(m_slotCalls, {}))
        failHandle(response, errorInfo);
    for (QHash<QByteArray, Link> *table : {&m_remoteSlotLinks, &m_remoteSignalLinks}) {
        for (const Link &link : std::exchange(*table, {}))
            failHandle(link.connection, errorInfo);
    }
}

QHash<QByteArray, RemoteObjectInternal::Link> &RemoteObjectInternal::links(LinkKind kind)
{
    return kind == ToRemoteSignal ? m_remoteSignalLinks : m_remoteSlotLinks;
}

RemoteObjectInternal::Link *RemoteObjectInternal::findLink(const QByteArray &connectionId)
{
    for (QHash<QByteArray, Link> *table : {&m_remoteSlotLinks, &m_remoteSignalLinks}) {
        const auto link = table->find(connectionId);
        if (link != table->end())
            return &*link;
    }
    return nullptr;
}

RemoteObjectInternal::Link RemoteObjectInternal::takeLink(const QByteArray &connectionId)
{
    return m_remoteSlotLinks.contains(connectionId) ? m_remoteSlotLinks.take(connectionId)
                                                    : m_remoteSignalLinks.take(connectionId);
}

void RemoteObjectInternal::failEndpointPairing(const ErrorInfo &errorInfo)
{
    onQObjectInstantiationFailed(m_objectId, errorInfo);
}

void RemoteObjectInternal::onInstantiatedQObject()
{
    if (m_state != Pending)
        return;
    m_state = Instantiated;
    runPendingOperations();
    Q_EMIT connected();
}

void RemoteObjectInternal::onQObjectInstantiationFailed(const QByteArray &, const ErrorInfo &errorInfo)
{
    if (m_state != Pending)
        return;
    m_state = Gone;
    fail(errorInfo);
    // Nothing will send them; the loss's receivers may have failed them.
    m_pendingOperations.clear();
}

void RemoteObjectInternal::onInstantiatedQObjectDestroyed(const QByteArray &, bool isLocal)
{
    disconnectEndpoint();
    if (isLocal) {
        Q_EMIT error(makeErrorInfo(InvalidMessage));
    } else {
        m_state = Gone;
    }
    Q_EMIT disconnected();
}

void RemoteObjectInternal::onSlotCalled(const QByteArray &slotCallId, const QVariant &result)
{
    if (const QPointer<RemoteSlotResponsePrivate> response = m_slotCalls.take(slotCallId))
        response->emitResponded(result);
}

void RemoteObjectInternal::onSlotCallFailed(const QByteArray &slotCallId, const ErrorInfo &errorInfo)
{
    failHandle(m_slotCalls.take(slotCallId), errorInfo);
}

void RemoteObjectInternal::onConnectedToRemoteObject(const QByteArray &connectionId)
{
    Link *link = findLink(connectionId);
    if (!link)
        return;
    link->made = true;
    if (link->connection)
        link->connection->emitConnected();
    if (std::exchange(link->remade, false))
        settleRemadeLink(*link, nullptr);
}

void RemoteObjectInternal::onConnectionToRemoteObjectFailed(const QByteArray &connectionId,
                                                            const ErrorInfo &errorInfo)
{
    const Link link = takeLink(connectionId);
    if (link.connection)
        link.connection->emitFailed(errorInfo);
    if (link.remade)
        settleRemadeLink(link, &errorInfo);
}

void RemoteObjectInternal::onDisconnectedFromRemoteObject(const QByteArray &connectionId)
{
    const Link link = takeLink(connectionId);
    if (link.connection)
        link.connection->emitDisconnected();
}

void RemoteObjectInternal::onEndpointError(const ErrorInfo &errorInfo)
{
    fail(errorInfo);
}

void RemoteObjectInternal::onEndpointFinished()
{
    disconnectEndpoint();
    Q_EMIT disconnected();
}

// The error comes first: receivers rely on it.
void RemoteObjectInternal::fail(const ErrorInfo &errorInfo)
{
    disconnectEndpoint();
    Q_EMIT error(errorInfo);
    Q_EMIT disconnected();
}

} // namespace Client
} // namespace Zeto
