#include "AddressSanitizer.h"
#include "Client/Private/RemoteObjectPrivate.h"
#include "Client/Private/WebSocketBasedClientRemoteObjectInternalFactory.h"
#include "Client/RemoteObject.h"
#include "ErrorHandler/ErrorHandler.h"
#include "Journal.h"
#include "RemoteObjectWaits.h"
#include "TestCertificates.h"
#include "TestObjects.h"
#include "TestServer.h"
#include "TestServerProcess.h"

#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtTest/QtTest>

#include <malloc.h>

#include <algorithm>
#include <deque>
#include <memory>

Q_DECLARE_METATYPE(Zeto::Client::ReconnectPolicy)
Q_DECLARE_METATYPE(Zeto::Testing::Transport)

using namespace Zeto;
using namespace Zeto::Client;
using namespace Zeto::Testing;

namespace {

const char *const CalculatorName = "Zeto::Testing::Calculator";

// Quick steps, so that a test waits little for an attempt.
ReconnectPolicy quickPolicy()
{
    return ReconnectPolicy().setFirstDelay(20).setMaximumDelay(200);
}

QSslConfiguration clientSslConfiguration(Transport transport)
{
    return transport == Transport::Tls ? testClientSslConfiguration() : QSslConfiguration::defaultConfiguration();
}

// A port that nothing listens on.
quint16 closedPort()
{
    const TestServer server;
    return server.port();
}

int connectionsOfThisThread()
{
    return RemoteObjectPrivate::qRemoteObjectInternalFactories().localData()->sharedConnectionCount();
}

// Recovery is measured from the server's announcement of its port, which
// its process prints once it listens. A sanitized build takes longer for
// the handshakes of 22 objects and their links than the plain bound allows.
#ifdef ZETO_TEST_ADDRESS_SANITIZER
constexpr qint64 RecoverySlackInMs = 2000;
#else
constexpr qint64 RecoverySlackInMs = 200;
#endif

// One remote object under load, as its reports tell it.
struct LoadedObject
{
    LoadedObject(const QUrl &url, Transport transport, bool dedicated, const ReconnectPolicy &policy,
                 const QElapsedTimer &clock)
        : remote(CalculatorName, url, {}, clientSslConfiguration(transport), QNetworkProxy(QNetworkProxy::NoProxy),
                 dedicated)
    {
        remote.setReconnectEnabled(true);
        remote.setReconnectPolicy(policy);
        QObject::connect(&remote, &RemoteObject::connected, [this] { hasConnected = true; });
        QObject::connect(&remote, &RemoteObject::reconnecting, [this](const ErrorInfo &, int attempt, int) {
            losses += attempt == 1 ? 1 : 0;
            lastAttempt = attempt;
        });
        QObject::connect(&remote, &RemoteObject::reconnected, [this, &clock](int) {
            ++comebacks;
            backAt = clock.elapsed();
        });
        QObject::connect(&remote, &RemoteObject::error, [this] { ++errors; });
    }

    RemoteObject remote;
    bool hasConnected = false;
    int losses = 0;
    int lastAttempt = 0;
    int comebacks = 0;
    qint64 backAt = -1;
    int errors = 0;
};

// A listener linked to one remote object both ways: what it sends to the
// remote setValue comes back through valueChanged.
struct LinkedPair
{
    explicit LinkedPair(RemoteObject &remote)
        : fromRemote(RemoteObject::connect(&remote, SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)))),
          toRemote(RemoteObject::connect(&listener, SIGNAL(valueSent(int)), &remote, SLOT(setValue(int)))),
          linked{{fromRemote.data(), &IRemoteObjectConnection::connected},
                 {toRemote.data(), &IRemoteObjectConnection::connected}}
    {}

    // Once both links are made.
    bool delivers(int value)
    {
        if (!QTest::qWaitFor([this] { return linked[0].size() + linked[1].size() == 2; }, 5000))
            return false;
        Q_EMIT listener.valueSent(value);
        return QTest::qWaitFor([this, value] { return listener.received.contains(value); }, 5000);
    }

    Listener listener;
    const QSharedPointer<IRemoteObjectConnection> fromRemote;
    const QSharedPointer<IRemoteObjectConnection> toRemote;
    QSignalSpy linked[2];
};

// Every call made, and how it settled. A handle is kept until it reports.
class CallLedger : public QObject
{
public:
    void call(LoadedObject &object, int value)
    {
        const size_t index = m_entries.size();
        m_entries.push_back({&object, object.losses, value, 0, 0, false, false, object.remote.call("add", value, 1)});
        IRemoteSlotResponse *handle = m_entries.back().handle.data();
        QObject::connect(handle, &IRemoteSlotResponse::responded, this, [this, index](const QVariant &result) {
            Entry &entry = m_entries[index];
            ++entry.responded;
            entry.wrong = result != QVariant(entry.value + 1);
            letGo(index);
        });
        QObject::connect(handle, &IRemoteSlotResponse::failed, this, [this, index] {
            Entry &entry = m_entries[index];
            ++entry.failed;
            entry.failedWithoutLoss = entry.object->losses == entry.lossesAtCall;
            letGo(index);
        });
    }

