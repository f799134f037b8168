#ifndef ZETO_CALLSLOTREQUEST_H
#define ZETO_CALLSLOTREQUEST_H

#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>
#include <QtCore/QVariant>
#include <QtCore/QVector>

namespace Zeto {

class DataStream;
class CallSlotRequestPrivate;

// Calls a slot of an instantiated object, directly or as the delivery of a
// linked signal.
class ZETO_PROTOCOL_EXPORT CallSlotRequest
{
public:
    CallSlotRequest();
    CallSlotRequest(const QByteArray &objectId,
                    const QByteArray &slotCallId,
                    const QByteArray &slotSignature,
                    const QVector<QVariant> &arguments,
                    const QByteArray &connectionId);
    CallSlotRequest(const CallSlotRequest &other);
    CallSlotRequest &operator=(const CallSlotRequest &other);
    ~CallSlotRequest();

    QByteArray objectId() const;
    // Chosen by the caller to match the response.
    QByteArray slotCallId() const;
    // In SLOT code form: "1" and the normalised signature.
    QByteArray slotSignature() const;
    QVector<QVariant> arguments() const;
    // Empty for a direct call; the link when a linked signal is delivered.
    QByteArray connectionId() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, CallSlotRequest &message);

    QSharedDataPointer<CallSlotRequestPrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const CallSlotRequest &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, CallSlotRequest &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::CallSlotRequest)

#endif // ZETO_CALLSLOTREQUEST_H
