#include "RemoteObjectConnectionPrivate.h"

namespace Zeto {
namespace Client {

void RemoteObjectConnectionPrivate::emitConnected()
{
    QMetaObject::invokeMethod(this, "emitConnectedInternal", Qt::QueuedConnection);
}

void RemoteObjectConnectionPrivate::emitDisconnected()
{
    QMetaObject::invokeMethod(this, "emitDisconnectedInternal", Qt::QueuedConnection);
}

void RemoteObjectConnectionPrivate::emitFailed(const ErrorInfo &error)
{
    QMetaObject::invokeMethod(this, "emitFailedInternal", Qt::QueuedConnection, Q_ARG(Zeto::ErrorInfo, error));
}

void RemoteObjectConnectionPrivate::emitConnectedInternal() { Q_EMIT connected(); }

void RemoteObjectConnectionPrivate::emitDisconnectedInternal() { Q_EMIT disconnected(); }

void RemoteObjectConnectionPrivate::emitFailedInternal(ErrorInfo error) { Q_EMIT failed(error); }

} // namespace Client
} // namespace Zeto
