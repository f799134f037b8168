#ifndef ZETO_TESTING_CONCURRENTRUN_H
#define ZETO_TESTING_CONCURRENTRUN_H

#include <functional>

namespace Zeto {
namespace Testing {

// Runs job(index) for each index below count, on a thread of its own, all
// released at the same moment so that they race for what they touch first.
// Returns whether every thread ended within timeoutMs. It waits for all of
// them regardless, so that none outlives what the job refers to.
bool runTogether(int count, const std::function<void(int)> &job, int timeoutMs = 10000);

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTING_CONCURRENTRUN_H
