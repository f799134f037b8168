#ifndef ZETO_CALLSLOTRESPONSE_H
#define ZETO_CALLSLOTRESPONSE_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>
#include <QtCore/QVariant>

namespace Zeto {

class DataStream;
class CallSlotResponsePrivate;

// The outcome of a slot call. Unlike the other responses it carries only the
// request's ids, not the request.
class ZETO_PROTOCOL_EXPORT CallSlotResponse
{
public:
    CallSlotResponse();
    CallSlotResponse(bool success,
                     const QByteArray &objectId,
                     const QByteArray &slotCallId,
                     const QVariant &result,
                     ErrorInfo errorInfo);
    CallSlotResponse(const CallSlotResponse &other);
    CallSlotResponse &operator=(const CallSlotResponse &other);
    ~CallSlotResponse();

    bool success() const;
    QByteArray objectId() const;
    QByteArray slotCallId() const;
    // The slot's return value; invalid on failure.
    QVariant result() const;
    ErrorInfo errorInfo() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, CallSlotResponse &message);

    QSharedDataPointer<CallSlotResponsePrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const CallSlotResponse &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, CallSlotResponse &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::CallSlotResponse)

#endif // ZETO_CALLSLOTRESPONSE_H
