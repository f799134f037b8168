#include "RemoteObjectConnectionPrivate.h"

namespace Zeto {
namespace Client {

void RemoteObjectConnectionPrivate::emitConnected()
{
    if (m_stage != AwaitingConnection)
        return;
    enter(Linked);
    QMetaObject::invokeMethod(this, "emitConnectedInternal", Qt::QueuedConnection);
}

void RemoteObjectConnectionPrivate::emitDisconnected()
{
    if (m_stage == Ended)
        return;
    enter(Ended);
    QMetaObject::invokeMethod(this, "emitDisconnectedInternal", Qt::QueuedConnection);
}

void RemoteObjectConnectionPrivate::emitFailed(const ErrorInfo &error)
{
    if (!isAwaitingAnswer())
        return;
    enter(Ended);
    QMetaObject::invokeMethod(this, "emitFailedInternal", Qt::QueuedConnection, Q_ARG(Zeto::ErrorInfo, error));
}

void RemoteObjectConnectionPrivate::awaitDisconnection()
{
    if (m_stage == Linked)
        enter(AwaitingDisconnection);
}

void RemoteObjectConnectionPrivate::setTimeout(int milliseconds)
{
    m_timeout = milliseconds;
    if (isAwaitingAnswer())
        restartDeadline();
}

void RemoteObjectConnectionPrivate::timerEvent(QTimerEvent *)
{
    emitFailed(makeErrorInfo(RequestTimedOut));
    Q_EMIT timedOut();
}

bool RemoteObjectConnectionPrivate::isAwaitingAnswer() const
{
    return m_stage == AwaitingConnection || m_stage == AwaitingDisconnection;
}

void RemoteObjectConnectionPrivate::enter(Stage stage)
{
    m_stage = stage;
    if (isAwaitingAnswer())
        restartDeadline();
    else
        m_deadline.stop();
}

void RemoteObjectConnectionPrivate::restartDeadline()
{
    if (m_timeout > 0)
        m_deadline.start(m_timeout, this);
    else
        m_deadline.stop();
}

void RemoteObjectConnectionPrivate::emitConnectedInternal() { Q_EMIT connected(); }

void RemoteObjectConnectionPrivate::emitDisconnectedInternal() { Q_EMIT disconnected(); }

void RemoteObjectConnectionPrivate::emitFailedInternal(ErrorInfo error) { Q_EMIT failed(error); }

} // namespace Client
} // namespace Zeto
