#include "ReconnectPolicy.h"

#include <QtCore/QSharedData>

#include <algorithm>
#include <cmath>

namespace Zeto {
namespace Client {

class ReconnectPolicyData : public QSharedData
{
public:
    int firstDelay = 100;
    double factor = 2.0;
    int maximumDelay = 5000;
    double jitter = 0.2;
    int maximumAttempts = 0;
    int maximumOutage = 0;
    int maximumQueuedRequests = 1000;
};

ReconnectPolicy::ReconnectPolicy() : d(new ReconnectPolicyData) {}

ReconnectPolicy::ReconnectPolicy(const ReconnectPolicy &other) = default;

ReconnectPolicy &ReconnectPolicy::operator=(const ReconnectPolicy &other) = default;

ReconnectPolicy::~ReconnectPolicy() = default;

ReconnectPolicy &ReconnectPolicy::setFirstDelay(int milliseconds)
{
    d->firstDelay = std::max(milliseconds, 1);
    return *this;
}

int ReconnectPolicy::firstDelay() const { return d->firstDelay; }

ReconnectPolicy &ReconnectPolicy::setFactor(double factor)
{
    d->factor = factor >= 1.0 ? factor : 1.0;
    return *this;
}

double ReconnectPolicy::factor() const { return d->factor; }

ReconnectPolicy &ReconnectPolicy::setMaximumDelay(int milliseconds)
{
    d->maximumDelay = milliseconds;
    return *this;
}

int ReconnectPolicy::maximumDelay() const { return std::max(d->maximumDelay, d->firstDelay); }

ReconnectPolicy &ReconnectPolicy::setJitter(double fraction)
{
    d->jitter = fraction > 0.0 ? std::min(fraction, 1.0) : 0.0;
    return *this;
}

double ReconnectPolicy::jitter() const { return d->jitter; }

ReconnectPolicy &ReconnectPolicy::setMaximumAttempts(int attempts)
{
    d->maximumAttempts = std::max(attempts, 0);
    return *this;
}

int ReconnectPolicy::maximumAttempts() const { return d->maximumAttempts; }

ReconnectPolicy &ReconnectPolicy::setMaximumOutage(int milliseconds)
{
    d->maximumOutage = std::max(milliseconds, 0);
    return *this;
}

int ReconnectPolicy::maximumOutage() const { return d->maximumOutage; }

ReconnectPolicy &ReconnectPolicy::setMaximumQueuedRequests(int requests)
{
    d->maximumQueuedRequests = std::max(requests, 0);
    return *this;
}

int ReconnectPolicy::maximumQueuedRequests() const { return d->maximumQueuedRequests; }

// In floating point, so that many attempts never overflow.
int ReconnectPolicy::delayStep(int attempt) const
{
    const double step = d->firstDelay * std::pow(d->factor, std::max(attempt, 1) - 1);
    return int(std::min(step, double(maximumDelay())));
}

int ReconnectPolicy::jitteredDelay(int attempt, double random) const
{
    const double spread = d->jitter * (2.0 * random - 1.0);
    return std::max(1, int(std::lround(delayStep(attempt) * (1.0 + spread))));
}

bool ReconnectPolicy::operator==(const ReconnectPolicy &other) const
{
    return firstDelay() == other.firstDelay() && factor() == other.factor() && maximumDelay() == other.maximumDelay()
        && jitter() == other.jitter() && maximumAttempts() == other.maximumAttempts()
        && maximumOutage() == other.maximumOutage() && maximumQueuedRequests() == other.maximumQueuedRequests();
}

bool ReconnectPolicy::operator!=(const ReconnectPolicy &other) const { return !(*this == other); }

} // namespace Client
} // namespace Zeto
