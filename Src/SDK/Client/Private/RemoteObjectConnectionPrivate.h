#ifndef ZETO_CLIENT_REMOTEOBJECTCONNECTIONPRIVATE_H
#define ZETO_CLIENT_REMOTEOBJECTCONNECTIONPRIVATE_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QBasicTimer>
#include <QtCore/QObject>

namespace Zeto {
namespace Client {

class IRemoteObjectConnection;

// The half of a link handle that the library reports to; each report takes
// the two queued steps of a slot response's. The handle follows the link through
// its requests and ends with disconnected() or failed(): a report that does
// not fit (a second outcome of the connect request, a failure once linked,
// anything once ended) is dropped.
class ZETO_PRIVATE_EXPORT RemoteObjectConnectionPrivate : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteObjectConnectionPrivate)

public:
    // The public half that repeats the reports; it owns this object.
    explicit RemoteObjectConnectionPrivate(IRemoteObjectConnection *connection);

    void emitConnected();
    void emitDisconnected();
    // Only while the connect or the disconnect request waits for its answer.
    void emitFailed(const Zeto::ErrorInfo &error);
    // The disconnect request is on its way; its deadline starts.
    void awaitDisconnection();
    // Whether the connect request still waits for its answer.
    bool isAwaitingConnection() const;
    // The deadline of the request waiting now and of the disconnect request
    // to come: RequestTimedOut once the time has passed without the answer.
    // 0 or less removes it.
    void setTimeout(int milliseconds);

    // Emits a report that has come through both steps from the public half;
    // false for any other event.
    static bool deliverReport(QEvent *event, IRemoteObjectConnection *connection);

Q_SIGNALS:
    void connected();
    void disconnected();
    void failed(Zeto::ErrorInfo error);
    // The deadline settled the request: its answer is no longer awaited.
    void timedOut();

protected:
    bool event(QEvent *event) override;
    // The deadline is the only timer this object runs.
    void timerEvent(QTimerEvent *event) override;

private:
    enum Stage { AwaitingConnection, Linked, AwaitingDisconnection, Ended };

    bool isAwaitingAnswer() const;
    void enter(Stage stage);
    void restartDeadline();

    IRemoteObjectConnection *const m_connection;
    QBasicTimer m_deadline;
    int m_timeout = 0;
    Stage m_stage = AwaitingConnection;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTEOBJECTCONNECTIONPRIVATE_H
