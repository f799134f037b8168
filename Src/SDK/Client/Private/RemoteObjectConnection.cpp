#include "RemoteObjectConnection.h"

#include "RemoteObjectConnectionPrivate.h"

namespace Zeto {
namespace Client {

RemoteObjectConnection::RemoteObjectConnection() : d(new RemoteObjectConnectionPrivate(this)) {}

RemoteObjectConnection::~RemoteObjectConnection() { delete d; }

void RemoteObjectConnection::setTimeout(int milliseconds) { d->setTimeout(milliseconds); }

RemoteObjectConnectionPrivate *RemoteObjectConnection::d_func() const { return d; }

// The second step of a report ends here.
bool RemoteObjectConnection::event(QEvent *event)
{
    return RemoteObjectConnectionPrivate::deliverReport(event, this) || IRemoteObjectConnection::event(event);
}

} // namespace Client
} // namespace Zeto
