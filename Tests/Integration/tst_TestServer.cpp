#include "EndpointPeers.h"
#include "Journal.h"
#include "TestServer.h"
#include "TestServerProcess.h"

#include <QtTest/QtTest>

#include <memory>

using namespace Zeto;
using namespace Zeto::Testing;

namespace {

enum class Host { InProcess, InProcessOverTls, Process };
// What happens once the calculator is instantiated.
enum class Ending { CallAnswered, ObjectDestroyed, ClientLeaves, ServerDies };

// The server of one test run, in this process or in its own.
struct TestedServer
{
    explicit TestedServer(Host host)
    {
        if (host == Host::Process)
            process = std::make_unique<TestServerProcess>();
        else
            inProcess =
                std::make_unique<TestServer>(host == Host::InProcessOverTls ? Transport::Tls : Transport::Plain);
    }

    QUrl url(const QString &path) const { return process ? process->url(path) : inProcess->url(path); }

    // A server in this process answers only when the test's event loop
    // runs; one in its own process answers at once unless it is stopped.
    void stopAnswering()
    {
        if (process)
            process->pause();
    }

    // Without a word to the clients.
    void die()
    {
        if (process)
            process->kill();
        else
            inProcess->dropClientConnections();
    }

    std::unique_ptr<TestServer> inProcess;
    std::unique_ptr<TestServerProcess> process;
};
} // namespace

Q_DECLARE_METATYPE(Host)
Q_DECLARE_METATYPE(Ending)

class tst_TestServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void servesTheCalculator_data();
    void servesTheCalculator();
};

void tst_TestServer::servesTheCalculator_data()
{
    QTest::addColumn<Host>("host");
    QTest::addColumn<Ending>("ending");

    QTest::newRow("in process") << Host::InProcess << Ending::CallAnswered;
    QTest::newRow("in process over TLS") << Host::InProcessOverTls << Ending::CallAnswered;
    QTest::newRow("separate process") << Host::Process << Ending::CallAnswered;
    QTest::newRow("object destroyed by the server") << Host::InProcess << Ending::ObjectDestroyed;
    QTest::newRow("client ends its endpoint") << Host::InProcess << Ending::ClientLeaves;
    QTest::newRow("connections dropped with a call in flight") << Host::InProcess << Ending::ServerDies;
    QTest::newRow("process killed with a call in flight") << Host::Process << Ending::ServerDies;
}

void tst_TestServer::servesTheCalculator()
{
    QFETCH(Host, host);
    QFETCH(Ending, ending);

    TestedServer server(host);
    const QUrl url = server.url(QStringLiteral("/calc"));
    QVERIFY(url.port() > 0);
    const ProtocolStack client(clientCourier(url));
    QSharedPointer<QObjectEndpoint> endpoint = connectedEndpoint(client);
    QVERIFY(endpoint);
    EndpointOutcomes outcomes(endpoint.data());
    const QByteArray objectId = endpoint->instantiateQObject(CalculatorClass, url, QVariant());
    QByteArrayList expected{outcome("instantiated", objectId, {}, true)};
    QTRY_COMPARE(outcomes.log, expected);

    switch (ending) {
    case Ending::CallAnswered:
        expected.append(outcome("called", endpoint->callSlot(objectId, "add", {2, 3}), "int:5", true));
        break;
    case Ending::ObjectDestroyed:
        QCOMPARE(server.inProcess->createdObjects().size(), 1);
        server.inProcess->destroyCreatedObject(server.inProcess->createdObjects().constFirst());
        expected.append(outcome("destroyed", objectId, {}, false));
        break;
    case Ending::ClientLeaves:
        endpoint.reset();
        QTRY_VERIFY(server.inProcess->createdObjects().isEmpty());
        QCOMPARE(server.inProcess->connectionCount(), 1);
        return;
    case Ending::ServerDies:
        server.stopAnswering();
        endpoint->callSlot(objectId, "add", {2, 3});
        server.die();
        expected.append(outcome("error", {}, code(ConnectionDropped), false));
        if (server.inProcess)
            QTRY_COMPARE(server.inProcess->connectionCount(), 0);
        break;
    }
    QTRY_COMPARE(outcomes.log, expected);
    // Reported once, and nothing after: the server answers a later request
    // after anything it sent before, and a dead connection brings nothing,
    // so once what is queued has run the log is complete.
    if (ending == Ending::ServerDies) {
        waitForQueuedReports();
    } else {
        const QByteArray laterObjectId = endpoint->instantiateQObject(CalculatorClass, url, QVariant());
        expected.append(outcome("instantiated", laterObjectId, {}, true));
        QTRY_COMPARE(outcomes.log, expected);
    }
    QCOMPARE(outcomes.log, expected);
}

QTEST_MAIN(tst_TestServer)
#include "tst_TestServer.moc"