    int size() const { return int(m_entries.size()); }
    bool allSettled() const { return count([](const Entry &entry) { return entry.responded + entry.failed > 0; }) == size(); }
    int settledTwice() const { return count([](const Entry &entry) { return entry.responded + entry.failed > 1; }); }
    int wrongResults() const { return count([](const Entry &entry) { return entry.wrong; }); }
    int failedWithoutLoss() const { return count([](const Entry &entry) { return entry.failedWithoutLoss; }); }
    int answered() const { return count([](const Entry &entry) { return entry.responded > 0; }); }

    qint64 slowestRecovery = 0;

private:
    struct Entry
    {
        LoadedObject *object;
        int lossesAtCall;
        int value;
        int responded;
        int failed;
        bool wrong;
        bool failedWithoutLoss;
        QSharedPointer<IRemoteSlotResponse> handle;
    };

    // Not inside the handle's own report.
    void letGo(size_t index)
    {
        QMetaObject::invokeMethod(this, [this, index] { m_entries[index].handle.reset(); }, Qt::QueuedConnection);
    }

    template <typename Predicate>
    int count(Predicate predicate) const
    {
        return int(std::count_if(m_entries.cbegin(), m_entries.cend(), predicate));
    }

    std::deque<Entry> m_entries;
};

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Counts the reports of a handle; each must come at most once.
struct Settling
{
    explicit Settling(const QSharedPointer<IRemoteSlotResponse> &response)
        : handle(response),
          responded(response.data(), &IRemoteSlotResponse::responded),
          failed(response.data(), &IRemoteSlotResponse::failed)
    {}

    int reports() const { return responded.size() + failed.size(); }

    QSharedPointer<IRemoteSlotResponse> handle;
    QSignalSpy responded;
    QSignalSpy failed;
};

} // namespace

class tst_Reconnect : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void policySteps_data();
    void policySteps();
    void survivesRestarts_data();
    void survivesRestarts();
    void givesUp_data();
    void givesUp();
    void waitingRequestsAreBounded();
    void offByDefault();
};

void tst_Reconnect::initTestCase()
{
    qRegisterMetaType<ErrorInfo>();
}

void tst_Reconnect::policySteps_data()
{
    QTest::addColumn<ReconnectPolicy>("policy");
    QTest::addColumn<QVector<int>>("steps");
    QTest::newRow("defaults") << ReconnectPolicy() << QVector<int>{100, 200, 400, 800, 1600, 3200, 5000, 5000};
    QTest::newRow("factor 1.5, cap 1 s")
        << ReconnectPolicy().setFactor(1.5).setMaximumDelay(1000) << QVector<int>{100, 150, 225, 337, 506, 759, 1000};
    QTest::newRow("factor below 1 is 1") << ReconnectPolicy().setFactor(0.5) << QVector<int>{100, 100, 100};
    QTest::newRow("cap below the first delay")
        << ReconnectPolicy().setFirstDelay(300).setMaximumDelay(100) << QVector<int>{300, 300};
    QTest::newRow("no zero delay") << ReconnectPolicy().setFirstDelay(0) << QVector<int>{1, 2, 4};
}

// Steps by attempt, and the jitter's bounds around each.
void tst_Reconnect::policySteps()
{
    QFETCH(ReconnectPolicy, policy);
    QFETCH(QVector<int>, steps);
    for (int attempt = 1; attempt <= steps.size(); ++attempt) {
        const int step = steps.at(attempt - 1);
        QCOMPARE(policy.delayStep(attempt), step);
        QCOMPARE(policy.jitteredDelay(attempt, 0.5), step);
        QCOMPARE(policy.jitteredDelay(attempt, 0.0), std::max(1, int(std::lround(step * (1 - policy.jitter())))));
        QVERIFY(policy.jitteredDelay(attempt, 0.999999) <= int(std::lround(step * (1 + policy.jitter()))));
    }
    QCOMPARE(policy.delayStep(10000), policy.factor() > 1 ? policy.maximumDelay() : policy.firstDelay());
}

void tst_Reconnect::survivesRestarts_data()
{
    QTest::addColumn<Transport>("transport");
    QTest::newRow("zeto") << Transport::Plain;
    QTest::newRow("zetos") << Transport::Tls;
}

// The server restarts ten times on its port, killed or drained in turn,
// under a steady load of calls from 20 objects on one socket and 2 on their
// own, three of them linked both ways. Each call settles once; one fails
// only if a loss came after it was made; every link delivers after every
// restart; each object is back within its backoff step and 200 ms of the
// server listening again; and nothing grows from restart to restart.
void tst_Reconnect::survivesRestarts()
{
    QFETCH(Transport, transport);
    constexpr int Restarts = 10;
    constexpr int SharedObjects = 20;
    constexpr int OwnObjects = 2;
    const ReconnectPolicy policy = quickPolicy();
    auto server = std::make_unique<TestServerProcess>(10 * 1000, 0, transport);
    const quint16 port = server->port();
    QVERIFY(port != 0);
    const QUrl url = server->url(QStringLiteral("/calc"));
    QElapsedTimer clock;
    clock.start();

    std::vector<std::unique_ptr<LoadedObject>> objects;
    for (int index = 0; index < SharedObjects + OwnObjects; ++index)
        objects.push_back(std::make_unique<LoadedObject>(url, transport, index >= SharedObjects, policy, clock));
    for (const auto &object : objects)
        QTRY_VERIFY_WITH_TIMEOUT(object->hasConnected, 10000);
    QCOMPARE(connectionsOfThisThread(), 1);

    std::vector<std::unique_ptr<LinkedPair>> links;
    for (const int index : {0, 1, SharedObjects})
        links.push_back(std::make_unique<LinkedPair>(objects.at(index)->remote));
    for (int value = 1; value <= int(links.size()); ++value)
        QVERIFY(links.at(value - 1)->delivers(value));

    CallLedger ledger;
    QTimer load;
    int tick = 0;
    QObject::connect(&load, &QTimer::timeout, &ledger, [&] {
        ++tick;
        ledger.call(*objects.at(size_t(tick) % objects.size()), tick);
    });
    load.start(2);

    int descriptorsAtStart = 0;
    size_t heapAtStart = 0;
    for (int restart = 1; restart <= Restarts; ++restart) {
        if (restart == 3) {
            descriptorsAtStart = openDescriptors();
            heapAtStart = heapInUse();
        }
        restart % 2 ? server->kill() : server->drain();
        server.reset();
        for (const auto &object : objects)
            QTRY_COMPARE_WITH_TIMEOUT(object->losses, restart, 10000);

        server = std::make_unique<TestServerProcess>(10 * 1000, port, transport);
        QCOMPARE(server->port(), port);
        const qint64 listening = clock.elapsed();
        for (const auto &object : objects) {
            QTRY_COMPARE_WITH_TIMEOUT(object->comebacks, restart, 10000);
            const qint64 recovery = object->backAt - listening;
            const int step = int(policy.delayStep(object->lastAttempt) * (1 + policy.jitter()));
            QVERIFY2(recovery <= step + RecoverySlackInMs,
                     qPrintable(QStringLiteral("back %1 ms after listening, step %2 ms").arg(recovery).arg(step)));
            ledger.slowestRecovery = std::max(ledger.slowestRecovery, recovery);
        }
        QCOMPARE(connectionsOfThisThread(), 1);
        for (size_t index = 0; index < links.size(); ++index)
            QVERIFY2(links.at(index)->delivers(100 * restart + int(index)), "a link is not made again");
    }
    QVERIFY(openDescriptors() <= descriptorsAtStart);
    QVERIFY2(heapInUse() < heapAtStart + (4 << 20), qPrintable(QString::number(heapInUse() - heapAtStart)));

    load.stop();
    QTRY_VERIFY_WITH_TIMEOUT(ledger.allSettled(), 10000);
    waitForQueuedReports();
    QCOMPARE(ledger.settledTwice(), 0);
    QCOMPARE(ledger.wrongResults(), 0);
    QCOMPARE(ledger.failedWithoutLoss(), 0);
    QVERIFY(ledger.answered() > ledger.size() / 2);
    for (const auto &object : objects)
        QCOMPARE(object->errors, 0);
    qInfo("%d calls, %d answered; slowest recovery %lld ms after the server listened", ledger.size(),
          ledger.answered(), ledger.slowestRecovery);
}

void tst_Reconnect::givesUp_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<ReconnectPolicy>("policy");
    QTest::addColumn<int>("errorType");
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<int>("attempts");

    const int refused = QAbstractSocket::ConnectionRefusedError;
    QTest::newRow("unknown class") << "unknown class" << quickPolicy() << int(ConnectionErrorType)
                                   << int(RemoteObjectNotFound) << 0;
    QTest::newRow("unknown path") << "unknown path" << quickPolicy() << int(ConnectionErrorType)
                                  << int(RemoteObjectNotFound) << 0;
    QTest::newRow("untrusted certificate") << "untrusted certificate" << quickPolicy() << int(SslErrorType)
                                           << int(QSslError::SelfSignedCertificateInChain) << 0;
    QTest::newRow("attempts run out") << "no server" << quickPolicy().setMaximumAttempts(3) << int(SocketErrorType)
                                      << refused << 3;
    QTest::newRow("outage too long") << "no server"
                                     << quickPolicy().setFirstDelay(100).setFactor(1).setJitter(0).setMaximumOutage(250)
                                     << int(SocketErrorType) << refused << 2;
}

