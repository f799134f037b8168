// A remote slot call's round trip on loopback, the server in its own process,
// for three systems measured side by side in one run:
// - ours: RemoteObject against ZetoServer over zeto://, without compression
//   (the server's default);
// - Qt Remote Objects: the same slots on a source object, called through a
//   dynamic replica over tcp://;
// - raw: a bare QWebSocket exchanging binary messages as large as our call's
//   and result's, which is what our protocol costs above the transport.
// Each case is measured one call at a time (median and p99 round trip) and
// pipelined with 100 calls outstanding (calls per second), under Qt's default
// event dispatcher and again with QT_NO_GLIB=1.
//
//     bench_RemoteCalls [--quick] [--case NAME]
//     bench_RemoteCalls --profile SYSTEM --calls N
//
// --case measures that case alone ("add", "1 KiB" or "64 KiB"), for profiling.
// --profile makes N pipelined add calls with one system ("ours" or "QtRO")
// after a warm-up and measures nothing, under the event dispatcher it is
// given: two runs with different N under an instruction counter differ by
// the calls' own work (scripts/profile-call.sh).

#include "BenchmarkProcess.h"
#include "CallingSides.h"
#include "CountingRelay.h"
#include "Servers.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

constexpr int Outstanding = 100;
constexpr int WarmUpCalls = 20;
constexpr int CountedCalls = 20;
// Enough for every buffer and cache on the way to have reached its size.
constexpr int ProfileWarmUpCalls = 500;
const QString QuickOption = QStringLiteral("--quick");
const QString CaseOption = QStringLiteral("--case");
const QString ProfileOption = QStringLiteral("--profile");
const QString CallsOption = QStringLiteral("--calls");

struct Case
{
    const char *name;
    int payloadBytes;
    int sequentialCalls;
    int pipelinedCalls;
    // Which latency goals apply: a small call against the bare transport,
    // a large one against Qt Remote Objects.
    bool latencyAgainstRaw;
    bool latencyAgainstQtRemoteObjects;
};

// What a call and its result take as WebSocket messages.
struct MessageSizes
{
    int call = 0;
    int result = 0;
};

struct Figures
{
    Bench::Latency latency;
    double callsPerSecond = 0;
};

struct SystemFigures
{
    Figures ours;
    Figures qtRemoteObjects;
    Figures raw;
};

// A ratio against its goal; misses are marked with "!".
struct Goal
{
    QString what;
    double ratio;
    bool atMost;
    double goal;
    std::optional<double> stretch;

    bool meets(double limit) const { return atMost ? ratio <= limit : ratio >= limit; }
};

void runCalls(CallingSide &side, int calls)
{
    int answered = 0;
    for (int i = 0; i < calls; ++i) {
        side.call([&answered] { ++answered; });
        if (!Bench::runUntil([&] { return answered > i; }))
            Bench::fail(QStringLiteral("a call was not answered"));
    }
}

Bench::Latency sequentialLatency(CallingSide &side, int calls)
{
    QVector<qint64> roundTrips;
    roundTrips.reserve(calls);
    bool answered = false;
    for (int i = 0; i < calls; ++i) {
        answered = false;
        QElapsedTimer clock;
        clock.start();
        side.call([&answered] { answered = true; });
        if (!Bench::runUntil([&answered] { return answered; }))
            Bench::fail(QStringLiteral("a call was not answered"));
        roundTrips.append(clock.nsecsElapsed());
    }
    return Bench::latencyOf(roundTrips);
}

// Keeps Outstanding calls on the way until all have been sent and answered.
double pipelinedCallsPerSecond(CallingSide &side, int calls)
{
    int sent = 0;
    int answered = 0;
    std::function<void()> onAnswer;
    const auto sendNext = [&] {
        ++sent;
        side.call(onAnswer);
    };
    onAnswer = [&] {
        ++answered;
        if (sent < calls)
            sendNext();
    };
    QElapsedTimer clock;
    clock.start();
    while (sent < std::min(Outstanding, calls))
        sendNext();
    if (!Bench::runUntil([&] { return answered == calls; }))
        Bench::fail(QStringLiteral("pipelined calls were not answered"));
    return calls * 1e9 / double(clock.nsecsElapsed());
}

Figures measure(CallingSide &side, const Case &benchCase)
{
    runCalls(side, WarmUpCalls);
    Figures figures;
    figures.latency = sequentialLatency(side, benchCase.sequentialCalls);
    figures.callsPerSecond = pipelinedCallsPerSecond(side, benchCase.pipelinedCalls);
    return figures;
}

