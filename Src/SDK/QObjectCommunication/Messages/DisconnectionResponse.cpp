#include "DisconnectionResponse.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(DisconnectionResponse, ZETO_DISCONNECTION_RESPONSE_FIELDS)

} // namespace Zeto