// What no attempt can mend ends the object at once, as without
// reconnecting; a limit of the policy ends it after its attempts.
void tst_Reconnect::givesUp()
{
    QFETCH(QString, situation);
    QFETCH(ReconnectPolicy, policy);
    QFETCH(int, errorType);
    QFETCH(int, errorCode);
    QFETCH(int, attempts);

    const Transport transport = situation == "untrusted certificate" ? Transport::Tls : Transport::Plain;
    TestServer server(transport);
    QUrl url = server.url(situation == "unknown path" ? "/nowhere" : "/calc");
    if (situation == "no server")
        url.setPort(closedPort());
    const char *className = situation == "unknown class" ? "Nowhere" : CalculatorName;
    RemoteObject remote(className, url);
    remote.setReconnectEnabled(true);
    remote.setReconnectPolicy(policy);
    QSignalSpy reconnecting(&remote, &RemoteObject::reconnecting);
    QSignalSpy errors(&remote, &RemoteObject::error);
    Settling waiting(remote.call("add", 1, 2));

    QVERIFY(errors.wait(10000));
    const auto error = errors.at(0).at(0).value<ErrorInfo>();
    QCOMPARE(int(error.type), errorType);
    if (errorType != SslErrorType)
        QCOMPARE(int(error.error.connectionError), errorCode);
    QCOMPARE(reconnecting.size(), attempts);
    QTRY_COMPARE(waiting.failed.size(), 1);
    QCOMPARE(waiting.failed.at(0).at(0).value<ErrorInfo>(), error);
    waitForQueuedReports();
    QCOMPARE(errors.size(), 1);
    QCOMPARE(waiting.reports(), 1);
}

// While no server answers, requests wait up to the policy's bound; one more
// fails at once, and those waiting fail when the object goes.
void tst_Reconnect::waitingRequestsAreBounded()
{
    QUrl url = localServerUrl(Transport::Plain, closedPort(), QStringLiteral("/calc"));
    auto remote = std::make_unique<RemoteObject>(CalculatorName, url);
    remote->setReconnectEnabled(true);
    remote->setReconnectPolicy(ReconnectPolicy().setFirstDelay(60 * 1000).setMaximumQueuedRequests(2));
    QSignalSpy reconnecting(remote.get(), &RemoteObject::reconnecting);
    QVERIFY(reconnecting.wait(10000));

    Settling first(remote->call("add", 1, 2));
    Settling second(remote->call("add", 3, 4));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is reconnecting and holds 2 requests already"));
    Settling third(remote->call("add", 5, 6));
    QTRY_COMPARE(third.failed.size(), 1);
    QCOMPARE(third.failed.at(0).at(0).value<ErrorInfo>(), makeErrorInfo(PeerNotResponding));
    QCOMPARE(first.reports() + second.reports(), 0);
    // Refused as it would be with a connection: it never waits.
    const auto unlinkable = RemoteObject::connect(remote.get(), SIGNAL(valueChanged(int)), nullptr, SLOT(onValue(int)));
    QSignalSpy refused(unlinkable.data(), &IRemoteObjectConnection::failed);
    QVERIFY(refused.wait(5000));
    QCOMPARE(refused.at(0).at(0).value<ErrorInfo>(), makeErrorInfo(InvalidObject));

    remote.reset();
    QTRY_COMPARE(first.failed.size() + second.failed.size(), 2);
    QCOMPARE(first.failed.at(0).at(0).value<ErrorInfo>(), makeErrorInfo(ConnectionDropped));
}

// Without asking, a loss is the end, as it always was.
void tst_Reconnect::offByDefault()
{
    TestServerProcess server;
    RemoteObject remote(CalculatorName, server.url(QStringLiteral("/calc")));
    QVERIFY(!remote.reconnectEnabled());
    QCOMPARE(remote.reconnectPolicy(), ReconnectPolicy());
    QSignalSpy reconnecting(&remote, &RemoteObject::reconnecting);
    QSignalSpy errors(&remote, &RemoteObject::error);
    QVERIFY(waitUntilConnected(remote));
    server.kill();
    QVERIFY(errors.wait(10000));
    waitForQueuedReports();
    QCOMPARE(reconnecting.size(), 0);
    QCOMPARE(errors.size(), 1);
}

QTEST_MAIN(tst_Reconnect)
#include "tst_Reconnect.moc"
