#include "InstantiatedQObjectDestroyedEvent.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(InstantiatedQObjectDestroyedEvent, ZETO_INSTANTIATED_QOBJECT_DESTROYED_EVENT_FIELDS)

} // namespace Zeto
