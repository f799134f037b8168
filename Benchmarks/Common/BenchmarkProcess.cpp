#include "BenchmarkProcess.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QProcessEnvironment>
#include <QtCore/QSocketNotifier>
#include <QtCore/QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace Bench {

namespace {

constexpr int ServerStartTimeoutInMs = 10 * 1000;
constexpr int ServerStopTimeoutInMs = 5 * 1000;
const QString ServeOption = QStringLiteral("--serve");
const QString ThisDispatcherOption = QStringLiteral("--this-dispatcher");
const QByteArray PortPrefix = QByteArrayLiteral("port ");

bool isUnderProfiler = false;

int patient(int timeoutInMs) { return isUnderProfiler ? 10 * timeoutInMs : timeoutInMs; }

void printLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Splits standard input into lines as it arrives; end of input quits.
class StandardInputReader : public QObject
{
public:
    explicit StandardInputReader(std::function<QString(const QString &)> onRequest)
        : m_notifier(STDIN_FILENO, QSocketNotifier::Read),
          m_onRequest(std::move(onRequest))
    {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readAvailable(); });
    }

private:
    void readAvailable()
    {
        char chunk[4096];
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count <= 0) {
            m_notifier.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        m_pending.append(chunk, int(count));
        for (int end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(m_pending.left(end));
            m_pending.remove(0, end + 1);
            if (m_onRequest)
                printLine(m_onRequest(line).toUtf8());
        }
    }

    QSocketNotifier m_notifier;
    std::function<QString(const QString &)> m_onRequest;
    QByteArray m_pending;
};

// The timer wakes the loop should nothing else come.
bool sleepUntil(const std::function<bool()> &done, int timeoutInMs)
{
    bool timedOut = false;
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    QObject::connect(&wakeUp, &QTimer::timeout, [&timedOut] { timedOut = true; });
    wakeUp.start(timeoutInMs);
    while (!done()) {
        if (timedOut)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

int runChild(const QStringList &arguments, const QProcessEnvironment &environment)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit)
        return EXIT_FAILURE;
    return child.exitCode();
}

} // namespace

void fail(const QString &what)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(what));
    std::exit(EXIT_FAILURE);
}

// Polls rather than sleeping in the dispatcher: under QEventDispatcherUNIX a
// client of ours that sleeps between calls may leave a call unsent until
// something else wakes its loop.
bool runUntil(const std::function<bool()> &done, int timeoutInMs)
{
    if (isUnderProfiler)
        return sleepUntil(done, patient(timeoutInMs));
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutInMs)
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

void runUnderProfiler() { isUnderProfiler = true; }

ServerProcess::ServerProcess(const QString &role, const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QCoreApplication::applicationFilePath(), QStringList{ServeOption, role} + arguments);
    const QByteArray line = readLine().toUtf8();
    if (line.startsWith(PortPrefix))
        m_port = line.mid(PortPrefix.size()).toUShort();
    if (m_port == 0)
        fail(QStringLiteral("the %1 server did not start").arg(role));
}

ServerProcess::~ServerProcess()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(patient(ServerStopTimeoutInMs)))
        m_process.kill();
    m_process.waitForFinished(patient(ServerStopTimeoutInMs));
}

QString ServerProcess::request(const QString &line)
{
    m_process.write(line.toUtf8() + '\n');
    return readLine();
}

QString ServerProcess::readLine()
{
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine()) {
        const int timeoutInMs = patient(ServerStartTimeoutInMs);
        if (clock.elapsed() > timeoutInMs || !m_process.waitForReadyRead(timeoutInMs))
            fail(QStringLiteral("a server does not answer"));
    }
    return QString::fromUtf8(m_process.readLine()).trimmed();
}

QString servedRole(const QStringList &arguments)
{
    const int option = arguments.indexOf(ServeOption);
    return option >= 0 ? arguments.value(option + 1) : QString();
}

int serveOn(quint16 port, const std::function<QString(const QString &)> &onRequest)
{
    StandardInputReader reader(onRequest);
    printLine(PortPrefix + QByteArray::number(port));
    return QCoreApplication::exec();
}

int runUnderEachDispatcher(const std::function<int()> &measureThisDispatcher)
{
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.contains(ThisDispatcherOption))
        return measureThisDispatcher();
    arguments << ThisDispatcherOption;
    QProcessEnvironment qtDefault = QProcessEnvironment::systemEnvironment();
    qtDefault.remove(QStringLiteral("QT_NO_GLIB"));
    QProcessEnvironment qtOwn = qtDefault;
    qtOwn.insert(QStringLiteral("QT_NO_GLIB"), QStringLiteral("1"));
    const int defaultStatus = runChild(arguments, qtDefault);
    std::printf("\n");
    std::fflush(stdout);
    const int ownStatus = runChild(arguments, qtOwn);
    return defaultStatus != EXIT_SUCCESS ? defaultStatus : ownStatus;
}

QString eventDispatcherName()
{
    return QString::fromLatin1(QAbstractEventDispatcher::instance()->metaObject()->className());
}

Latency latencyOf(QVector<qint64> nanoseconds)
{
    if (nanoseconds.isEmpty())
        return {};
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const auto at = [&nanoseconds](double quantile) {
        return nanoseconds.at(std::min(nanoseconds.size() - 1, int(quantile * nanoseconds.size()))) / 1000.0;
    };
    return {at(0.5), at(0.99)};
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

} // namespace Bench
