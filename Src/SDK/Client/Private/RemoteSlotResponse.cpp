#include "RemoteSlotResponse.h"

#include "RemoteSlotResponsePrivate.h"

namespace Zeto {
namespace Client {

RemoteSlotResponse::RemoteSlotResponse() : d(new RemoteSlotResponsePrivate(this)) {}

RemoteSlotResponse::~RemoteSlotResponse() { delete d; }

void RemoteSlotResponse::setTimeout(int milliseconds) { d->setTimeout(milliseconds); }

RemoteSlotResponsePrivate *RemoteSlotResponse::d_func() const { return d; }

// The second step of a report ends here.
bool RemoteSlotResponse::event(QEvent *event)
{
    return RemoteSlotResponsePrivate::deliverReport(event, this) || IRemoteSlotResponse::event(event);
}

} // namespace Client
} // namespace Zeto
