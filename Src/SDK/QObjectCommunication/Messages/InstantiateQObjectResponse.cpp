#include "InstantiateQObjectResponse.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(InstantiateQObjectResponse, ZETO_INSTANTIATE_QOBJECT_RESPONSE_FIELDS)

} // namespace Zeto
