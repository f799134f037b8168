#ifndef ZETO_BENCHMARKS_BENCHMARKPROCESS_H
#define ZETO_BENCHMARKS_BENCHMARKPROCESS_H

#include <QtCore/QProcess>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVector>

#include <functional>

// What the end-to-end benchmarks share: the server as a child process of the
// same program, a run under each of Qt's event dispatchers, waiting on the
// event loop, and the figures made of the samples.
namespace Bench {

[[noreturn]] void fail(const QString &what);

// Runs the event loop until done() holds; false after timeoutInMs.
bool runUntil(const std::function<bool()> &done, int timeoutInMs = 30 * 1000);
// For a run under a profiler: from now on runUntil() sleeps until the next
// event instead of polling, so that the work done is counted and not the
// turns spent waiting for it, and every wait is ten times as patient.
void runUnderProfiler();

// The program again, with "--serve <role>" and the arguments, as the server
// side of a measurement. It prints "port <n>" once it listens and ends when
// its standard input closes, so that it never outlives the measuring side.
class ServerProcess
{
public:
    explicit ServerProcess(const QString &role, const QStringList &arguments = {});
    ~ServerProcess();

    quint16 port() const { return m_port; }
    qint64 processId() const { return m_process.processId(); }
    // The next line the server prints after the port, for servers that
    // answer requests on their standard input.
    QString request(const QString &line);

private:
    QString readLine();

    QProcess m_process;
    quint16 m_port = 0;
};

// The server side: the role asked for with --serve, empty in the measuring
// process.
QString servedRole(const QStringList &arguments);
// Tells the measuring side the port, then serves until standard input
// closes; lines read before that go to onRequest, whose answer is printed.
int serveOn(quint16 port, const std::function<QString(const QString &)> &onRequest = {});

// The measuring process runs the measurement twice, as children with the same
// arguments: under Qt's default event dispatcher and with QT_NO_GLIB=1. Their
// servers inherit the environment, so both sides use the same dispatcher.
// Returns the exit status for main(); measureThisDispatcher runs in the
// children.
int runUnderEachDispatcher(const std::function<int()> &measureThisDispatcher);
QString eventDispatcherName();

struct Latency
{
    double medianMicroseconds = 0;
    double p99Microseconds = 0;
};
Latency latencyOf(QVector<qint64> nanoseconds);

// The resident set of this process, from /proc/self/statm.
qint64 residentBytes();

} // namespace Bench

#endif // ZETO_BENCHMARKS_BENCHMARKPROCESS_H
