#include "IRemoteSlotResponse.h"

namespace Zeto {
namespace Client {

IRemoteSlotResponse::IRemoteSlotResponse() = default;
IRemoteSlotResponse::~IRemoteSlotResponse() = default;

} // namespace Client
} // namespace Zeto
