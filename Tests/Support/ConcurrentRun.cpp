#include "ConcurrentRun.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QSemaphore>
#include <QtCore/QThread>

#include <atomic>
#include <memory>
#include <vector>

namespace Zeto {
namespace Testing {

bool runTogether(int count, const std::function<void(int)> &job, int timeoutMs)
{
    QSemaphore ready;
    std::atomic<bool> go{false};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back(QThread::create([&, i] {
            ready.release();
            while (!go.load(std::memory_order_acquire))
                QThread::yieldCurrentThread();
            job(i);
        }));
        threads.back()->start();
    }
    ready.acquire(count);
    go.store(true, std::memory_order_release);

    const QDeadlineTimer deadline(timeoutMs);
    bool allInTime = true;
    for (const auto &thread : threads) {
        if (!thread->wait(deadline)) {
            allInTime = false;
            thread->wait();
        }
    }
    return allInTime;
}

} // namespace Testing
} // namespace Zeto
