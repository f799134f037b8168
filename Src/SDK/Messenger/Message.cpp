#include "Message.h"

#include "../DataStream/DataStream.h"
#include "MessageRegistration.h"

namespace Zeto {

class MessagePrivate : public QSharedData
{
public:
    QByteArray messengerId;
    QVariant data;
};

Message::Message()
    : Message(QByteArray(), QVariant())
{
}

Message::Message(const QByteArray &messengerId, const QVariant &data)
    : d(new MessagePrivate)
{
    d->messengerId = messengerId;
    d->data = data;
    ZETO_REGISTER_MESSAGE_TYPE(Message);
}

Message::Message(const Message &other) = default;
Message &Message::operator=(const Message &other) = default;
Message::~Message() = default;

QByteArray Message::messengerId() const { return d->messengerId; }
QVariant Message::data() const { return d->data; }

DataStream &operator<<(DataStream &stream, const Message &message)
{
    return stream << message.messengerId() << message.data();
}

DataStream &operator>>(DataStream &stream, Message &message)
{
    MessagePrivate &data = *message.d;
    return stream >> data.messengerId >> data.data;
}

} // namespace Zeto
