#include "RemoteSlotResponsePrivate.h"

#include "../IRemoteSlotResponse.h"
#include "RemoteObjectInternal.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>

#include <optional>

namespace Zeto {
namespace Client {

// One report on its way through the two steps.
class RemoteSlotResponsePrivate::Report : public QEvent
{
public:
    Report(const QVariant &response, std::optional<ErrorInfo> failure)
        : QEvent(type())
        , m_response(response)
        , m_failure(failure)
    {
    }

    static QEvent::Type type()
    {
        static const auto registered = QEvent::Type(QEvent::registerEventType());
        return registered;
    }

    // Both halves declare the same two signals.
    template <typename Handle>
    void emitFrom(Handle *handle) const
    {
        if (m_failure)
            Q_EMIT handle->failed(*m_failure);
        else
            Q_EMIT handle->responded(m_response);
    }

private:
    QVariant m_response;
    std::optional<ErrorInfo> m_failure;
};

RemoteSlotResponsePrivate::RemoteSlotResponsePrivate(IRemoteSlotResponse *response) : m_response(response) {}

void RemoteSlotResponsePrivate::emitResponded(const QVariant &response)
{
    if (settle())
        QCoreApplication::postEvent(this, new Report(response, std::nullopt));
}

void RemoteSlotResponsePrivate::emitFailed(const ErrorInfo &errorInfo)
{
    if (settle())
        QCoreApplication::postEvent(this, new Report(QVariant(), errorInfo));
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

bool RemoteSlotResponsePrivate::deliverReport(QEvent *event, IRemoteSlotResponse *response)
{
    if (event->type() != Report::type())
        return false;
    static_cast<const Report *>(event)->emitFrom(response);
    return true;
}

// The first step: the report goes on to the public half.
bool RemoteSlotResponsePrivate::event(QEvent *event)
{
    if (event->type() != Report::type())
        return QObject::event(event);
    const auto *report = static_cast<const Report *>(event);
    report->emitFrom(this);
    QCoreApplication::postEvent(m_response, new Report(*report));
    return true;
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
