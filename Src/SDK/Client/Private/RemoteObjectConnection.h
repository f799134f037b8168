#ifndef ZETO_CLIENT_REMOTEOBJECTCONNECTION_H
#define ZETO_CLIENT_REMOTEOBJECTCONNECTION_H

#include "../IRemoteObjectConnection.h"

namespace Zeto {
namespace Client {

class RemoteObjectConnectionPrivate;

// The application's half of a link handle: it repeats, from the event loop,
// what its private half reports.
class ZETO_PRIVATE_EXPORT RemoteObjectConnection : public IRemoteObjectConnection
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteObjectConnection)

public:
    RemoteObjectConnection();
    // Deletes the private half, and with it every report still queued.
    ~RemoteObjectConnection() override;

    void setTimeout(int milliseconds) override;

    RemoteObjectConnectionPrivate *d_func() const;

protected:
    bool event(QEvent *event) override;

private:
    RemoteObjectConnectionPrivate *const d;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTEOBJECTCONNECTION_H
