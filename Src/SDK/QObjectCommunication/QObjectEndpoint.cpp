#include "QObjectEndpoint.h"

#include "../Messenger/Id.h"
#include "../Messenger/MessageDispatch.h"
#include "../Messenger/Messenger.h"
#include "../RemoteObjects/IConnectionInformationFactory.h"
#include "ConnectedSignal.h"
#include "Messages/CallSlotRequest.h"
#include "Messages/CallSlotResponse.h"
#include "Messages/ConnectionResponse.h"
#include "Messages/DisconnectionRequest.h"
#include "Messages/DisconnectionResponse.h"
#include "Messages/InstantiateQObjectRequest.h"
#include "Messages/InstantiateQObjectResponse.h"
#include "Messages/InstantiatedQObjectDestroyedEvent.h"

#include <QtCore/QMetaObject>
#include <QtCore/QPointer>
#include <QtCore/QVector>

#include <optional>
#include <utility>

namespace Zeto {

QObjectEndpoint::QObjectEndpoint(const RemoteObjectRepository &repository, QSharedPointer<Messenger> messenger,
                                 QSharedPointer<IConnectionInformationFactory> connectionInformationFactory,
                                 QSharedPointer<PeerQuota> quota)
    : m_endpointId(generateId())
    , m_repository(repository)
    , m_messenger(std::move(messenger))
    , m_connectionInformationFactory(std::move(connectionInformationFactory))
    , m_quota(quota ? std::move(quota) : QSharedPointer<PeerQuota>::create())
{
    if (!m_messenger)
        qFatal("Messenger is null.");
    if (!m_connectionInformationFactory)
        qFatal("Connection information factory is null.");
    connect(m_messenger.data(), &Messenger::receivedMessage, this, &QObjectEndpoint::onReceivedMessage);
    connect(m_messenger.data(), &Messenger::finished, this, &QObjectEndpoint::onMessengerFinished);
    connect(m_messenger.data(), &Messenger::error, this, &QObjectEndpoint::error);
}

QObjectEndpoint::~QObjectEndpoint()
{
    // The tables are emptied before anyone hears of it, so that a receiver
    // finds nothing half removed.
    const QHash<QByteArray, ObjectRecord> records = std::exchange(m_registeredObjects, {});
    m_objectIds.clear();
    m_quota->update(m_reportedUsage, {});
    QVector<QByteArray> instantiatedIds;
    for (auto record = records.cbegin(); record != records.cend(); ++record) {
        QObject *object = record->object();
        if (object)
            disconnect(object, nullptr, this, nullptr);
        if (record->isInstantiated()) {
            if (object)
                object->deleteLater();
            instantiatedIds.append(record.key());
        }
    }
    for (const QByteArray &objectId : qAsConst(instantiatedIds))
        Q_EMIT instantiatedQObjectDestroyed(objectId, true);
    for (const QSharedPointer<ConnectedSignal> &watcher : qAsConst(m_watchedSignals))
        disconnect(watcher.data(), nullptr, this, nullptr);
    Q_EMIT endpointDestroyed(this);
    disconnect(m_messenger.data(), nullptr, this, nullptr);
}

QByteArray QObjectEndpoint::endpointId() const
{
    return m_endpointId;
}

QByteArray QObjectEndpoint::messengerId() const
{
    return m_messenger->messengerId();
}

bool QObjectEndpoint::isFinished() const
{
    return m_finished;
}

QByteArray QObjectEndpoint::registerQObject(QObject *object)
{
    if (!object) {
        qCritical("Failed to register object. Given object is null.");
        return {};
    }
    // One registration per live object, however often it is linked.
    for (auto id = m_objectIds.constFind(object); id != m_objectIds.cend() && id.key() == object; ++id) {
        if (!m_registeredObjects.value(*id).isInstantiated())
            return *id;
    }
    return addRecord(generateId(), ObjectRecord::registered(object));
}

QByteArray QObjectEndpoint::instantiateQObject(const QByteArray &className, const QUrl &url,
                                               const QVariant &argument)
{
    if (className.isEmpty() || url.isEmpty() || !url.isValid())
        return {};
    const QByteArray objectId = generateId();
    if (m_finished) {
        failInstantiationLater(objectId, ConnectionDropped);
    } else if (!send(QVariant::fromValue(InstantiateQObjectRequest(className, objectId, url, argument)))) {
        failInstantiationLater(objectId, UnregisteredArgument);
    } else {
        m_pendingInstantiations.insert(objectId);
    }
    return objectId;
}

void QObjectEndpoint::announceConnected()
{
    Q_EMIT connected();
}

void QObjectEndpoint::onReceivedMessage(const QVariant &message)
{
    // Handling a message may end this endpoint, which then reports its end.
    const QPointer<QObjectEndpoint> self(this);
    dispatch(message);
    if (self)
        reportUsage();
}

void QObjectEndpoint::dispatch(const QVariant &message)
{
    using Dispatch = MessageDispatch<QObjectEndpoint>;
    static const Dispatch table{
        Dispatch::route<CallSlotRequest, &QObjectEndpoint::serveSlotCall>(),
        Dispatch::route<CallSlotResponse, &QObjectEndpoint::onSlotCallResponse>(),
        Dispatch::route<ConnectionRequest, &QObjectEndpoint::serveConnection>(),
        Dispatch::route<ConnectionResponse, &QObjectEndpoint::onConnectionResponse>(),
        Dispatch::route<DisconnectionRequest, &QObjectEndpoint::serveDisconnection>(),
        Dispatch::route<DisconnectionResponse, &QObjectEndpoint::onDisconnectionResponse>(),
        Dispatch::route<InstantiateQObjectRequest, &QObjectEndpoint::serveInstantiation>(),
        Dispatch::route<InstantiateQObjectResponse, &QObjectEndpoint::onInstantiationResponse>(),
        Dispatch::route<InstantiatedQObjectDestroyedEvent, &QObjectEndpoint::onInstantiatedObjectDestroyedEvent>(),
    };
    if (!table.dispatch(this, message))
        reportInvalidMessage();
}

void QObjectEndpoint::onMessengerFinished()
{
    m_finished = true;
    Q_EMIT finished();
}

void QObjectEndpoint::serveInstantiation(const InstantiateQObjectRequest &request)
{
    const std::optional<ErrorInfo> failure = instantiate(request);
    send(QVariant::fromValue(InstantiateQObjectResponse(!failure, failure.value_or(ErrorInfo()), request)));
    if (failure)
        Q_EMIT qObjectInstantiationFailed(request.objectId(), *failure, false);
    else
        Q_EMIT instantiatedQObject(request.objectId(), false);
}

std::optional<ErrorInfo> QObjectEndpoint::instantiate(const InstantiateQObjectRequest &request)
{
    const QByteArray &objectId = request.objectId();
    if (!isValidId(objectId) || m_registeredObjects.contains(objectId))
        return makeErrorInfo(InvalidMessage);
    if (!m_quota->hasRoomFor(PeerQuota::Objects))
        return makeErrorInfo(TooManyRemoteObjects);
    const RemoteObjectRepositoryEntry entry = m_repository.entry(request.url());
    const QMetaObject *metaObject = entry.isCreatable() ? entry.factory()->metaObject() : nullptr;
    if (!metaObject || QByteArray(metaObject->className()) != request.className())
        return makeErrorInfo(RemoteObjectNotFound);
    QObject *object = createObject(entry, request.argument());
    if (!object)
        return makeErrorInfo(RemoteObjectNotFound);
    addRecord(objectId, ObjectRecord::instantiated(object));
    m_localInstantiations.insert(objectId);
    return std::nullopt;
}

// The factories judge the peer's argument; a refusal, by null or by any
// exception, must not unwind through the event loop.
QObject *QObjectEndpoint::createObject(const RemoteObjectRepositoryEntry &entry, const QVariant &argument)
{
    try {
        const QSharedPointer<IConnectionInformation> information = m_connectionInformationFactory->create(argument);
        return information ? entry.factory()->createQObject(information) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

void QObjectEndpoint::onInstantiationResponse(const InstantiateQObjectResponse &response)
{
    const QByteArray objectId = response.request().objectId();
    if (!m_pendingInstantiations.remove(objectId)) {
        reportInvalidMessage();
        return;
    }
    if (response.success()) {
        m_remoteInstantiations.insert(objectId);
        Q_EMIT instantiatedQObject(objectId, true);
    } else {
        Q_EMIT qObjectInstantiationFailed(objectId, response.errorInfo(), true);
    }
}

void QObjectEndpoint::onInstantiatedObjectDestroyedEvent(const InstantiatedQObjectDestroyedEvent &event)
{
    if (m_remoteInstantiations.remove(event.objectId()))
        Q_EMIT instantiatedQObjectDestroyed(event.objectId(), false);
    else
        reportInvalidMessage();
}

void QObjectEndpoint::onObjectDestroyed(QObject *object)
{
    QVector<QByteArray> instantiatedIds;
    QVector<QByteArray> linkIds;
    const QList<QByteArray> objectIds = m_objectIds.values(object);
    m_objectIds.remove(object);
    for (const QByteArray &objectId : objectIds) {
        linkIds += takeLinksOfReceiver(objectId);
        if (m_registeredObjects.take(objectId).isInstantiated() && m_localInstantiations.remove(objectId))
            instantiatedIds.append(objectId);
    }
    reportUsage();
    for (const QByteArray &connectionId : qAsConst(linkIds))
        requestDisconnection(connectionId, ObjectDestroyed);
    for (const QByteArray &objectId : qAsConst(instantiatedIds))
        send(QVariant::fromValue(InstantiatedQObjectDestroyedEvent(objectId)));
    // A receiver may drop this endpoint.
    const QPointer<QObjectEndpoint> self(this);
    for (const QByteArray &objectId : qAsConst(instantiatedIds)) {
        Q_EMIT instantiatedQObjectDestroyed(objectId, true);
        if (!self)
            return;
    }
}

QByteArray QObjectEndpoint::addRecord(const QByteArray &objectId, const ObjectRecord &record)
{
    QObject *object = record.object();
    m_registeredObjects.insert(objectId, record);
    m_objectIds.insert(object, objectId);
    connect(object, &QObject::destroyed, this, &QObjectEndpoint::onObjectDestroyed, Qt::UniqueConnection);
    return objectId;
}

void QObjectEndpoint::failInstantiationLater(const QByteArray &objectId, ConnectionError connectionError)
{
    const ErrorInfo errorInfo = makeErrorInfo(connectionError);
    QMetaObject::invokeMethod(
        this, [this, objectId, errorInfo] { Q_EMIT qObjectInstantiationFailed(objectId, errorInfo, true); },
        Qt::QueuedConnection);
}

bool QObjectEndpoint::isRegisteredHere(const QByteArray &objectId) const
{
    return m_registeredObjects.contains(objectId);
}

PeerQuota::Amounts QObjectEndpoint::usage() const
{
    return {{m_localInstantiations.size(), m_watchedSignals.size() + m_linkedReceivers.size(),
             m_pendingForwardedCalls.size()}};
}

void QObjectEndpoint::reportUsage()
{
    const PeerQuota::Amounts now = usage();
    m_quota->update(m_reportedUsage, now);
    m_reportedUsage = now;
}

// False when the message cannot be written. Nothing is sent then, and its
// operation fails at once instead of waiting forever for an answer.
bool QObjectEndpoint::send(const QVariant &message) { return m_finished || m_messenger->sendMessage(message); }

void QObjectEndpoint::reportInvalidMessage()
{
    Q_EMIT error(makeErrorInfo(InvalidMessage));
}

} // namespace Zeto
