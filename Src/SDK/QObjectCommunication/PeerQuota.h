#ifndef ZETO_PEERQUOTA_H
#define ZETO_PEERQUOTA_H

#include "../ZetoGlobal.h"

#include <array>
#include <functional>

namespace Zeto {

// What one peer may hold at once over one connection, whichever of the
// connection's endpoints holds it, so that a peer cannot grow our tables
// without end by spreading its requests over many endpoints. Endpoints
// report what they hold; a request that finds no room is refused.
class ZETO_PRIVATE_EXPORT PeerQuota
{
public:
    enum Resource {
        // Objects created here for the peer: TooManyRemoteObjects beyond.
        Objects,
        // Signal-slot links through this side: TooManyRemoteSignalSlotConnections beyond.
        Links,
        // Linked emissions that wait for the peer's answer: beyond them the
        // peer is taken as not responding.
        WaitingCalls,
        ResourceCount
    };
    using Amounts = std::array<int, ResourceCount>;

    static constexpr Amounts DefaultLimits{{4096, 16384, 65536}};

    explicit PeerQuota(const Amounts &limits = DefaultLimits);

    void setLimit(Resource resource, int limit);
    int limit(Resource resource) const;
    int used(Resource resource) const;
    bool hasRoomFor(Resource resource) const;

    // One holder held before and holds now: the totals follow.
    void update(const Amounts &before, const Amounts &now);

    // Told, once for every refusal, when a request found no room.
    void setExhaustionHandler(std::function<void(Resource)> handler);
    void reportExhausted(Resource resource) const;

    // A server going away makes no more objects for the peer: each request
    // is refused with ConnectionDropped, which a client that reconnects
    // takes as a reason to try again, elsewhere or later.
    void refuseNewObjects();
    bool refusesNewObjects() const;

private:
    Amounts m_limits;
    Amounts m_used{};
    std::function<void(Resource)> m_exhaustionHandler;
    bool m_refusesNewObjects = false;
};

} // namespace Zeto

#endif // ZETO_PEERQUOTA_H
