#ifndef ZETO_CLIENT_REMOTESLOTRESPONSE_H
#define ZETO_CLIENT_REMOTESLOTRESPONSE_H

#include "../IRemoteSlotResponse.h"

namespace Zeto {
namespace Client {

class RemoteSlotResponsePrivate;

// The application's half of a slot response: it repeats, from the event
// loop, what its private half reports.
class ZETO_PRIVATE_EXPORT RemoteSlotResponse : public IRemoteSlotResponse
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteSlotResponse)

public:
    RemoteSlotResponse();
    // Deletes the private half, and with it every report still queued.
    ~RemoteSlotResponse() override;

    void setTimeout(int milliseconds) override;

    RemoteSlotResponsePrivate *d_func() const;

protected:
    bool event(QEvent *event) override;

private:
    RemoteSlotResponsePrivate *const d;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTESLOTRESPONSE_H
