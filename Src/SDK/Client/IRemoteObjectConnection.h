#ifndef ZETO_CLIENT_IREMOTEOBJECTCONNECTION_H
#define ZETO_CLIENT_IREMOTEOBJECTCONNECTION_H

#include "../ZetoGlobal.h"
#include "../ErrorHandler/ErrorHandler.h"

#include <QtCore/QObject>

namespace Zeto {
namespace Client {

// The progress of one link between a signal and a slot across the
// connection: connected() or failed() once, and later disconnected() once
// when the link is removed. Every report comes from the event loop; dropping
// the handle silences it but leaves the link in place.
class ZETO_EXPORT IRemoteObjectConnection : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(IRemoteObjectConnection)

public:
    IRemoteObjectConnection();
    ~IRemoteObjectConnection() override;

    // Fails the link with RequestTimedOut unless its connect request is
    // answered within this time from now; a link made later all the same is
    // undone. The same deadline applies to the disconnect request, from the
    // moment RemoteObject::disconnect() sends it. 0 or less removes it.
    virtual void setTimeout(int milliseconds) = 0;

Q_SIGNALS:
    void connected();
    void disconnected();
    // Spelled without the namespace: a string-based connection names it
    // as failed(ErrorInfo).
    void failed(ErrorInfo error);
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_IREMOTEOBJECTCONNECTION_H
