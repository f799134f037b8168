#include "ConnectedSignalEmittedEvent.h"

#include "../../Messenger/MessageDefinition.h"

namespace Zeto {

ZETO_DEFINE_MESSAGE(ConnectedSignalEmittedEvent, ZETO_CONNECTED_SIGNAL_EMITTED_EVENT_FIELDS)

} // namespace Zeto
