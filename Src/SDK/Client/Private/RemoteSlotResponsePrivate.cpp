#include "RemoteSlotResponsePrivate.h"

namespace Zeto {
namespace Client {

void RemoteSlotResponsePrivate::emitResponded(const QVariant &response)
{
    if (settle())
        QMetaObject::invokeMethod(this, "emitRespondedInternal", Qt::QueuedConnection, Q_ARG(QVariant, response));
}

void RemoteSlotResponsePrivate::emitFailed(const ErrorInfo &errorInfo)
{
    if (settle())
        QMetaObject::invokeMethod(this, "emitFailedInternal", Qt::QueuedConnection, Q_ARG(Zeto::ErrorInfo, errorInfo));
}

void RemoteSlotResponsePrivate::setTimeout(int milliseconds)
{
    if (m_settled)
        return;
    if (milliseconds > 0)
        m_deadline.start(milliseconds, this);
    else
        m_deadline.stop();
}

void RemoteSlotResponsePrivate::timerEvent(QTimerEvent *)
{
    emitFailed(makeErrorInfo(RequestTimedOut));
    Q_EMIT timedOut();
}

bool RemoteSlotResponsePrivate::settle()
{
    if (m_settled)
        return false;
    m_settled = true;
    m_deadline.stop();
    return true;
}

void RemoteSlotResponsePrivate::emitRespondedInternal(QVariant response) { Q_EMIT responded(response); }

void RemoteSlotResponsePrivate::emitFailedInternal(ErrorInfo errorInfo) { Q_EMIT failed(errorInfo); }

} // namespace Client
} // namespace Zeto
