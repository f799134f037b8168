#include "DisconnectionRequest.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class DisconnectionRequestPrivate : public QSharedData
{
public:
    QByteArray connectionId;
    DisconnectReason reason;
};

DisconnectionRequest::DisconnectionRequest()
    : DisconnectionRequest(QByteArray(), ApplicationRequest)
{
}

DisconnectionRequest::DisconnectionRequest(const QByteArray &connectionId, DisconnectReason reason)
    : d(new DisconnectionRequestPrivate)
{
    d->connectionId = connectionId;
    d->reason = reason;
    ZETO_REGISTER_MESSAGE_TYPE(DisconnectionRequest);
}

DisconnectionRequest::DisconnectionRequest(const DisconnectionRequest &other) = default;
DisconnectionRequest &DisconnectionRequest::operator=(const DisconnectionRequest &other) = default;
DisconnectionRequest::~DisconnectionRequest() = default;

QByteArray DisconnectionRequest::connectionId() const { return d->connectionId; }
DisconnectReason DisconnectionRequest::reason() const { return d->reason; }

// The reason takes two bytes; a value from a peer is kept as it came.
DataStream &operator<<(DataStream &stream, const DisconnectionRequest &message)
{
    return stream << message.connectionId() << qint16(message.reason());
}

DataStream &operator>>(DataStream &stream, DisconnectionRequest &message)
{
    DisconnectionRequestPrivate &data = *message.d;
    quint16 reason = 0;
    stream >> data.connectionId >> reason;
    data.reason = DisconnectReason(reason);
    return stream;
}

} // namespace Zeto
