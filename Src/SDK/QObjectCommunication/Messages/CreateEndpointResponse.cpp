#include "CreateEndpointResponse.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(CreateEndpointResponse, ZETO_CREATE_ENDPOINT_RESPONSE_FIELDS)

} // namespace Zeto
