#include "MessengerFinishedResponse.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(MessengerFinishedResponse, ZETO_MESSENGER_FINISHED_RESPONSE_FIELDS)

} // namespace Zeto
