#ifndef ZETO_QOBJECTENDPOINT_H
#define ZETO_QOBJECTENDPOINT_H

#include "../ZetoGlobal.h"
#include "../ErrorHandler/ErrorHandler.h"
#include "../RemoteObjects/RemoteObjectRepository.h"
#include "LinkedReceivers.h"
#include "ObjectTable.h"
#include "PeerQuota.h"
#include "SignalSlotLinks.h"
#include "SlotCalls.h"

#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QSharedPointer>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtCore/QVector>

namespace Zeto {

class IConnectionInformationFactory;
class Messenger;

// One side of a remote-object conversation over one messenger: it serves the
// peer's requests and makes its own, through its parts (objects, slot calls,
// links), and every outcome is a signal, on both sides, whose isRequester
// tells whether this side asked.
class ZETO_PRIVATE_EXPORT QObjectEndpoint : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(QObjectEndpoint)

public:
    // A null messenger or connection information factory is a precondition
    // violation: the process ends.
    // The quota is shared with the connection's other endpoints; without one
    // the endpoint has a quota of its own with the default limits.
    QObjectEndpoint(const RemoteObjectRepository &repository, QSharedPointer<Messenger> messenger,
                    QSharedPointer<IConnectionInformationFactory> connectionInformationFactory,
                    QSharedPointer<PeerQuota> quota = {});
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

    // Calls a slot of the peer's object, named by the slot's name and the
    // types of the arguments, or by a SLOT-coded signature. The result is
    // the slot-call id; the outcome follows as slotCalled or slotCallFailed,
    // never before the caller has the id.
    QByteArray callSlot(const QByteArray &objectId, const char *slotName, const QVector<QVariant> &arguments);
    QByteArray callSlot(const QByteArray &objectId, const QByteArray &slotSignature,
                        const QVector<QVariant> &arguments);

    // Links a SIGNAL-coded signal to a SLOT-coded slot across the
    // connection; exactly one of the two objects is registered here. The
    // result is the connection id; the outcome follows as
    // connectedToRemoteObject or connectionToRemoteObjectFailed.
    QByteArray connectToRemoteObject(const QByteArray &senderObjectId, const QByteArray &signal,
                                     const QByteArray &receiverObjectId, const QByteArray &slot);
    // Removes a link, or one still being made once it is made. Unknown ids
    // are ignored.
    void disconnectFromRemoteObject(const QByteArray &connectionId);

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
    // The parts send, report and emit through the endpoint.
    friend class ObjectTable;
    friend class SignalSlotLinks;
    friend class SlotCalls;

    // Only the factory knows when the pair is complete.
    void announceConnected();

    void onReceivedMessage(const QVariant &message);
    void dispatch(const QVariant &message);
    // A dispatch route into the part that handles the message.
    template <auto part, auto handler, typename Message>
    void deliver(const Message &message)
    {
        ((this->*part).*handler)(message);
    }
    void onMessengerFinished();
    void onObjectDestroyed(QObject *object);

    bool send(const QVariant &message);
    void reportInvalidMessage();
    PeerQuota::Amounts usage() const;
    void reportUsage();

    const QByteArray m_endpointId;
    const QSharedPointer<Messenger> m_messenger;
    const QSharedPointer<PeerQuota> m_quota;
    PeerQuota::Amounts m_reportedUsage{};
    bool m_finished = false;

    ObjectTable m_objects;
    LinkedReceivers m_linkedReceivers;
    SlotCalls m_slotCalls;
    SignalSlotLinks m_links;
};

} // namespace Zeto

#endif // ZETO_QOBJECTENDPOINT_H
