#include "CallSlotResponse.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class CallSlotResponsePrivate : public QSharedData
{
public:
    bool success;
    QByteArray objectId;
    QByteArray slotCallId;
    QVariant result;
    ErrorInfo errorInfo;
};

CallSlotResponse::CallSlotResponse()
    : CallSlotResponse(false, QByteArray(), QByteArray(), QVariant(), ErrorInfo())
{
}

CallSlotResponse::CallSlotResponse(bool success,
                                   const QByteArray &objectId,
                                   const QByteArray &slotCallId,
                                   const QVariant &result,
                                   ErrorInfo errorInfo)
    : d(new CallSlotResponsePrivate)
{
    d->success = success;
    d->objectId = objectId;
    d->slotCallId = slotCallId;
    d->result = result;
    d->errorInfo = errorInfo;
    ZETO_REGISTER_MESSAGE_TYPE(CallSlotResponse);
}

CallSlotResponse::CallSlotResponse(const CallSlotResponse &other) = default;
CallSlotResponse &CallSlotResponse::operator=(const CallSlotResponse &other) = default;
CallSlotResponse::~CallSlotResponse() = default;

bool CallSlotResponse::success() const { return d->success; }
QByteArray CallSlotResponse::objectId() const { return d->objectId; }
QByteArray CallSlotResponse::slotCallId() const { return d->slotCallId; }
QVariant CallSlotResponse::result() const { return d->result; }
ErrorInfo CallSlotResponse::errorInfo() const { return d->errorInfo; }

DataStream &operator<<(DataStream &stream, const CallSlotResponse &message)
{
    return stream << message.success() << message.objectId() << message.slotCallId() << message.result()
                  << message.errorInfo();
}

DataStream &operator>>(DataStream &stream, CallSlotResponse &message)
{
    CallSlotResponsePrivate &data = *message.d;
    return stream >> data.success >> data.objectId >> data.slotCallId >> data.result >> data.errorInfo;
}

} // namespace Zeto
