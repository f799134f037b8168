// How our client and server scale: many remote objects on one connection, and
// many connections to one server, each with a remote object making calls.
// The server runs in its own process and reports its resident memory when
// asked; the cost per instantiation and per call should stay flat as the
// count grows.
//
//     bench_Scale [--quick]

#include "BenchmarkProcess.h"
#include "ScaleService.h"

#include <ZetoSdk/IRemoteSlotResponse>
#include <ZetoSdk/RemoteObject>
#include <ZetoSdk/ZetoServer>

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QLoggingCategory>
#include <QtNetwork/QNetworkProxy>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/resource.h>
#include <vector>

using Zeto::Client::IRemoteSlotResponse;
using Zeto::Client::RemoteObject;

namespace {

constexpr int Outstanding = 100;
constexpr int MaxObjects = 10000;
constexpr int WantedConnections = 1000;
// Descriptors beyond the connections: Qt's own, the child's pipes, spares.
constexpr int SpareDescriptors = 64;
const QString QuickOption = QStringLiteral("--quick");
const QString ServerRole = QStringLiteral("scale");
const QString ResidentRequest = QStringLiteral("resident");
const QString ServicePath = QStringLiteral("/scale");

int serve()
{
    QLoggingCategory::setFilterRules(QStringLiteral("zeto.*.info=false"));
    Zeto::Server::ZetoServer server;
    server.setMaxRemoteObjectsPerConnection(2 * MaxObjects);
    server.registerClass<ScaleService>(ServicePath);
    if (!server.listen(QHostAddress::LocalHost, 0))
        Bench::fail(server.errorString());
    return Bench::serveOn(server.serverPort(), [](const QString &request) {
        return request == ResidentRequest ? QString::number(Bench::residentBytes()) : QString();
    });
}

// Raises the open-file limit to the hard limit; returns the soft limit now.
rlim_t raiseOpenFileLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t before = limit.rlim_cur;
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
        limit.rlim_cur = before;
    std::printf("Open-file limit raised from %llu to %llu, the hard limit, for both processes.\n",
                static_cast<unsigned long long>(before), static_cast<unsigned long long>(limit.rlim_cur));
    return limit.rlim_cur;
}

// Resident memory of both sides.
struct Resident
{
    qint64 client = 0;
    qint64 server = 0;
};

Resident residentOf(Bench::ServerProcess &server)
{
    return {Bench::residentBytes(), server.request(ResidentRequest).toLongLong()};
}

class RemoteObjects
{
public:
    RemoteObjects(quint16 port, int count, bool dedicatedConnections)
    {
        const QUrl url(QStringLiteral("zeto://127.0.0.1:%1%2").arg(port).arg(ServicePath));
        m_objects.reserve(size_t(count));
        for (int i = 0; i < count; ++i) {
            m_objects.push_back(std::make_unique<RemoteObject>(
                "ScaleService", url, QVariant(), QSslConfiguration::defaultConfiguration(),
                QNetworkProxy(QNetworkProxy::NoProxy), dedicatedConnections));
            QObject::connect(m_objects.back().get(), &RemoteObject::connected, [this] { ++m_connected; });
            QObject::connect(m_objects.back().get(), &RemoteObject::error,
                             [](const Zeto::ErrorInfo &error) { Bench::fail(error.description()); });
        }
        if (!Bench::runUntil([this, count] { return m_connected == count; }, 120 * 1000))
            Bench::fail(QStringLiteral("remote objects did not connect"));
    }

    // Calls the objects in turn, Outstanding at a time.
    void call(int calls)
    {
        int sent = 0;
        int answered = 0;
        std::vector<QSharedPointer<IRemoteSlotResponse>> responses(static_cast<size_t>(calls));
        std::function<void()> sendNext = [&] {
            const int index = sent++;
            responses[size_t(index)] = m_objects[size_t(index) % m_objects.size()]->call("add", 2, 3);
            QObject::connect(responses[size_t(index)].data(), &IRemoteSlotResponse::responded, [&] {
                ++answered;
                if (sent < calls)
                    sendNext();
            });
        };
        while (sent < std::min(Outstanding, calls))
            sendNext();
        if (!Bench::runUntil([&] { return answered == calls; }, 120 * 1000))
            Bench::fail(QStringLiteral("calls were not answered"));
    }

private:
    std::vector<std::unique_ptr<RemoteObject>> m_objects;
    int m_connected = 0;
};

