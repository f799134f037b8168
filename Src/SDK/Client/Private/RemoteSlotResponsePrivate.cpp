#include "RemoteSlotResponsePrivate.h"

namespace Zeto {
namespace Client {

void RemoteSlotResponsePrivate::emitResponded(const QVariant &response)
{
    // A functor: queuing by the slot's name looks the name up on every call.
    if (settle())
        QMetaObject::invokeMethod(this, [this, response] { Q_EMIT responded(response); }, Qt::QueuedConnection);
}

void RemoteSlotResponsePrivate::emitFailed(const ErrorInfo &errorInfo)
{
    if (settle())
        QMetaObject::invokeMethod(this, [this, errorInfo] { Q_EMIT failed(errorInfo); }, Qt::QueuedConnection);
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

} // namespace Client
} // namespace Zeto
