#include "DisconnectionRequest.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

namespace {

// The reason takes two bytes; a value from a peer is kept as it came.
DataStream &operator<<(DataStream &stream, DisconnectReason reason) { return stream << qint16(reason); }

DataStream &operator>>(DataStream &stream, DisconnectReason &reason)
{
    quint16 value = 0;
    stream >> value;
    reason = DisconnectReason(value);
    return stream;
}

} // namespace

ZETO_DEFINE_MESSAGE(DisconnectionRequest, ZETO_DISCONNECTION_REQUEST_FIELDS)

} // namespace Zeto
