#include "CallSlotRequest.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(CallSlotRequest, ZETO_CALL_SLOT_REQUEST_FIELDS)

} // namespace Zeto
