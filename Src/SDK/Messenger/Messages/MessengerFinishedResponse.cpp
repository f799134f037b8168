#include "MessengerFinishedResponse.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class MessengerFinishedResponsePrivate : public QSharedData
{
public:
    QByteArray messengerId;
};

MessengerFinishedResponse::MessengerFinishedResponse()
    : MessengerFinishedResponse(QByteArray())
{
}

MessengerFinishedResponse::MessengerFinishedResponse(const QByteArray &messengerId)
    : d(new MessengerFinishedResponsePrivate)
{
    d->messengerId = messengerId;
    ZETO_REGISTER_MESSAGE_TYPE(MessengerFinishedResponse);
}

MessengerFinishedResponse::MessengerFinishedResponse(const MessengerFinishedResponse &other) = default;
MessengerFinishedResponse &MessengerFinishedResponse::operator=(const MessengerFinishedResponse &other) = default;
MessengerFinishedResponse::~MessengerFinishedResponse() = default;

QByteArray MessengerFinishedResponse::messengerId() const { return d->messengerId; }

DataStream &operator<<(DataStream &stream, const MessengerFinishedResponse &message)
{
    return stream << message.messengerId();
}

DataStream &operator>>(DataStream &stream, MessengerFinishedResponse &message)
{
    MessengerFinishedResponsePrivate &data = *message.d;
    return stream >> data.messengerId;
}

} // namespace Zeto
