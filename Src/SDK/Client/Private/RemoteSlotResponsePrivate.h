#ifndef ZETO_CLIENT_REMOTESLOTRESPONSEPRIVATE_H
#define ZETO_CLIENT_REMOTESLOTRESPONSEPRIVATE_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QBasicTimer>
#include <QtCore/QObject>
#include <QtCore/QVariant>

namespace Zeto {
namespace Client {

// The half of a slot response that the library reports to. A report is
// queued twice (here, then to the public half), so the application never
// hears it inside the library's own processing, and reports keep their order.
// The first report settles the call: every later one is dropped, so whatever
// races to settle it (the answer, the deadline, a loss) is heard once.
class ZETO_PROTOCOL_EXPORT RemoteSlotResponsePrivate : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteSlotResponsePrivate)

public:
    RemoteSlotResponsePrivate() = default;

    void emitResponded(const QVariant &response);
    void emitFailed(const Zeto::ErrorInfo &errorInfo);
    // Fails the call with RequestTimedOut once the time has passed unless it
    // has settled by then; 0 or less removes the deadline.
    void setTimeout(int milliseconds);

Q_SIGNALS:
    void responded(QVariant response);
    void failed(Zeto::ErrorInfo errorInfo);
    // The deadline settled the call: its answer is no longer awaited.
    void timedOut();

protected:
    // The deadline is the only timer this object runs.
    void timerEvent(QTimerEvent *event) override;

private:
    bool settle();

    QBasicTimer m_deadline;
    bool m_settled = false;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTESLOTRESPONSEPRIVATE_H
