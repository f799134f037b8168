#ifndef ZETO_CLIENT_REMOTESLOTRESPONSEPRIVATE_H
#define ZETO_CLIENT_REMOTESLOTRESPONSEPRIVATE_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QBasicTimer>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QVariant>

namespace Zeto {
namespace Client {

class IRemoteSlotResponse;
class RemoteObjectInternal;

// The half of a slot response that the library reports to. A report is
// queued twice (here, then to the public half), so the application never
// hears it inside the library's own processing, and reports keep their order.
// The first report settles the call: every later one is dropped, so whatever
// races to settle it (the answer, the deadline, a loss) is heard once.
//
// The private half's own signals are emitted at the first step.
class ZETO_PRIVATE_EXPORT RemoteSlotResponsePrivate : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteSlotResponsePrivate)

public:
    // The public half that repeats the reports; it owns this object.
    explicit RemoteSlotResponsePrivate(IRemoteSlotResponse *response);

    void emitResponded(const QVariant &response);
    void emitFailed(const Zeto::ErrorInfo &errorInfo);
    // Fails the call with RequestTimedOut once the time has passed unless it
    // has settled by then; 0 or less removes the deadline.
    void setTimeout(int milliseconds);
    // The remote object that routes this call's answer, told when the
    // deadline has settled the call so that it stops waiting.
    void awaitAnswerFrom(RemoteObjectInternal *caller);
    // Whether a report has settled the call.
    bool isSettled() const;

    // Emits a report that has come through both steps from the public half;
    // false for any other event.
    static bool deliverReport(QEvent *event, IRemoteSlotResponse *response);

Q_SIGNALS:
    void responded(QVariant response);
    void failed(Zeto::ErrorInfo errorInfo);
    // The deadline settled the call: its answer is no longer awaited.
    void timedOut();

protected:
    bool event(QEvent *event) override;
    // The deadline is the only timer this object runs.
    void timerEvent(QTimerEvent *event) override;

private:
    bool settle();

    IRemoteSlotResponse *const m_response;
    QPointer<RemoteObjectInternal> m_caller;
    QBasicTimer m_deadline;
    bool m_settled = false;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTESLOTRESPONSEPRIVATE_H
