#include "RemoteSlotResponsePrivate.h"

namespace Zeto {
namespace Client {

void RemoteSlotResponsePrivate::emitResponded(const QVariant &response)
{
    QMetaObject::invokeMethod(this, "emitRespondedInternal", Qt::QueuedConnection, Q_ARG(QVariant, response));
}

void RemoteSlotResponsePrivate::emitFailed(const ErrorInfo &errorInfo)
{
    QMetaObject::invokeMethod(this, "emitFailedInternal", Qt::QueuedConnection, Q_ARG(Zeto::ErrorInfo, errorInfo));
}

void RemoteSlotResponsePrivate::emitRespondedInternal(QVariant response) { Q_EMIT responded(response); }

void RemoteSlotResponsePrivate::emitFailedInternal(ErrorInfo errorInfo) { Q_EMIT failed(errorInfo); }

} // namespace Client
} // namespace Zeto