int extendedLengthBytes(qint64 payload) { return payload <= 125 ? 0 : payload <= 0xffff ? 2 : 8; }

// A WebSocket frame's payload from its size on the wire; a client masks.
int webSocketPayload(qint64 wireBytes, bool masked)
{
    const int header = 2 + (masked ? 4 : 0);
    for (const int extended : {0, 2, 8}) {
        const qint64 payload = wireBytes - header - extended;
        if (extendedLengthBytes(payload) == extended)
            return int(payload);
    }
    Bench::fail(QStringLiteral("no WebSocket frame is %1 bytes long").arg(wireBytes));
}

// Our calls through a relay that counts their bytes.
MessageSizes ourMessageSizes(quint16 port, const CallCase &callCase)
{
    CountingRelay relay(port);
    OurSide side(relay.port(), callCase);
    runCalls(side, WarmUpCalls);
    relay.resetCounts();
    runCalls(side, CountedCalls);
    return {webSocketPayload(relay.bytesToTarget() / CountedCalls, true),
            webSocketPayload(relay.bytesFromTarget() / CountedCalls, false)};
}

struct ServerProcesses
{
    Bench::ServerProcess ours{Servers::Ours};
    Bench::ServerProcess qtRemoteObjects{Servers::QtRemoteObjects};
    Bench::ServerProcess raw{Servers::RawWebSocket};
};

void printRow(const Case &benchCase, const char *system, const Figures &figures, const QString &sizes = QString())
{
    std::printf("%-7s %-5s %-15s %10.1f %10.1f %10.0f\n", benchCase.name, system, qPrintable(sizes),
                figures.latency.medianMicroseconds, figures.latency.p99Microseconds, figures.callsPerSecond);
    std::fflush(stdout);
}

SystemFigures measureCase(const ServerProcesses &servers, const Case &benchCase)
{
    const CallCase callCase{QByteArray(benchCase.payloadBytes, 'p')};
    const MessageSizes sizes = ourMessageSizes(servers.ours.port(), callCase);
    const QString sizeText = QStringLiteral("%1 / %2").arg(sizes.call).arg(sizes.result);
    SystemFigures figures;
    {
        OurSide ours(servers.ours.port(), callCase);
        figures.ours = measure(ours, benchCase);
    }
    {
        QtRemoteObjectsSide qtRemoteObjects(servers.qtRemoteObjects.port(), callCase);
        figures.qtRemoteObjects = measure(qtRemoteObjects, benchCase);
    }
    {
        RawWebSocketSide raw(servers.raw.port(), sizes.call, sizes.result);
        figures.raw = measure(raw, benchCase);
    }
    printRow(benchCase, "ours", figures.ours, sizeText);
    printRow(benchCase, "QtRO", figures.qtRemoteObjects);
    printRow(benchCase, "raw", figures.raw, sizeText);
    return figures;
}

QVector<Goal> goalsOf(const Case &benchCase, const SystemFigures &figures)
{
    const QString name = QString::fromLatin1(benchCase.name);
    QVector<Goal> goals;
    if (benchCase.latencyAgainstRaw)
        goals.append({name + QStringLiteral(" sequential median, ours / raw"),
                      figures.ours.latency.medianMicroseconds / figures.raw.latency.medianMicroseconds, true, 1.3,
                      1.15});
    goals.append({name + QStringLiteral(" pipelined calls/s, ours / QtRO"),
                  figures.ours.callsPerSecond / figures.qtRemoteObjects.callsPerSecond, false, 1.0, 1.5});
    if (benchCase.latencyAgainstQtRemoteObjects)
        goals.append({name + QStringLiteral(" sequential median, ours / QtRO"),
                      figures.ours.latency.medianMicroseconds / figures.qtRemoteObjects.latency.medianMicroseconds,
                      true, 3.0, std::nullopt});
    return goals;
}

QString limitText(const Goal &goal, std::optional<double> limit)
{
    if (!limit)
        return QString();
    return QStringLiteral("%1 %2x")
        .arg(goal.atMost ? QStringLiteral("<=") : QStringLiteral(">="))
        .arg(*limit, 0, 'f', 2);
}

