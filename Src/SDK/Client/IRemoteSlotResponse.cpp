#include "IRemoteSlotResponse.h"

#include "../ErrorHandler/ErrorInfoRegistration_p.h"

namespace Zeto {
namespace Client {

IRemoteSlotResponse::IRemoteSlotResponse() { registerErrorInfoType(); }

IRemoteSlotResponse::~IRemoteSlotResponse() = default;

} // namespace Client
} // namespace Zeto
