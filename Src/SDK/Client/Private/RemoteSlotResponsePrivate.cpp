#include "RemoteSlotResponsePrivate.h"

#include "../IRemoteSlotResponse.h"
#include "HandleReport.h"
#include "RemoteObjectInternal.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>

namespace Zeto {
namespace Client {

namespace {

// Both halves declare the same two signals.
template <typename Half>
void emitReport(Half *half, const HandleReport &report)
{
    if (report.kind() == HandleReport::Failed)
        Q_EMIT half->failed(report.error());
    else
        Q_EMIT half->responded(report.response());
}

} // namespace

RemoteSlotResponsePrivate::RemoteSlotResponsePrivate(IRemoteSlotResponse *response) : m_response(response) {}

void RemoteSlotResponsePrivate::emitResponded(const QVariant &response)
{
    if (settle())
        QCoreApplication::postEvent(this, new HandleReport(HandleReport::Responded, response));
}

void RemoteSlotResponsePrivate::emitFailed(const ErrorInfo &errorInfo)
{
    if (settle())
        QCoreApplication::postEvent(this, new HandleReport(HandleReport::Failed, QVariant(), errorInfo));
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

void RemoteSlotResponsePrivate::awaitAnswerFrom(RemoteObjectInternal *caller) { m_caller = caller; }

bool RemoteSlotResponsePrivate::isSettled() const { return m_settled; }

bool RemoteSlotResponsePrivate::deliverReport(QEvent *event, IRemoteSlotResponse *response)
{
    return HandleReport::deliver(event, response, &emitReport<IRemoteSlotResponse>);
}

// The first step: the report goes on to the public half.
bool RemoteSlotResponsePrivate::event(QEvent *event)
{
    return HandleReport::deliver(event, this, &emitReport<RemoteSlotResponsePrivate>, m_response)
        || QObject::event(event);
}

void RemoteSlotResponsePrivate::timerEvent(QTimerEvent *)
{
    emitFailed(makeErrorInfo(RequestTimedOut));
    if (m_caller)
        m_caller->forgetSlotCall(this);
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
