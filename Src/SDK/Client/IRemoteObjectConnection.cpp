#include "IRemoteObjectConnection.h"

namespace Zeto {
namespace Client {

IRemoteObjectConnection::IRemoteObjectConnection() = default;
IRemoteObjectConnection::~IRemoteObjectConnection() = default;

} // namespace Client
} // namespace Zeto
