#ifndef ZETO_CLIENT_HANDLEREPORT_H
#define ZETO_CLIENT_HANDLEREPORT_H

#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QEvent>
#include <QtCore/QVariant>

namespace Zeto {
namespace Client {

// One report of a handle on its way through the two queued steps: posted to
// the handle's private half, which emits its own signal and posts the report
// on to the public half, which emits the application's. Both handle kinds
// report this way, so that all their reports keep one order, and a report
// costs one allocation a step and no signal connection.
class HandleReport : public QEvent
{
public:
    enum Kind { Responded, Failed, Connected, Disconnected };

    explicit HandleReport(Kind kind, const QVariant &response = QVariant(), const ErrorInfo &error = ErrorInfo());

    Kind kind() const { return m_kind; }
    const QVariant &response() const { return m_response; }
    const ErrorInfo &error() const { return m_error; }

    // Emits the report that an event carries from one half, through the
    // handle kind's emit, then posts it on to the next half, if there is
    // one; false for any other event.
    template <typename Half>
    static bool deliver(QEvent *event, Half *half, void (*emitFrom)(Half *, const HandleReport &),
                        QObject *next = nullptr)
    {
        const HandleReport *report = from(event);
        if (!report)
            return false;
        emitFrom(half, *report);
        if (next)
            report->postTo(next);
        return true;
    }

private:
    static QEvent::Type reportType();
    static const HandleReport *from(const QEvent *event);
    void postTo(QObject *receiver) const;

    Kind m_kind;
    QVariant m_response;
    ErrorInfo m_error;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_HANDLEREPORT_H
