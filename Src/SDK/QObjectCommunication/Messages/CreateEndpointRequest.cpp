#include "CreateEndpointRequest.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(CreateEndpointRequest, ZETO_CREATE_ENDPOINT_REQUEST_FIELDS)

} // namespace Zeto
