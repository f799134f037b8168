#include "RemoteSlotResponse.h"

#include "RemoteSlotResponsePrivate.h"

namespace Zeto {
namespace Client {

RemoteSlotResponse::RemoteSlotResponse() : d(new RemoteSlotResponsePrivate)
{
    connect(d, &RemoteSlotResponsePrivate::responded, this, &IRemoteSlotResponse::responded, Qt::QueuedConnection);
    connect(d, &RemoteSlotResponsePrivate::failed, this, &IRemoteSlotResponse::failed, Qt::QueuedConnection);
}

RemoteSlotResponse::~RemoteSlotResponse() { delete d; }

void RemoteSlotResponse::setTimeout(int milliseconds) { d->setTimeout(milliseconds); }

RemoteSlotResponsePrivate *RemoteSlotResponse::d_func() const { return d; }

} // namespace Client
} // namespace Zeto
