#include "MessengerFinishedRequest.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class MessengerFinishedRequestPrivate : public QSharedData
{
public:
    QByteArray messengerId;
};

MessengerFinishedRequest::MessengerFinishedRequest()
    : MessengerFinishedRequest(QByteArray())
{
}

MessengerFinishedRequest::MessengerFinishedRequest(const QByteArray &messengerId)
    : d(new MessengerFinishedRequestPrivate)
{
    d->messengerId = messengerId;
    ZETO_REGISTER_MESSAGE_TYPE(MessengerFinishedRequest);
}

MessengerFinishedRequest::MessengerFinishedRequest(const MessengerFinishedRequest &other) = default;
MessengerFinishedRequest &MessengerFinishedRequest::operator=(const MessengerFinishedRequest &other) = default;
MessengerFinishedRequest::~MessengerFinishedRequest() = default;

QByteArray MessengerFinishedRequest::messengerId() const { return d->messengerId; }

DataStream &operator<<(DataStream &stream, const MessengerFinishedRequest &message)
{
    return stream << message.messengerId();
}

DataStream &operator>>(DataStream &stream, MessengerFinishedRequest &message)
{
    MessengerFinishedRequestPrivate &data = *message.d;
    return stream >> data.messengerId;
}

} // namespace Zeto
