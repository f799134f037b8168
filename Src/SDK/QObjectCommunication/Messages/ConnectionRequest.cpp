#include "ConnectionRequest.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class ConnectionRequestPrivate : public QSharedData
{
public:
    QByteArray connectionId;
    QByteArray senderObjectId;
    QByteArray signalSignature;
    QByteArray receiverObjectId;
    QByteArray slotSignature;
};

ConnectionRequest::ConnectionRequest()
    : ConnectionRequest(QByteArray(), QByteArray(), QByteArray(), QByteArray(), QByteArray())
{
}

ConnectionRequest::ConnectionRequest(const QByteArray &connectionId,
                                     const QByteArray &senderObjectId,
                                     const QByteArray &signalSignature,
                                     const QByteArray &receiverObjectId,
                                     const QByteArray &slotSignature)
    : d(new ConnectionRequestPrivate)
{
    d->connectionId = connectionId;
    d->senderObjectId = senderObjectId;
    d->signalSignature = signalSignature;
    d->receiverObjectId = receiverObjectId;
    d->slotSignature = slotSignature;
    ZETO_REGISTER_MESSAGE_TYPE(ConnectionRequest);
}

ConnectionRequest::ConnectionRequest(const ConnectionRequest &other) = default;
ConnectionRequest &ConnectionRequest::operator=(const ConnectionRequest &other) = default;
ConnectionRequest::~ConnectionRequest() = default;

QByteArray ConnectionRequest::connectionId() const { return d->connectionId; }
QByteArray ConnectionRequest::senderObjectId() const { return d->senderObjectId; }
QByteArray ConnectionRequest::signalSignature() const { return d->signalSignature; }
QByteArray ConnectionRequest::receiverObjectId() const { return d->receiverObjectId; }
QByteArray ConnectionRequest::slotSignature() const { return d->slotSignature; }

DataStream &operator<<(DataStream &stream, const ConnectionRequest &message)
{
    return stream << message.connectionId() << message.senderObjectId() << message.signalSignature()
                  << message.receiverObjectId() << message.slotSignature();
}

DataStream &operator>>(DataStream &stream, ConnectionRequest &message)
{
    ConnectionRequestPrivate &data = *message.d;
    return stream >> data.connectionId >> data.senderObjectId >> data.signalSignature >> data.receiverObjectId
                  >> data.slotSignature;
}

} // namespace Zeto
