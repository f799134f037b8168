#ifndef ZETO_MESSENGER_H
#define ZETO_MESSENGER_H

#include "../ZetoGlobal.h"
#include "../ErrorHandler/ErrorHandler.h"

#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QVariant>

namespace Zeto {

class MessageBroker;

// One conversation with the peer's messenger of the same id, multiplexed with
// all others over the broker's courier. Made by MessageBroker::createMessenger.
class ZETO_PRIVATE_EXPORT Messenger : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(Messenger)

public:
    // A valid id and a broker are preconditions: without them the process ends.
    Messenger(QByteArray messengerId, MessageBroker *broker);
    // Tells the broker first, so that the peer learns of the end.
    ~Messenger() override;

    QByteArray messengerId() const;

    // Does nothing once the messenger has finished or the broker is gone: the
    // peer has forgotten the id, and a message for it would fail the whole
    // connection there. False only when the message cannot be written, and
    // then nothing is sent.
    bool sendMessage(const QVariant &message);

Q_SIGNALS:
    void receivedMessage(QVariant message);
    void error(Zeto::ErrorInfo errorInfo);
    void finished();
    void messengerDestroyed(Zeto::Messenger *messenger);

private:
    friend class MessageBroker;

    // The broker's entry points: a message from the peer's messenger, and the
    // end of the conversation.
    void deliver(const QVariant &message);
    void finish();

    const QByteArray m_messengerId;
    const QPointer<MessageBroker> m_broker;
    bool m_finished = false;
};

} // namespace Zeto

#endif // ZETO_MESSENGER_H
