#ifndef ZETO_CLIENT_OUTAGE_H
#define ZETO_CLIENT_OUTAGE_H

#include "../../ErrorHandler/ErrorHandler.h"
#include "RemoteObjectInternal.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QVector>

namespace Zeto {
namespace Client {

// What a reconnecting remote object holds from the loss of its connection
// until it is back: why it was lost, how many attempts failed since, the
// links to make again and the requests to send once it exists again.
class Outage
{
public:
    using Request = RemoteObjectInternal::PendingOperation;

    // The links first, then the requests, each in its own order.
    Outage(const ErrorInfo &cause, const QVector<Request> &madeLinks, const QVector<Request> &unsentRequests);

    const ErrorInfo &cause() const;
    // The failure of the latest attempt becomes the cause.
    void attemptFailed(const ErrorInfo &cause);
    // Counted from 1: the attempt about to be scheduled.
    int nextAttempt() const;
    qint64 elapsed() const;

    // False, with the request left alone, when the queue holds limit
    // requests whose handles still wait.
    bool queue(const Request &request, int limit);
    // A link undone while there is none to undo: its handle hears at once.
    void removeLinks(RemoteObjectInternal::LinkKind kind, const QObject *localObject, const char *signal,
                     const char *slot);
    // Every handle that still waits fails with the error.
    void fail(const ErrorInfo &errorInfo);
    QVector<Request> takeRequests();

private:
    void dropSettled();

    ErrorInfo m_cause;
    int m_failedAttempts = 0;
    QElapsedTimer m_clock;
    QVector<Request> m_requests;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_OUTAGE_H
