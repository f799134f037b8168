#include "IRemoteObjectConnection.h"

#include "../ErrorHandler/ErrorInfoRegistration_p.h"

namespace Zeto {
namespace Client {

IRemoteObjectConnection::IRemoteObjectConnection() { registerErrorInfoType(); }

IRemoteObjectConnection::~IRemoteObjectConnection() = default;

} // namespace Client
} // namespace Zeto
