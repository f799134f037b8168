#ifndef ZETO_MESSAGEBROKER_H
#define ZETO_MESSAGEBROKER_H

#include "../ZetoGlobal.h"
#include "../ErrorHandler/ErrorHandler.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QSharedPointer>
#include <QtCore/QVariant>

namespace Zeto {

class IQVariantCourier;
class Message;
class Messenger;
class MessengerFinishedRequest;
class MessengerFinishedResponse;

// Multiplexes messengers over one courier: wraps what they send in envelopes,
// routes incoming envelopes by messenger id, and agrees with the peer's broker
// on the end of each messenger. Courier errors and invalid values from the
// peer reach every messenger through error().
class ZETO_PRIVATE_EXPORT MessageBroker : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(MessageBroker)

public:
    // A null courier is a precondition violation: the process ends.
    explicit MessageBroker(QSharedPointer<IQVariantCourier> courier);
    // Finishes every live messenger without telling the peer.
    ~MessageBroker() override;

    // Null, with a critical log, for an empty id or one that is live already.
    // Releasing the last reference deletes the messenger later on its thread.
    QSharedPointer<Messenger> createMessenger(const QByteArray &messengerId);
    // False when the envelope cannot be written: then nothing is sent.
    bool sendMessage(const Message &message);

Q_SIGNALS:
    void error(Zeto::ErrorInfo errorInfo);

private:
    void onReceivedQVariant(const QVariant &qVariant);
    void onMessengerFinishedRequest(const MessengerFinishedRequest &request);
    void onMessengerFinishedResponse(const MessengerFinishedResponse &response);
    void onMessage(const Message &message);
    void onMessengerDestroyed(Messenger *messenger);
    bool sendQVariant(const QVariant &qVariant);
    void reportInvalidMessage();

    QHash<QByteArray, Messenger *> m_messengers;
    QSet<QByteArray> m_finishedMessengerIds;
    QSharedPointer<IQVariantCourier> m_courier;
};

} // namespace Zeto

#endif // ZETO_MESSAGEBROKER_H
