#include "ProtocolMessageTypes.h"

#include "Message.h"
#include "Messages/MessengerFinishedRequest.h"
#include "Messages/MessengerFinishedResponse.h"
#include "../DataStream/StreamHelper.h"
#include "../QObjectCommunication/Messages/CallSlotRequest.h"
#include "../QObjectCommunication/Messages/CallSlotResponse.h"
#include "../QObjectCommunication/Messages/ConnectedSignalEmittedEvent.h"
#include "../QObjectCommunication/Messages/ConnectionRequest.h"
#include "../QObjectCommunication/Messages/ConnectionResponse.h"
#include "../QObjectCommunication/Messages/CreateEndpointRequest.h"
#include "../QObjectCommunication/Messages/CreateEndpointResponse.h"
#include "../QObjectCommunication/Messages/DisconnectionRequest.h"
#include "../QObjectCommunication/Messages/DisconnectionResponse.h"
#include "../QObjectCommunication/Messages/InstantiateQObjectRequest.h"
#include "../QObjectCommunication/Messages/InstantiateQObjectResponse.h"
#include "../QObjectCommunication/Messages/InstantiatedQObjectDestroyedEvent.h"

namespace Zeto {

void registerProtocolMessageTypes()
{
    registerType<Message>();
    registerType<MessengerFinishedRequest>();
    registerType<MessengerFinishedResponse>();
    registerType<CallSlotRequest>();
    registerType<CallSlotResponse>();
    registerType<ConnectedSignalEmittedEvent>();
    registerType<ConnectionRequest>();
    registerType<ConnectionResponse>();
    registerType<CreateEndpointRequest>();
    registerType<CreateEndpointResponse>();
    registerType<DisconnectionRequest>();
    registerType<DisconnectionResponse>();
    registerType<InstantiatedQObjectDestroyedEvent>();
    registerType<InstantiateQObjectRequest>();
    registerType<InstantiateQObjectResponse>();
}

} // namespace Zeto
