#ifndef ZETO_CLIENT_RECONNECTPOLICY_H
#define ZETO_CLIENT_RECONNECTPOLICY_H

#include "../ZetoGlobal.h"

#include <QtCore/QSharedDataPointer>

namespace Zeto {
namespace Client {

class ReconnectPolicyData;

// How a remote object with reconnecting on (RemoteObject::setReconnectEnabled)
// spaces its attempts after the connection is lost: a capped exponential
// backoff with jitter. The defaults:
//
//   first delay   100 ms     the wait before the first attempt
//   factor        2          each later wait is the one before times this
//   maximum delay 5000 ms    no wait is longer
//   jitter        0.2        each wait is drawn from +-20 % around its step
//   attempts      unlimited  0: try until the object is back
//   outage        unlimited  0: no limit on the time since the loss
//   queued        1000       requests held while reconnecting
//
// So a server that restarts within a few seconds is found again within
// about 5 s of listening. An implicitly shared value.
class ZETO_EXPORT ReconnectPolicy
{
public:
    ReconnectPolicy();
    ReconnectPolicy(const ReconnectPolicy &other);
    ReconnectPolicy &operator=(const ReconnectPolicy &other);
    ~ReconnectPolicy();

    // Values below 1 ms count as 1 ms.
    ReconnectPolicy &setFirstDelay(int milliseconds);
    int firstDelay() const;
    // Values below 1 count as 1: every wait is then the first delay.
    ReconnectPolicy &setFactor(double factor);
    double factor() const;
    // Values below the first delay count as the first delay.
    ReconnectPolicy &setMaximumDelay(int milliseconds);
    int maximumDelay() const;
    // A fraction from 0 (none) to 1; other values are clamped to it.
    ReconnectPolicy &setJitter(double fraction);
    double jitter() const;
    // After this many failed attempts the object gives up with error(); 0
    // or less: never.
    ReconnectPolicy &setMaximumAttempts(int attempts);
    int maximumAttempts() const;
    // Once this long has passed since the loss, the object gives up with
    // error() instead of waiting for another attempt; 0 or less: never.
    ReconnectPolicy &setMaximumOutage(int milliseconds);
    int maximumOutage() const;
    // Calls and links made while reconnecting wait, in order, for the object
    // to be back; one beyond this many fails at once with PeerNotResponding.
    ReconnectPolicy &setMaximumQueuedRequests(int requests);
    int maximumQueuedRequests() const;

    // The step of the wait before the attempt, counted from 1, without
    // jitter: firstDelay() * factor()^(attempt - 1), at most maximumDelay().
    int delayStep(int attempt) const;
    // delayStep() with jitter drawn from the given number in [0, 1).
    int jitteredDelay(int attempt, double random) const;

    bool operator==(const ReconnectPolicy &other) const;
    bool operator!=(const ReconnectPolicy &other) const;

private:
    QSharedDataPointer<ReconnectPolicyData> d;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_RECONNECTPOLICY_H
