#ifndef ZETO_QOBJECTENDPOINT_H
#define ZETO_QOBJECTENDPOINT_H

#include "../ZetoGlobal.h"
#include "../ErrorHandler/ErrorHandler.h"
#include "../RemoteObjects/RemoteObjectRepository.h"
#include "ObjectRecord.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QMultiHash>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QSharedPointer>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

#include <optional>

namespace Zeto {

class IConnectionInformationFactory;
class InstantiateQObjectRequest;
class InstantiateQObjectResponse;
class InstantiatedQObjectDestroyedEvent;
class Messenger;

// One side of a remote-object conversation over one messenger. The same
// class serves the peer's requests and makes requests of its own; every
// outcome is a signal, on both sides, whose isRequester tells whether this
// side asked.
class ZETO_PROTOCOL_EXPORT QObjectEndpoint : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(QObjectEndpoint)

public:
    // Objects created for one peer at most; more are refused with
    // TooManyRemoteObjects, so that a peer cannot grow the registry without end.
    static constexpr int MaxInstantiatedObjects = 1024;

    // A null messenger or connection information factory is a precondition
    // violation: the process ends.
    QObjectEndpoint(const RemoteObjectRepository &repository, QSharedPointer<Messenger> messenger,
                    QSharedPointer<IConnectionInformationFactory> connectionInformationFactory);
    // Objects created for the peer are deleted later; nothing is sent.
    ~QObjectEndpoint() override;

    QByteArray endpointId() const;
    QByteArray messengerId() const;
    // True once the messenger has finished: nothing is sent any more, and
    // new operations fail from the event loop.
    bool isFinished() const;

    // Makes a local object reachable by the peer through all public signals
    // and slots its own class declares. An object registered before keeps
    // its id. Empty, with a critical log, for a null object.
    QByteArray registerQObject(QObject *object);

    // Asks the peer to create an object of the class registered for the URL.
    // Empty, with nothing sent and no signal, for an empty class name or an
    // empty or invalid URL.
    QByteArray instantiateQObject(const QByteArray &className, const QUrl &url, const QVariant &argument);

Q_SIGNALS:
    // Emitted by the endpoint factory once the pair is complete.
    void connected();
    void instantiatedQObject(QByteArray objectId, bool isRequester);
    void qObjectInstantiationFailed(QByteArray objectId, Zeto::ErrorInfo errorInfo, bool isRequester);
    void instantiatedQObjectDestroyed(QByteArray objectId, bool isLocal);
    void slotCalled(QByteArray slotCallId, QVariant slotResult, bool isRequester);
    void slotCallFailed(QByteArray slotCallId, Zeto::ErrorInfo errorInfo, bool isRequester);
    void connectedToRemoteObject(QByteArray connectionId, bool isRequester);
    void connectionToRemoteObjectFailed(QByteArray connectionId, Zeto::ErrorInfo errorInfo, bool isRequester);
    void disconnectedFromRemoteObject(QByteArray connectionId, bool isRequester);
    void error(Zeto::ErrorInfo errorInfo);
    void finished();
    void endpointDestroyed(Zeto::QObjectEndpoint *endpoint);

private:
    friend class QObjectEndpointFactory;

    // Only the factory knows when the pair is complete.
    void announceConnected();

    void onReceivedMessage(const QVariant &message);
    void onMessengerFinished();
    void onObjectDestroyed(QObject *object);

    void serveInstantiation(const InstantiateQObjectRequest &request);
    std::optional<ErrorInfo> instantiate(const InstantiateQObjectRequest &request);
    QObject *createObject(const RemoteObjectRepositoryEntry &entry, const QVariant &argument);
    void onInstantiationResponse(const InstantiateQObjectResponse &response);
    void onInstantiatedObjectDestroyedEvent(const InstantiatedQObjectDestroyedEvent &event);

    QByteArray addRecord(const QByteArray &objectId, const ObjectRecord &record);
    void failInstantiationLater(const QByteArray &objectId, ConnectionError connectionError);
    void send(const QVariant &message);
    void reportInvalidMessage();

    const QByteArray m_endpointId;
    const RemoteObjectRepository m_repository;
    const QSharedPointer<Messenger> m_messenger;
    const QSharedPointer<IConnectionInformationFactory> m_connectionInformationFactory;
    bool m_finished = false;

    QHash<QByteArray, ObjectRecord> m_registeredObjects;
    // The ids of each live object; the pointer is a key only, never used.
    QMultiHash<QObject *, QByteArray> m_objectIds;
    QSet<QByteArray> m_pendingInstantiations;
    // Created here for the peer, and created at the peer for this side. A
    // peer's destruction event concerns only the second kind.
    QSet<QByteArray> m_localInstantiations;
    QSet<QByteArray> m_remoteInstantiations;
};

} // namespace Zeto

#endif // ZETO_QOBJECTENDPOINT_H
