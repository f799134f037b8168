#include "InstantiateQObjectRequest.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(InstantiateQObjectRequest, ZETO_INSTANTIATE_QOBJECT_REQUEST_FIELDS)

} // namespace Zeto
