#include "DisconnectionResponse.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class DisconnectionResponsePrivate : public QSharedData
{
public:
    QByteArray connectionId;
};

DisconnectionResponse::DisconnectionResponse()
    : DisconnectionResponse(QByteArray())
{
}

DisconnectionResponse::DisconnectionResponse(const QByteArray &connectionId)
    : d(new DisconnectionResponsePrivate)
{
    d->connectionId = connectionId;
    ZETO_REGISTER_MESSAGE_TYPE(DisconnectionResponse);
}

DisconnectionResponse::DisconnectionResponse(const DisconnectionResponse &other) = default;
DisconnectionResponse &DisconnectionResponse::operator=(const DisconnectionResponse &other) = default;
DisconnectionResponse::~DisconnectionResponse() = default;

QByteArray DisconnectionResponse::connectionId() const { return d->connectionId; }

DataStream &operator<<(DataStream &stream, const DisconnectionResponse &message)
{
    return stream << message.connectionId();
}

DataStream &operator>>(DataStream &stream, DisconnectionResponse &message)
{
    DisconnectionResponsePrivate &data = *message.d;
    return stream >> data.connectionId;
}

} // namespace Zeto
