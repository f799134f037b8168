#ifndef ZETO_PROTOCOLMESSAGETYPES_H
#define ZETO_PROTOCOLMESSAGETYPES_H

namespace Zeto {

// Makes the envelope and every message of the protocol streamable. The stream
// calls it before its first value, so that a message can be read before one
// of its type has been built on this side.
void registerProtocolMessageTypes();

} // namespace Zeto

#endif // ZETO_PROTOCOLMESSAGETYPES_H
