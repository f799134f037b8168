#include "QObjectEndpoint.h"
#include "../LoggingCategories_p.h"

#include "../Messenger/Id.h"
#include "../Messenger/MessageDispatch.h"
#include "../Messenger/Messenger.h"
#include "../RemoteObjects/IConnectionInformationFactory.h"
#include "Messages/CallSlotRequest.h"
#include "Messages/CallSlotResponse.h"
#include "Messages/ConnectionResponse.h"
#include "Messages/DisconnectionRequest.h"
#include "Messages/DisconnectionResponse.h"
#include "Messages/InstantiateQObjectRequest.h"
#include "Messages/InstantiateQObjectResponse.h"
#include "Messages/InstantiatedQObjectDestroyedEvent.h"

#include <QtCore/QPointer>
#include <QtCore/QVector>

#include <utility>

namespace Zeto {

namespace {

// Without its collaborators an endpoint cannot exist: the process ends.
template <typename T>
QSharedPointer<T> required(QSharedPointer<T> pointer, const char *whatIsNull)
{
    if (!pointer)
        zetoFatal(lcZetoProtocol, "%s", whatIsNull);
    return pointer;
}

} // namespace

QObjectEndpoint::QObjectEndpoint(const RemoteObjectRepository &repository, QSharedPointer<Messenger> messenger,
                                 QSharedPointer<IConnectionInformationFactory> connectionInformationFactory,
                                 QSharedPointer<PeerQuota> quota)
    : m_endpointId(generateId()),
      m_messenger(required(std::move(messenger), "Messenger is null.")),
      m_quota(quota ? std::move(quota) : QSharedPointer<PeerQuota>::create()),
      m_objects(*this, repository,
                required(std::move(connectionInformationFactory), "Connection information factory is null."), m_quota),
      m_slotCalls(*this, m_objects, m_linkedReceivers, m_quota),
      m_links(*this, m_objects, m_linkedReceivers, m_slotCalls, m_quota)
{
    connect(m_messenger.data(), &Messenger::receivedMessage, this, &QObjectEndpoint::onReceivedMessage);
    connect(m_messenger.data(), &Messenger::finished, this, &QObjectEndpoint::onMessengerFinished);
    connect(m_messenger.data(), &Messenger::error, this, &QObjectEndpoint::error);
}

QObjectEndpoint::~QObjectEndpoint()
{
    m_quota->update(m_reportedUsage, {});
    m_objects.releaseAll();
    m_links.stopReporting();
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

QByteArray QObjectEndpoint::registerQObject(QObject *object) { return m_objects.registerQObject(object); }

QByteArray QObjectEndpoint::instantiateQObject(const QByteArray &className, const QUrl &url,
                                               const QVariant &argument)
{
    return m_objects.requestInstantiation(className, url, argument);
}

QByteArray QObjectEndpoint::callSlot(const QByteArray &objectId, const char *slotName,
                                     const QVector<QVariant> &arguments)
{
    return m_slotCalls.call(objectId, slotName, arguments);
}

QByteArray QObjectEndpoint::callSlot(const QByteArray &objectId, const QByteArray &slotSignature,
                                     const QVector<QVariant> &arguments)
{
    return m_slotCalls.call(objectId, slotSignature, arguments);
}

QByteArray QObjectEndpoint::connectToRemoteObject(const QByteArray &senderObjectId, const QByteArray &signal,
                                                  const QByteArray &receiverObjectId, const QByteArray &slot)
{
    return m_links.requestLink(senderObjectId, signal, receiverObjectId, slot);
}

void QObjectEndpoint::disconnectFromRemoteObject(const QByteArray &connectionId)
{
    m_links.requestUnlink(connectionId);
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
    using E = QObjectEndpoint;
    static const Dispatch table{
        Dispatch::route<CallSlotRequest, &E::deliver<&E::m_slotCalls, &SlotCalls::serveSlotCall>>(),
        Dispatch::route<CallSlotResponse, &E::deliver<&E::m_slotCalls, &SlotCalls::onSlotCallResponse>>(),
        Dispatch::route<ConnectionRequest, &E::deliver<&E::m_links, &SignalSlotLinks::serveConnection>>(),
        Dispatch::route<ConnectionResponse, &E::deliver<&E::m_links, &SignalSlotLinks::onConnectionResponse>>(),
        Dispatch::route<DisconnectionRequest, &E::deliver<&E::m_links, &SignalSlotLinks::serveDisconnection>>(),
        Dispatch::route<DisconnectionResponse, &E::deliver<&E::m_links, &SignalSlotLinks::onDisconnectionResponse>>(),
        Dispatch::route<InstantiateQObjectRequest, &E::deliver<&E::m_objects, &ObjectTable::serveInstantiation>>(),
        Dispatch::route<InstantiateQObjectResponse,
                        &E::deliver<&E::m_objects, &ObjectTable::onInstantiationResponse>>(),
        Dispatch::route<InstantiatedQObjectDestroyedEvent,
                        &E::deliver<&E::m_objects, &ObjectTable::onInstantiatedObjectDestroyedEvent>>(),
    };
    if (!table.dispatch(this, message))
        reportInvalidMessage();
}

void QObjectEndpoint::onMessengerFinished()
{
    m_finished = true;
    Q_EMIT finished();
}

void QObjectEndpoint::onObjectDestroyed(QObject *object)
{
    const ObjectTable::Removal removal = m_objects.remove(object);
    QVector<QByteArray> linkIds;
    for (const QByteArray &objectId : removal.objectIds)
        linkIds += m_linkedReceivers.takeLinksOf(objectId);
    reportUsage();
    for (const QByteArray &connectionId : qAsConst(linkIds))
        m_links.requestDisconnection(connectionId, ObjectDestroyed);
    m_objects.announceDestroyed(removal.instantiatedIds);
}

PeerQuota::Amounts QObjectEndpoint::usage() const
{
    return {{m_objects.localInstantiationCount(), m_links.watchedSignalCount() + m_linkedReceivers.size(),
             m_slotCalls.waitingForwardedCallCount()}};
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
