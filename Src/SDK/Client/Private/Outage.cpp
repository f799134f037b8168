#include "Outage.h"

#include "RemoteObjectConnectionPrivate.h"
#include "RemoteSlotResponsePrivate.h"

#include <algorithm>
#include <utility>

namespace Zeto {
namespace Client {

namespace {

// A made link has no handle waiting: it is made again, whatever its handle.
bool waits(const Outage::Request &request)
{
    if (request.isSlotCall)
        return request.slotCall.response && !request.slotCall.response->isSettled();
    return request.link.made || (request.link.connection && request.link.connection->isAwaitingConnection());
}

} // namespace

Outage::Outage(const ErrorInfo &cause, const QVector<Request> &madeLinks, const QVector<Request> &unsentRequests)
    : m_cause(cause),
      m_requests(madeLinks + unsentRequests)
{
    m_clock.start();
}

const ErrorInfo &Outage::cause() const { return m_cause; }

void Outage::attemptFailed(const ErrorInfo &cause)
{
    m_cause = cause;
    ++m_failedAttempts;
}

int Outage::nextAttempt() const { return m_failedAttempts + 1; }

qint64 Outage::elapsed() const { return m_clock.elapsed(); }

bool Outage::queue(const Request &request, int limit)
{
    if (m_requests.size() >= limit)
        dropSettled();
    if (m_requests.size() >= limit)
        return false;
    m_requests.append(request);
    return true;
}

void Outage::removeLinks(RemoteObjectInternal::LinkKind kind, const QObject *localObject, const char *signal,
                         const char *slot)
{
    const auto undone = [=](const Request &request) {
        return !request.isSlotCall && request.linkKind == kind
            && RemoteObjectInternal::isLink(request.link, localObject, signal, slot);
    };
    for (const Request &request : qAsConst(m_requests)) {
        if (undone(request) && request.link.connection)
            request.link.connection->emitDisconnected();
    }
    m_requests.erase(std::remove_if(m_requests.begin(), m_requests.end(), undone), m_requests.end());
}

void Outage::fail(const ErrorInfo &errorInfo)
{
    for (const Request &request : std::exchange(m_requests, {})) {
        if (request.isSlotCall && request.slotCall.response)
            request.slotCall.response->emitFailed(errorInfo);
        else if (!request.isSlotCall && request.link.connection)
            request.link.connection->emitFailed(errorInfo);
    }
}

QVector<Outage::Request> Outage::takeRequests() { return std::exchange(m_requests, {}); }

void Outage::dropSettled()
{
    m_requests.erase(std::remove_if(m_requests.begin(), m_requests.end(), [](const Request &request) {
                         return !waits(request);
                     }),
                     m_requests.end());
}

} // namespace Client
} // namespace Zeto
