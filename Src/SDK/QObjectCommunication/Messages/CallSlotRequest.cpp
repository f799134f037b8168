#include "CallSlotRequest.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class CallSlotRequestPrivate : public QSharedData
{
public:
    QByteArray objectId;
    QByteArray slotCallId;
    QByteArray slotSignature;
    QVector<QVariant> arguments;
    QByteArray connectionId;
};

CallSlotRequest::CallSlotRequest()
    : CallSlotRequest(QByteArray(), QByteArray(), QByteArray(), QVector<QVariant>(), QByteArray())
{
}

CallSlotRequest::CallSlotRequest(const QByteArray &objectId,
                                 const QByteArray &slotCallId,
                                 const QByteArray &slotSignature,
                                 const QVector<QVariant> &arguments,
                                 const QByteArray &connectionId)
    : d(new CallSlotRequestPrivate)
{
    d->objectId = objectId;
    d->slotCallId = slotCallId;
    d->slotSignature = slotSignature;
    d->arguments = arguments;
    d->connectionId = connectionId;
    ZETO_REGISTER_MESSAGE_TYPE(CallSlotRequest);
}

CallSlotRequest::CallSlotRequest(const CallSlotRequest &other) = default;
CallSlotRequest &CallSlotRequest::operator=(const CallSlotRequest &other) = default;
CallSlotRequest::~CallSlotRequest() = default;

QByteArray CallSlotRequest::objectId() const { return d->objectId; }
QByteArray CallSlotRequest::slotCallId() const { return d->slotCallId; }
QByteArray CallSlotRequest::slotSignature() const { return d->slotSignature; }
QVector<QVariant> CallSlotRequest::arguments() const { return d->arguments; }
QByteArray CallSlotRequest::connectionId() const { return d->connectionId; }

DataStream &operator<<(DataStream &stream, const CallSlotRequest &message)
{
    return stream << message.objectId() << message.slotCallId() << message.slotSignature() << message.arguments()
                  << message.connectionId();
}

DataStream &operator>>(DataStream &stream, CallSlotRequest &message)
{
    CallSlotRequestPrivate &data = *message.d;
    return stream >> data.objectId >> data.slotCallId >> data.slotSignature >> data.arguments >> data.connectionId;
}

} // namespace Zeto
