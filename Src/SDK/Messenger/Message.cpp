#include "Message.h"

#include "MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(Message, ZETO_MESSAGE_FIELDS)

} // namespace Zeto
