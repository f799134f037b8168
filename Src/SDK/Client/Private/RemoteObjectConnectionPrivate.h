#ifndef ZETO_CLIENT_REMOTEOBJECTCONNECTIONPRIVATE_H
#define ZETO_CLIENT_REMOTEOBJECTCONNECTIONPRIVATE_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QObject>

namespace Zeto {
namespace Client {

// The half of a link handle that the library reports to; each report is
// queued twice, as for a slot response.
class ZETO_PROTOCOL_EXPORT RemoteObjectConnectionPrivate : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteObjectConnectionPrivate)

public:
    RemoteObjectConnectionPrivate() = default;

    void emitConnected();
    void emitDisconnected();
    void emitFailed(const Zeto::ErrorInfo &error);

Q_SIGNALS:
    void connected();
    void disconnected();
    void failed(Zeto::ErrorInfo error);

private Q_SLOTS:
    void emitConnectedInternal();
    void emitDisconnectedInternal();
    void emitFailedInternal(Zeto::ErrorInfo error);
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTEOBJECTCONNECTIONPRIVATE_H
