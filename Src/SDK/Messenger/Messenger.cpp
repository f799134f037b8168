#include "Messenger.h"
#include "../LoggingCategories_p.h"

#include "Id.h"
#include "Message.h"
#include "MessageBroker.h"

#include <utility>

namespace Zeto {

Messenger::Messenger(QByteArray messengerId, MessageBroker *broker)
    : m_messengerId(std::move(messengerId))
    , m_broker(broker)
{
    if (!isValidId(m_messengerId) || !m_broker)
        zetoFatal(lcZetoProtocol, "Failed to create messenger.");
    connect(m_broker.data(), &MessageBroker::error, this, &Messenger::error);
}

Messenger::~Messenger()
{
    // The broker's handler runs at once, while the id is still intact.
    Q_EMIT messengerDestroyed(this);
}

QByteArray Messenger::messengerId() const
{
    return m_messengerId;
}

bool Messenger::sendMessage(const QVariant &message)
{
    return m_finished || !m_broker || m_broker->sendMessage(Message(m_messengerId, message));
}

void Messenger::deliver(const QVariant &message)
{
    Q_EMIT receivedMessage(message);
}

// Receivers of finished() already find the messenger silent.
void Messenger::finish()
{
    m_finished = true;
    Q_EMIT finished();
}

} // namespace Zeto
