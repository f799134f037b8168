#ifndef ZETO_TESTING_FRESHPROCESS_H
#define ZETO_TESTING_FRESHPROCESS_H

#include <QtCore/QString>
#include <QtTest/QTest>

namespace Zeto {
namespace Testing {

// Whether this process was started by failureInFreshProcess().
bool isFreshProcess();

// Runs the current test function again, alone, in a new process of this test
// program, in which nothing was registered before it. Empty if it passed
// there, else what it printed.
QString failureInFreshProcess(int timeoutMs = 60000);

} // namespace Testing
} // namespace Zeto

// Opens a test function that watches what happens once per process, such as
// the first registrations: outside its fresh process the function only runs
// itself there and reports the outcome.
#define ZETO_TEST_IN_FRESH_PROCESS()                                                                                   \
    do {                                                                                                               \
        if (!Zeto::Testing::isFreshProcess()) {                                                                        \
            const QString failure = Zeto::Testing::failureInFreshProcess();                                            \
            QVERIFY2(failure.isEmpty(), qPrintable(failure));                                                          \
            return;                                                                                                    \
        }                                                                                                              \
    } while (false)

#endif // ZETO_TESTING_FRESHPROCESS_H