// Prints the goals; returns how many were missed.
int reportGoals(const QVector<Goal> &goals)
{
    std::printf("\n%-42s %8s %9s %9s\n", "goal", "ratio", "goal", "stretch");
    int missed = 0;
    int stretchesMet = 0;
    int stretches = 0;
    for (const Goal &goal : goals) {
        const bool met = goal.meets(goal.goal);
        missed += met ? 0 : 1;
        if (goal.stretch) {
            ++stretches;
            stretchesMet += goal.meets(*goal.stretch) ? 1 : 0;
        }
        std::printf("%-42s %7.2fx%s %9s %9s\n", qPrintable(goal.what), goal.ratio, met ? " " : "!",
                    qPrintable(limitText(goal, goal.goal)), qPrintable(limitText(goal, goal.stretch)));
    }
    std::printf("Goals missed (! marks a miss): %d of %lld; stretch goals met: %d of %d.\n", missed,
                static_cast<long long>(goals.size()), stretchesMet, stretches);
    return missed;
}

// The word after the option, or an empty one without it.
QString optionValue(const QStringList &arguments, const QString &option)
{
    const int index = arguments.indexOf(option);
    return index >= 0 ? arguments.value(index + 1) : QString();
}

int measureThisDispatcher(bool quick, const QString &onlyCase)
{
    const int scale = quick ? 20 : 1;
    const Case cases[] = {{"add", 0, 2000 / scale, 20000 / scale, true, false},
                          {"1 KiB", 1024, 2000 / scale, 20000 / scale, false, false},
                          {"64 KiB", 64 * 1024, 300 / scale, 2000 / scale, false, true}};
    std::printf("Remote slot calls on loopback, the server in its own process (Qt %s, event dispatcher %s on both "
                "sides%s).\n"
                "ours: RemoteObject and ZetoServer over zeto://, no compression. QtRO: Qt Remote Objects, dynamic "
                "replica over tcp://.\n"
                "raw: bare QWebSocket exchanging binary messages of our call's and result's sizes (bytes given).\n"
                "Sequential: one call at a time, round trip in us; pipelined: %d calls outstanding.\n\n",
                qVersion(), qPrintable(Bench::eventDispatcherName()), quick ? ", quick run" : "", Outstanding);
    std::fflush(stdout);
    std::printf("%-7s %-5s %-15s %10s %10s %10s\n", "case", "sys", "message B", "median us", "p99 us", "calls/s");
    const ServerProcesses servers;
    QVector<Goal> goals;
    for (const Case &benchCase : cases) {
        if (!onlyCase.isEmpty() && onlyCase != QLatin1String(benchCase.name))
            continue;
        const SystemFigures figures = measureCase(servers, benchCase);
        goals += goalsOf(benchCase, figures);
    }
    reportGoals(goals);
    return EXIT_SUCCESS;
}

std::unique_ptr<CallingSide> callingSide(const QString &system, quint16 port, const CallCase &callCase)
{
    if (system == Servers::Ours)
        return std::make_unique<OurSide>(port, callCase);
    return std::make_unique<QtRemoteObjectsSide>(port, callCase);
}

int profile(const QString &system, int calls)
{
    if (system != Servers::Ours && system != Servers::QtRemoteObjects)
        Bench::fail(QStringLiteral("only %1 and %2 can be profiled").arg(Servers::Ours, Servers::QtRemoteObjects));
    if (calls <= 0)
        Bench::fail(QStringLiteral("%1 needs a positive number of calls").arg(CallsOption));
    Bench::runUnderProfiler();
    const Bench::ServerProcess server(system);
    const std::unique_ptr<CallingSide> side = callingSide(system, server.port(), CallCase());
    pipelinedCallsPerSecond(*side, ProfileWarmUpCalls);
    pipelinedCallsPerSecond(*side, calls);
    std::printf("%s: %d pipelined add calls after %d (event dispatcher %s)\n", qPrintable(system), calls,
                ProfileWarmUpCalls, qPrintable(Bench::eventDispatcherName()));
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QString role = Bench::servedRole(application.arguments());
    if (!role.isEmpty())
        return Servers::serve(role);
    const QString profiled = optionValue(application.arguments(), ProfileOption);
    if (!profiled.isEmpty())
        return profile(profiled, optionValue(application.arguments(), CallsOption).toInt());
    const bool quick = application.arguments().contains(QuickOption);
    const QString onlyCase = optionValue(application.arguments(), CaseOption);
    return Bench::runUnderEachDispatcher([quick, onlyCase] { return measureThisDispatcher(quick, onlyCase); });
}
