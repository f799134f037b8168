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

#include <QtCore/QElapsedTimer>
#include <QtTest/QtTest>

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

// One remote object as the test sees it: its reports and its handles.
struct Reconnecting
{
    Reconnecting(const QUrl &url, Transport transport, bool dedicated, const ReconnectPolicy &policy)
        : remote(CalculatorName, url, {}, clientSslConfiguration(transport), QNetworkProxy(QNetworkProxy::NoProxy),
                 dedicated),
          connected(&remote, &RemoteObject::connected),
          reconnecting(&remote, &RemoteObject::reconnecting),
          reconnected(&remote, &RemoteObject::reconnected),
          errors(&remote, &RemoteObject::error)
    {
        remote.setReconnectEnabled(true);
        remote.setReconnectPolicy(policy);
    }

    RemoteObject remote;
    QSignalSpy connected;
    QSignalSpy reconnecting;
    QSignalSpy reconnected;
    QSignalSpy errors;
};

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
    void comesBackAfterRestarts_data();
    void comesBackAfterRestarts();
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

void tst_Reconnect::comesBackAfterRestarts_data()
{
    QTest::addColumn<Transport>("transport");
    QTest::newRow("zeto") << Transport::Plain;
    QTest::newRow("zetos") << Transport::Tls;
}

// Two objects on one socket and one on its own, with links both ways. Each
// restart fails what was in flight once, keeps what was called meanwhile
// for the object that comes back, and makes the links again.
void tst_Reconnect::comesBackAfterRestarts()
{
    QFETCH(Transport, transport);
    auto server = std::make_unique<TestServerProcess>(10 * 1000, 0, transport);
    const quint16 port = server->port();
    QVERIFY(port != 0);
    const QUrl url = server->url(QStringLiteral("/calc"));
    std::vector<std::unique_ptr<Reconnecting>> objects;
    for (const bool dedicated : {false, false, true})
        objects.push_back(std::make_unique<Reconnecting>(url, transport, dedicated, quickPolicy()));
    for (const auto &object : objects)
        QTRY_COMPARE_WITH_TIMEOUT(object->connected.size(), 1, 10000);
    QCOMPARE(connectionsOfThisThread(), 1);

    Listener listener;
    RemoteObject &linked = objects.at(0)->remote;
    const auto fromRemote = RemoteObject::connect(&linked, SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
    const auto toRemote = RemoteObject::connect(&listener, SIGNAL(valueSent(int)), &linked, SLOT(setValue(int)));
    QSignalSpy fromRemoteLinked(fromRemote.data(), &IRemoteObjectConnection::connected);
    QSignalSpy toRemoteLinked(toRemote.data(), &IRemoteObjectConnection::connected);
    QTRY_COMPARE(fromRemoteLinked.size() + toRemoteLinked.size(), 2);
    Q_EMIT listener.valueSent(1);
    QTRY_COMPARE(listener.received, QVariantList{1});

    for (int restart = 1; restart <= 2; ++restart) {
        // Stopped, the server cannot answer the call before it dies.
        server->pause();
        Settling inFlight(objects.at(1)->remote.call("add", 1, restart));
        server->kill();
        server.reset();
        for (const auto &object : objects)
            QTRY_VERIFY(object->reconnecting.size() >= restart);
        QTRY_COMPARE(inFlight.failed.size(), 1);
        Settling meanwhile(objects.at(1)->remote.call("add", 2, restart));

        server = std::make_unique<TestServerProcess>(10 * 1000, port, transport);
        QCOMPARE(server->port(), port);
        QElapsedTimer listening;
        listening.start();
        for (const auto &object : objects)
            QTRY_COMPARE_WITH_TIMEOUT(object->reconnected.size(), restart, 10000);
        qInfo("restart %d: back %lld ms after the server listened again", restart, listening.elapsed());
        QCOMPARE(meanwhile.responded.size() == 1 ? meanwhile.responded.at(0).at(0) : resultOf(meanwhile.handle),
                 QVariant(2 + restart));
        QCOMPARE(connectionsOfThisThread(), 1);

        Q_EMIT listener.valueSent(10 + restart);
        QTRY_COMPARE(listener.received.size(), restart + 1);
        QCOMPARE(listener.received.constLast(), QVariant(10 + restart));
        QCOMPARE(resultOf(objects.at(2)->remote.call("add", 3, restart)), QVariant(3 + restart));

        waitForQueuedReports();
        QCOMPARE(inFlight.reports(), 1);
        QCOMPARE(meanwhile.reports(), 1);
    }
    for (const auto &object : objects) {
        QCOMPARE(object->connected.size(), 1);
        QCOMPARE(object->errors.size(), 0);
        QCOMPARE(object->reconnecting.at(0).at(1).toInt(), 1);
    }
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
