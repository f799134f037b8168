#include "ConnectionRequest.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(ConnectionRequest, ZETO_CONNECTION_REQUEST_FIELDS)

} // namespace Zeto
