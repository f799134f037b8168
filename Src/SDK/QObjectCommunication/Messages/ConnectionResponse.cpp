#include "ConnectionResponse.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(ConnectionResponse, ZETO_CONNECTION_RESPONSE_FIELDS)

} // namespace Zeto
