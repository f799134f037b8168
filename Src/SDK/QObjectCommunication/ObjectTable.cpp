#include "ObjectTable.h"
#include "../LoggingCategories_p.h"

#include "../Messenger/Id.h"
#include "../RemoteObjects/IConnectionInformationFactory.h"
#include "Messages/InstantiateQObjectRequest.h"
#include "Messages/InstantiateQObjectResponse.h"
#include "Messages/InstantiatedQObjectDestroyedEvent.h"
#include "PeerQuota.h"
#include "QObjectEndpoint.h"

#include <QtCore/QMetaObject>
#include <QtCore/QPointer>

#include <utility>

namespace Zeto {

ObjectTable::ObjectTable(QObjectEndpoint &endpoint, const RemoteObjectRepository &repository,
                         QSharedPointer<IConnectionInformationFactory> connectionInformationFactory,
                         QSharedPointer<PeerQuota> quota)
    : m_endpoint(endpoint),
      m_repository(repository),
      m_connectionInformationFactory(std::move(connectionInformationFactory)),
      m_quota(std::move(quota))
{}

QByteArray ObjectTable::registerQObject(QObject *object)
{
    if (!object) {
        qCCritical(lcZetoProtocol, "Failed to register object. Given object is null.");
        return {};
    }
    // One registration per live object, however often it is linked.
    for (auto id = m_objectIds.constFind(object); id != m_objectIds.cend() && id.key() == object; ++id) {
        if (!m_records.value(*id).isInstantiated())
            return *id;
    }
    return addRecord(generateId(), ObjectRecord::registered(object));
}

QByteArray ObjectTable::requestInstantiation(const QByteArray &className, const QUrl &url, const QVariant &argument)
{
    if (className.isEmpty() || url.isEmpty() || !url.isValid())
        return {};
    const QByteArray objectId = generateId();
    if (m_endpoint.isFinished()) {
        failInstantiationLater(objectId, ConnectionDropped);
    } else if (!m_endpoint.send(QVariant::fromValue(InstantiateQObjectRequest(className, objectId, url, argument)))) {
        failInstantiationLater(objectId, UnregisteredArgument);
    } else {
        m_pendingInstantiations.insert(objectId, className + " at " + url.toDisplayString().toUtf8());
    }
    return objectId;
}

void ObjectTable::serveInstantiation(const InstantiateQObjectRequest &request)
{
    const std::optional<ErrorInfo> failure = instantiate(request);
    m_endpoint.send(QVariant::fromValue(InstantiateQObjectResponse(!failure, failure.value_or(ErrorInfo()), request)));
    if (!failure) {
        Q_EMIT m_endpoint.instantiatedQObject(request.objectId(), false);
        return;
    }
    qCWarning(lcZetoProtocol, "%s at %s refused: %s", loggable(request.className()).constData(),
              loggable(request.url().toDisplayString().toUtf8()).constData(), qPrintable(failure->description()));
    Q_EMIT m_endpoint.qObjectInstantiationFailed(request.objectId(), *failure, false);
}

std::optional<ErrorInfo> ObjectTable::instantiate(const InstantiateQObjectRequest &request)
{
    const QByteArray &objectId = request.objectId();
    if (!isValidId(objectId) || m_records.contains(objectId))
        return makeErrorInfo(InvalidMessage);
    if (m_quota->refusesNewObjects())
        return makeErrorInfo(ConnectionDropped);
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
QObject *ObjectTable::createObject(const RemoteObjectRepositoryEntry &entry, const QVariant &argument)
{
    try {
        const QSharedPointer<IConnectionInformation> information = m_connectionInformationFactory->create(argument);
        return information ? entry.factory()->createQObject(information) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

void ObjectTable::onInstantiationResponse(const InstantiateQObjectResponse &response)
{
    const QByteArray objectId = response.request().objectId();
    const auto pending = m_pendingInstantiations.constFind(objectId);
    if (pending == m_pendingInstantiations.cend()) {
        m_endpoint.reportInvalidMessage();
        return;
    }
    const QByteArray description = *pending;
    m_pendingInstantiations.erase(pending);
    if (response.success()) {
        m_remoteInstantiations.insert(objectId, description);
        Q_EMIT m_endpoint.instantiatedQObject(objectId, true);
    } else {
        qCWarning(lcZetoProtocol, "%s: %s", description.constData(), qPrintable(response.errorInfo().description()));
        Q_EMIT m_endpoint.qObjectInstantiationFailed(objectId, response.errorInfo(), true);
    }
}

void ObjectTable::onInstantiatedObjectDestroyedEvent(const InstantiatedQObjectDestroyedEvent &event)
{
    if (m_remoteInstantiations.remove(event.objectId()))
        Q_EMIT m_endpoint.instantiatedQObjectDestroyed(event.objectId(), false);
    else
        m_endpoint.reportInvalidMessage();
}

bool ObjectTable::contains(const QByteArray &objectId) const { return m_records.contains(objectId); }

ObjectRecord ObjectTable::record(const QByteArray &objectId) const { return m_records.value(objectId); }

QByteArray ObjectTable::describe(const QByteArray &objectId) const
{
    const auto remote = m_remoteInstantiations.constFind(objectId);
    if (remote != m_remoteInstantiations.cend())
        return *remote;
    const QObject *object = m_records.value(objectId).object();
    return object ? QByteArray(object->metaObject()->className()) : "object " + loggable(objectId);
}

int ObjectTable::localInstantiationCount() const { return m_localInstantiations.size(); }

ObjectTable::Removal ObjectTable::remove(QObject *object)
{
    Removal removal{m_objectIds.values(object), {}};
    m_objectIds.remove(object);
    for (const QByteArray &objectId : qAsConst(removal.objectIds)) {
        if (m_records.take(objectId).isInstantiated() && m_localInstantiations.remove(objectId))
            removal.instantiatedIds.append(objectId);
    }
    return removal;
}

void ObjectTable::announceDestroyed(const QVector<QByteArray> &instantiatedIds)
{
    for (const QByteArray &objectId : instantiatedIds)
        m_endpoint.send(QVariant::fromValue(InstantiatedQObjectDestroyedEvent(objectId)));
    // A receiver may drop the endpoint, and this table with it.
    const QPointer<QObjectEndpoint> endpoint(&m_endpoint);
    for (const QByteArray &objectId : instantiatedIds) {
        Q_EMIT endpoint->instantiatedQObjectDestroyed(objectId, true);
        if (!endpoint)
            return;
    }
}

void ObjectTable::releaseAll()
{
    // The tables are emptied before anyone hears of it, so that a receiver
    // finds nothing half removed.
    const QHash<QByteArray, ObjectRecord> records = std::exchange(m_records, {});
    m_objectIds.clear();
    QVector<QByteArray> instantiatedIds;
    for (auto record = records.cbegin(); record != records.cend(); ++record) {
        QObject *object = record->object();
        if (object)
            QObject::disconnect(object, nullptr, &m_endpoint, nullptr);
        if (record->isInstantiated()) {
            if (object)
                object->deleteLater();
            instantiatedIds.append(record.key());
        }
    }
    for (const QByteArray &objectId : qAsConst(instantiatedIds))
        Q_EMIT m_endpoint.instantiatedQObjectDestroyed(objectId, true);
}

QByteArray ObjectTable::addRecord(const QByteArray &objectId, const ObjectRecord &record)
{
    QObject *object = record.object();
    m_records.insert(objectId, record);
    m_objectIds.insert(object, objectId);
    QObject::connect(object, &QObject::destroyed, &m_endpoint, &QObjectEndpoint::onObjectDestroyed,
                     Qt::UniqueConnection);
    return objectId;
}

void ObjectTable::failInstantiationLater(const QByteArray &objectId, ConnectionError connectionError)
{
    const ErrorInfo errorInfo = makeErrorInfo(connectionError);
    QObjectEndpoint *endpoint = &m_endpoint;
    QMetaObject::invokeMethod(
        endpoint,
        [endpoint, objectId, errorInfo] { Q_EMIT endpoint->qObjectInstantiationFailed(objectId, errorInfo, true); },
        Qt::QueuedConnection);
}

} // namespace Zeto
