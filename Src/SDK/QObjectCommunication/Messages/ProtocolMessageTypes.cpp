// The stream's hook for the library's messages, defined here, above both
// modules that declare them, so that the stream itself names none of them.

#include "../../DataStream/DataStream_p.h"
#include "../../Messenger/Message.h"
#include "../../Messenger/MessageRegistration.h"
#include "../../Messenger/Messages/MessengerFinishedRequest.h"
#include "../../Messenger/Messages/MessengerFinishedResponse.h"
#include "CallSlotRequest.h"
#include "CallSlotResponse.h"
#include "ConnectedSignalEmittedEvent.h"
#include "ConnectionRequest.h"
#include "ConnectionResponse.h"
#include "CreateEndpointRequest.h"
#include "CreateEndpointResponse.h"
#include "DisconnectionRequest.h"
#include "DisconnectionResponse.h"
#include "InstantiateQObjectRequest.h"
#include "InstantiateQObjectResponse.h"
#include "InstantiatedQObjectDestroyedEvent.h"

namespace Zeto {

namespace {

template <typename... Messages>
void registerInOrder()
{
    (registerMessageType<Messages>(), ...);
}

} // namespace

void StreamDetail::registerLibraryMessageTypes()
{
    registerInOrder<Message, MessengerFinishedRequest, MessengerFinishedResponse, CallSlotRequest, CallSlotResponse,
                    ConnectedSignalEmittedEvent, ConnectionRequest, ConnectionResponse, CreateEndpointRequest,
                    CreateEndpointResponse, DisconnectionRequest, DisconnectionResponse,
                    InstantiatedQObjectDestroyedEvent, InstantiateQObjectRequest, InstantiateQObjectResponse>();
}

} // namespace Zeto
