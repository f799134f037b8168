#include "PeerQuota.h"

#include <utility>

namespace Zeto {

PeerQuota::PeerQuota(const Amounts &limits)
    : m_limits(limits)
{
}

void PeerQuota::setLimit(Resource resource, int limit)
{
    m_limits[resource] = limit;
}

int PeerQuota::limit(Resource resource) const
{
    return m_limits[resource];
}

int PeerQuota::used(Resource resource) const
{
    return m_used[resource];
}

bool PeerQuota::hasRoomFor(Resource resource) const
{
    return m_used[resource] < m_limits[resource];
}

void PeerQuota::update(const Amounts &before, const Amounts &now)
{
    for (int resource = 0; resource < ResourceCount; ++resource)
        m_used[resource] += now[resource] - before[resource];
}

void PeerQuota::setExhaustionHandler(std::function<void(Resource)> handler)
{
    m_exhaustionHandler = std::move(handler);
}

void PeerQuota::reportExhausted(Resource resource) const
{
    if (m_exhaustionHandler)
        m_exhaustionHandler(resource);
}

void PeerQuota::refuseNewObjects() { m_refusesNewObjects = true; }

bool PeerQuota::refusesNewObjects() const { return m_refusesNewObjects; }

} // namespace Zeto
