#include "RemoteObjectConnection.h"

#include "RemoteObjectConnectionPrivate.h"

namespace Zeto {
namespace Client {

RemoteObjectConnection::RemoteObjectConnection() : d(new RemoteObjectConnectionPrivate)
{
    using Public = IRemoteObjectConnection;
    using Private = RemoteObjectConnectionPrivate;
    connect(d, &Private::connected, this, &Public::connected, Qt::QueuedConnection);
    connect(d, &Private::disconnected, this, &Public::disconnected, Qt::QueuedConnection);
    connect(d, &Private::failed, this, &Public::failed, Qt::QueuedConnection);
}

RemoteObjectConnection::~RemoteObjectConnection() { delete d; }

void RemoteObjectConnection::setTimeout(int milliseconds) { d->setTimeout(milliseconds); }

RemoteObjectConnectionPrivate *RemoteObjectConnection::d_func() const { return d; }

} // namespace Client
} // namespace Zeto
