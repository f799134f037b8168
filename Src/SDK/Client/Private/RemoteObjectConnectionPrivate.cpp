#include "RemoteObjectConnectionPrivate.h"

#include "../IRemoteObjectConnection.h"
#include "HandleReport.h"

#include <QtCore/QCoreApplication>

namespace Zeto {
namespace Client {

namespace {

// Both halves declare the same three signals.
template <typename Half>
void emitReport(Half *half, const HandleReport &report)
{
    switch (report.kind()) {
    case HandleReport::Connected: Q_EMIT half->connected(); break;
    case HandleReport::Disconnected: Q_EMIT half->disconnected(); break;
    case HandleReport::Failed: Q_EMIT half->failed(report.error()); break;
    case HandleReport::Responded: break;
    }
}

} // namespace

RemoteObjectConnectionPrivate::RemoteObjectConnectionPrivate(IRemoteObjectConnection *connection)
    : m_connection(connection)
{}

void RemoteObjectConnectionPrivate::emitConnected()
{
    if (m_stage != AwaitingConnection)
        return;
    enter(Linked);
    QCoreApplication::postEvent(this, new HandleReport(HandleReport::Connected));
}

void RemoteObjectConnectionPrivate::emitDisconnected()
{
    if (m_stage == Ended)
        return;
    enter(Ended);
    QCoreApplication::postEvent(this, new HandleReport(HandleReport::Disconnected));
}

void RemoteObjectConnectionPrivate::emitFailed(const ErrorInfo &error)
{
    if (!isAwaitingAnswer())
        return;
    enter(Ended);
    QCoreApplication::postEvent(this, new HandleReport(HandleReport::Failed, QVariant(), error));
}

void RemoteObjectConnectionPrivate::awaitDisconnection()
{
    if (m_stage == Linked)
        enter(AwaitingDisconnection);
}

bool RemoteObjectConnectionPrivate::isAwaitingConnection() const { return m_stage == AwaitingConnection; }

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

bool RemoteObjectConnectionPrivate::deliverReport(QEvent *event, IRemoteObjectConnection *connection)
{
    return HandleReport::deliver(event, connection, &emitReport<IRemoteObjectConnection>);
}

// The first step: the report goes on to the public half.
bool RemoteObjectConnectionPrivate::event(QEvent *event)
{
    return HandleReport::deliver(event, this, &emitReport<RemoteObjectConnectionPrivate>, m_connection)
        || QObject::event(event);
}

} // namespace Client
} // namespace Zeto
