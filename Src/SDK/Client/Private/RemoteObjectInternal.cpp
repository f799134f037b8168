#include "RemoteObjectInternal.h"

#include "../../QObjectCommunication/QObjectEndpoint.h"

#include <utility>

namespace Zeto {
namespace Client {

RemoteObjectInternal::RemoteObjectInternal(const char *, const QUrl &, const QVariant &,
                                           QSharedPointer<QObjectEndpoint> endpoint)
    : m_endpoint(std::move(endpoint))
{
}

RemoteObjectInternal::~RemoteObjectInternal() = default;

} // namespace Client
} // namespace Zeto