struct Step
{
    int count = 0;
    double instantiationMicroseconds = 0;
    double callMicroseconds = 0;
    double clientBytesEach = 0;
    double serverBytesEach = 0;
};

Step measureStep(Bench::ServerProcess &server, int count, bool dedicatedConnections)
{
    const Resident before = residentOf(server);
    QElapsedTimer clock;
    clock.start();
    RemoteObjects objects(server.port(), count, dedicatedConnections);
    Step step;
    step.count = count;
    step.instantiationMicroseconds = clock.nsecsElapsed() / 1000.0 / count;
    const int calls = std::max(count, 1000);
    clock.restart();
    objects.call(calls);
    step.callMicroseconds = clock.nsecsElapsed() / 1000.0 / calls;
    const Resident after = residentOf(server);
    step.clientBytesEach = double(after.client - before.client) / count;
    step.serverBytesEach = double(after.server - before.server) / count;
    return step;
}

void printStep(const char *what, const Step &step)
{
    std::printf("%-12s %7d %14.1f %10.1f %12.0f %12.0f\n", what, step.count, step.instantiationMicroseconds,
                step.callMicroseconds, step.clientBytesEach, step.serverBytesEach);
    std::fflush(stdout);
}

void printFlatness(const char *what, const Step &first, const Step &last)
{
    std::printf("%s: %d vs %d, instantiation %.2fx, call %.2fx (flat is 1.00x)\n", what, last.count, first.count,
                last.instantiationMicroseconds / first.instantiationMicroseconds,
                last.callMicroseconds / first.callMicroseconds);
}

int connectionsAllowed(rlim_t openFiles, int wanted)
{
    const int allowed =
        int(std::min<rlim_t>(rlim_t(wanted), openFiles > SpareDescriptors ? openFiles - SpareDescriptors : 0));
    if (allowed < wanted)
        std::printf("The open-file limit allows %d connections, not %d: scaled down.\n", allowed, wanted);
    return allowed;
}

int measureThisDispatcher(bool quick)
{
    std::printf("Scale of our client and server on loopback, the server in its own process (Qt %s, event dispatcher "
                "%s on both sides%s).\n",
                qVersion(), qPrintable(Bench::eventDispatcherName()), quick ? ", quick run" : "");
    const rlim_t openFiles = raiseOpenFileLimit();
    std::printf("Per instantiation: all made at once, until all are connected; per call: add(2, 3) on the objects in "
                "turn, %d outstanding.\nMemory: growth of the resident set, per object or connection, each step on "
                "memory freed by the last.\n\n",
                Outstanding);
    std::printf("%-12s %7s %14s %10s %12s %12s\n", "what", "count", "instantiate us", "call us", "client B",
                "server B");
    Bench::ServerProcess server(ServerRole);
    // The first connection and object pay for what is made once.
    measureStep(server, 1, false);
    // Connections first: memory freed by larger steps would be reused and read low.
    const int connections = connectionsAllowed(openFiles, quick ? 20 : WantedConnections);
    const Step connectionStep = measureStep(server, connections, true);
    printStep("connections", connectionStep);
    const QVector<int> objectCounts = quick ? QVector<int>{10, 100} : QVector<int>{100, 1000, MaxObjects};
    QVector<Step> objectSteps;
    for (const int count : objectCounts) {
        objectSteps.append(measureStep(server, count, false));
        printStep("objects", objectSteps.last());
    }
    std::printf("\n");
    printFlatness("Objects on one connection", objectSteps.first(), objectSteps.last());
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (Bench::servedRole(application.arguments()) == ServerRole)
        return serve();
    const bool quick = application.arguments().contains(QuickOption);
    return Bench::runUnderEachDispatcher([quick] { return measureThisDispatcher(quick); });
}
