#include "MessengerFinishedRequest.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(MessengerFinishedRequest, ZETO_MESSENGER_FINISHED_REQUEST_FIELDS)

} // namespace Zeto
