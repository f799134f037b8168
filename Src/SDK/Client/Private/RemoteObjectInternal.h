#ifndef ZETO_CLIENT_REMOTEOBJECTINTERNAL_H
#define ZETO_CLIENT_REMOTEOBJECTINTERNAL_H

#include "../../ErrorHandler/ErrorHandler.h"
#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSharedPointer>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtCore/QVector>

#include <functional>
#include <optional>

namespace Zeto {

class QObjectEndpoint;

namespace Client {

class RemoteObjectConnectionPrivate;
class RemoteSlotResponsePrivate;

// The machinery behind one remote object: its own endpoint, the request to
// instantiate the remote class, the application's requests queued until the
// object exists, and the routing of each answer to the handle that waits
// for it. Handles are watched, never owned: a dropped handle is not told.
class ZETO_PRIVATE_EXPORT RemoteObjectInternal : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteObjectInternal)

public:
    enum State { Pending, Instantiated, Gone };
    enum LinkKind { ToRemoteSlot, ToRemoteSignal };

    struct Link
    {
        QPointer<RemoteObjectConnectionPrivate> connection;
        QPointer<QObject> localObject;
        QByteArray signal;
        QByteArray slot;
        // The peer confirmed it: a remote object that comes back makes it
        // again, unless the application has asked to undo it.
        bool made = false;
        bool undoing = false;
        // Made again after a loss: resumed() waits for the peer's answer.
        bool remade = false;
    };

    // A call made while the object is still pending.
    struct SlotCall
    {
        QPointer<RemoteSlotResponsePrivate> response;
        QByteArray slot;
        QVector<QVariant> arguments;
    };

    // A request not sent yet: a call, or a link to make.
    struct PendingOperation
    {
        bool isSlotCall = true;
        SlotCall slotCall;
        LinkKind linkKind = ToRemoteSlot;
        Link link;
    };

    RemoteObjectInternal(const char *className, const QUrl &url, const QVariant &argument,
                         QSharedPointer<QObjectEndpoint> endpoint);
    ~RemoteObjectInternal() override;

    State state() const;
    QByteArray endpointId() const;

    // Slot and signal texts are SIGNAL/SLOT coded; a slot to call is named
    // by its name alone.
    void callRemoteSlot(RemoteSlotResponsePrivate *response, const char *slot, const QVector<QVariant> &arguments);
    void connectToRemoteSignal(RemoteObjectConnectionPrivate *connection, const char *signal, QObject *receiver,
                               const char *slot);
    void connectToRemoteSlot(RemoteObjectConnectionPrivate *connection, QObject *sender, const char *signal,
                             const char *slot);
    void disconnectFromRemoteSignal(const char *signal, QObject *receiver, const char *slot);
    void disconnectFromRemoteSlot(QObject *sender, const char *signal, const char *slot);
    // The call's deadline passed: its answer is dropped should it come.
    void forgetSlotCall(const RemoteSlotResponsePrivate *response);

    // The peer refused to pair this object's endpoint: the object can never
    // be instantiated.
    void failEndpointPairing(const ErrorInfo &errorInfo);
    // Every handle still waiting for an answer fails with the error, and
    // its answer is dropped should it come.
    void failOutstandingRequests(const ErrorInfo &errorInfo);

    // Whether the link joins that local object's signal and slot, however
    // their signatures are written.
    static bool isLink(const Link &link, const QObject *localObject, const char *signal, const char *slot);
    // Why a link of these cannot be requested at all, if it cannot.
    static std::optional<ConnectionError> linkRefusal(const QObject *localObject, const char *signal,
                                                      const char *slot);

    // For a remote object that comes back on another internal: the requests
    // never sent, which this internal lets go of, and the links made.
    QVector<PendingOperation> takeUnsentRequests();
    QVector<PendingOperation> madeLinks() const;
    // Sends, in order, what an earlier internal of the same remote object
    // left: made links are made again without a word to their handles, and
    // requests whose handle has settled meanwhile are dropped. resumed()
    // follows once the peer has answered for every link made again.
    void resume(const QVector<PendingOperation> &operations);

Q_SIGNALS:
    void connected();
    void resumed();
    void disconnected();
    void error(Zeto::ErrorInfo errorInfo);

private:
    void connectEndpoint();
    void disconnectEndpoint();
    void requestLink(RemoteObjectConnectionPrivate *connection, LinkKind kind, QObject *localObject,
                     const char *signal, const char *slot);
    void sendSlotCall(RemoteSlotResponsePrivate *response, const char *slot, const QVector<QVariant> &arguments);
    void sendLink(LinkKind kind, const Link &link);
    void runPendingOperations();
    void removeLinks(LinkKind kind, QObject *localObject, const char *signal, const char *slot);
    // The link's deadline passed: it is undone should it be made.
    void abandonLink(const RemoteObjectConnectionPrivate *connection);
    void removePendingOperations(const std::function<bool(const PendingOperation &)> &matches);
    QHash<QByteArray, Link> &links(LinkKind kind);
    // The entry of a link id in either table, or null.
    Link *findLink(const QByteArray &connectionId);
    Link takeLink(const QByteArray &connectionId);

    void onInstantiatedQObject();
    void onQObjectInstantiationFailed(const QByteArray &objectId, const ErrorInfo &errorInfo);
    void onInstantiatedQObjectDestroyed(const QByteArray &objectId, bool isLocal);
    void onSlotCalled(const QByteArray &slotCallId, const QVariant &result);
    void onSlotCallFailed(const QByteArray &slotCallId, const ErrorInfo &errorInfo);
    void onConnectedToRemoteObject(const QByteArray &connectionId);
    void onConnectionToRemoteObjectFailed(const QByteArray &connectionId, const ErrorInfo &errorInfo);
    void onDisconnectedFromRemoteObject(const QByteArray &connectionId);
    void onEndpointError(const ErrorInfo &errorInfo);
    void onEndpointFinished();
    void fail(const ErrorInfo &errorInfo);
    void settleRemadeLink(const Link &link, const ErrorInfo *failure);

    const QSharedPointer<QObjectEndpoint> m_endpoint;
    const QByteArray m_className;
    QByteArray m_objectId;
    State m_state = Pending;
    QVector<PendingOperation> m_pendingOperations;
    // The handles of the calls sent, by slot-call id.
    QHash<QByteArray, QPointer<RemoteSlotResponsePrivate>> m_slotCalls;
    QHash<QByteArray, Link> m_remoteSlotLinks;
    QHash<QByteArray, Link> m_remoteSignalLinks;
    int m_remadeLinksAwaited = 0;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTEOBJECTINTERNAL_H
