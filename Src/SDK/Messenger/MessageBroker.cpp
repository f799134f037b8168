#include "MessageBroker.h"
#include "../LoggingCategories_p.h"

#include "Message.h"
#include "MessageDispatch.h"
#include "Messenger.h"
#include "Messages/MessengerFinishedRequest.h"
#include "Messages/MessengerFinishedResponse.h"
#include "../WebSocketBasedQVariantCourier/IQVariantCourier.h"

#include <QtCore/QPointer>
#include <QtCore/QVector>

#include <utility>

namespace Zeto {

MessageBroker::MessageBroker(QSharedPointer<IQVariantCourier> courier)
    : m_courier(std::move(courier))
{
    if (!m_courier)
        zetoFatal(lcZetoProtocol, "QVariant courier is null.");
    connect(m_courier.data(), &IQVariantCourier::receivedQVariant, this, &MessageBroker::onReceivedQVariant);
    connect(m_courier.data(), &IQVariantCourier::error, this, &MessageBroker::error);
}

MessageBroker::~MessageBroker()
{
    // Nothing reaches the peer from here on, not even what a receiver of
    // finished() still sends.
    disconnect(m_courier.data(), nullptr, this, nullptr);
    m_courier.reset();

    // Receivers of finished() may destroy messengers, so each is detached
    // first and watched while the others are told.
    QVector<QPointer<Messenger>> liveMessengers;
    for (Messenger *messenger : std::exchange(m_messengers, {})) {
        disconnect(messenger, nullptr, this, nullptr);
        liveMessengers.append(messenger);
    }
    for (const QPointer<Messenger> &messenger : qAsConst(liveMessengers)) {
        if (messenger)
            messenger->finish();
    }
}

QSharedPointer<Messenger> MessageBroker::createMessenger(const QByteArray &messengerId)
{
    if (messengerId.isEmpty()) {
        qCCritical(lcZetoProtocol, "Failed to create messenger. Given messenger id is empty.");
        return {};
    }
    if (m_messengers.contains(messengerId)) {
        qCCritical(lcZetoProtocol, "Failed to create messenger. There is a messenger with same id.");
        return {};
    }
    auto *messenger = new Messenger(messengerId, this);
    connect(messenger, &Messenger::messengerDestroyed, this, &MessageBroker::onMessengerDestroyed);
    m_messengers.insert(messengerId, messenger);
    return QSharedPointer<Messenger>(messenger, &QObject::deleteLater);
}

bool MessageBroker::sendMessage(const Message &message) { return sendQVariant(QVariant::fromValue(message)); }

void MessageBroker::onReceivedQVariant(const QVariant &qVariant)
{
    using Dispatch = MessageDispatch<MessageBroker>;
    static const Dispatch table{
        Dispatch::route<MessengerFinishedRequest, &MessageBroker::onMessengerFinishedRequest>(),
        Dispatch::route<MessengerFinishedResponse, &MessageBroker::onMessengerFinishedResponse>(),
        Dispatch::route<Message, &MessageBroker::onMessage>(),
    };
    if (!table.dispatch(this, qVariant))
        reportInvalidMessage();
}

void MessageBroker::onMessengerFinishedRequest(const MessengerFinishedRequest &request)
{
    const QByteArray &messengerId = request.messengerId();
    if (Messenger *messenger = m_messengers.take(messengerId)) {
        sendQVariant(QVariant::fromValue(MessengerFinishedResponse(messengerId)));
        // Its later destruction has nothing left to announce.
        disconnect(messenger, nullptr, this, nullptr);
        messenger->finish();
    } else if (m_finishedMessengerIds.contains(messengerId)) {
        // Both sides ended the messenger at once. The id stays until the
        // peer answers our own request, which is then no surprise.
        sendQVariant(QVariant::fromValue(MessengerFinishedResponse(messengerId)));
    } else {
        reportInvalidMessage();
    }
}

void MessageBroker::onMessengerFinishedResponse(const MessengerFinishedResponse &response)
{
    if (!m_finishedMessengerIds.remove(response.messengerId()))
        reportInvalidMessage();
}

void MessageBroker::onMessage(const Message &message)
{
    // Sent before the peer learnt that the messenger had ended here.
    if (m_finishedMessengerIds.contains(message.messengerId()))
        return;
    Messenger *messenger = m_messengers.value(message.messengerId());
    const QVariant payload = message.data();
    if (!messenger || !payload.isValid()) {
        reportInvalidMessage();
        return;
    }
    messenger->deliver(payload);
}

// Runs inside the messenger's destructor, so it uses nothing but the id.
void MessageBroker::onMessengerDestroyed(Messenger *messenger)
{
    const QByteArray messengerId = messenger->messengerId();
    if (m_messengers.remove(messengerId) != 1)
        return;
    disconnect(messenger, nullptr, this, nullptr);
    m_finishedMessengerIds.insert(messengerId);
    sendQVariant(QVariant::fromValue(MessengerFinishedRequest(messengerId)));
}

bool MessageBroker::sendQVariant(const QVariant &qVariant) { return !m_courier || m_courier->sendQVariant(qVariant); }

void MessageBroker::reportInvalidMessage()
{
    Q_EMIT error(makeErrorInfo(InvalidMessage));
}

} // namespace Zeto
