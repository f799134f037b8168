#include "CallSlotResponse.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(CallSlotResponse, ZETO_CALL_SLOT_RESPONSE_FIELDS)

} // namespace Zeto
