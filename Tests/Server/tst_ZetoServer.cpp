#include "Client/IRemoteObjectConnection.h"
#include "Client/RemoteObject.h"
#include "ErrorHandler/ConnectionInfo.h"
#include "ErrorHandler/ErrorHandler.h"
#include "ErrorHandler/IErrorHandler.h"
#include "RemoteObjectWaits.h"
#include "TestObjects.h"
#include "TestServer.h"
#include "ZetoServer/ZetoServer.h"

#include <QtTest/QtTest>

#include <memory>
#include <vector>

using namespace Zeto;
using namespace Zeto::Client;
using namespace Zeto::Testing;

// Built by its factory alone: it has no constructor the server could call.
class Greeter : public QObject
{
    Q_OBJECT

public:
    explicit Greeter(const QString &greeting) : m_greeting(greeting) {}

public Q_SLOTS:
    REMOTE_SLOT QString greet(const QString &name) { return m_greeting + name; }

private:
    const QString m_greeting;
};

namespace {

const char *const CalculatorName = "Zeto::Testing::Calculator";

// Records the codes the server passes to the SDK's error handler while it lives.
class ReportedErrors : public IErrorHandler
{
public:
    static QList<int> *install()
    {
        static QList<int> codes;
        codes.clear();
        setErrorHandler(new ReportedErrors(&codes));
        return &codes;
    }

    void handleError(const ErrorInfo &errorInfo, const ConnectionInfo &connectionInfo) override
    {
        if (connectionInfo.peerPort() != 0)
            m_codes->append(errorInfo.error.connectionError);
    }

private:
    explicit ReportedErrors(QList<int> *codes)
        : m_codes(codes)
    {
    }

    QList<int> *m_codes;
};

} // namespace

class tst_ZetoServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void servesRegisteredClasses_data();
    void servesRegisteredClasses();
    void limitsEachConnection_data();
    void limitsEachConnection();
    void refusesConnectionsBeyondTheCap_data();
    void refusesConnectionsBeyondTheCap();
    void servesClassBuiltByItsFactoryAlone();
    void drainAnswersThenClosesGoingAway();

private:
    // Registers a calculator whose factory notes the registration it came from.
    void registerCalculator(Server::ZetoServer &server, const QString &path, const QString &host);

    QStringList m_madeBy;
    QList<QPointer<QObject>> m_made;
};

void tst_ZetoServer::registerCalculator(Server::ZetoServer &server, const QString &path, const QString &host)
{
    const QString registration = host.isEmpty() ? QStringLiteral("any host") : host;
    server.registerClass<Calculator>(
        path,
        [this, registration](const QSharedPointer<IConnectionInformation> &information) {
            m_madeBy.append(registration);
            auto *calculator = new Calculator(information);
            m_made.append(calculator);
            return calculator;
        },
        host);
}

void tst_ZetoServer::servesRegisteredClasses_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("maxRemoteObjects");
    QTest::addColumn<int>("remoteObjects");
    // Of the last remote object; -1 when it is served and answers add(2, 3).
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("madeBy");

    const int defaultCap = Server::ZetoServer::DefaultMaxRemoteObjectsPerConnection;
    const QString any = QStringLiteral("any host");
    const QString local = QStringLiteral("127.0.0.1");
    QTest::newRow("path on any host") << "/any" << defaultCap << 1 << -1 << QStringList{any};
    QTest::newRow("host-specific wins") << "/calc" << defaultCap << 1 << -1 << QStringList{local};
    QTest::newRow("unregistered path") << "/unknown" << defaultCap << 1 << int(RemoteObjectNotFound) << QStringList();
    QTest::newRow("registered on another host only")
        << "/elsewhere" << defaultCap << 1 << int(RemoteObjectNotFound) << QStringList();
    QTest::newRow("remote objects up to the cap") << "/any" << 2 << 2 << -1 << QStringList{any, any};
    QTest::newRow("one remote object over the cap")
        << "/any" << 2 << 3 << int(TooManyRemoteObjects) << QStringList{any, any};
}

void tst_ZetoServer::servesRegisteredClasses()
{
    QFETCH(QString, path);
    QFETCH(int, maxRemoteObjects);
    QFETCH(int, remoteObjects);
    QFETCH(int, error);
    QFETCH(QStringList, madeBy);

    m_madeBy.clear();
    m_made.clear();
    Server::ZetoServer server;
    registerCalculator(server, QStringLiteral("/any"), {});
    registerCalculator(server, QStringLiteral("/calc"), {});
    registerCalculator(server, QStringLiteral("/calc"), QStringLiteral("127.0.0.1"));
    registerCalculator(server, QStringLiteral("/elsewhere"), QStringLiteral("192.0.2.1"));
    server.setMaxRemoteObjectsPerConnection(maxRemoteObjects);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QUrl url = localServerUrl(Transport::Plain, server.serverPort(), path);

    std::vector<std::unique_ptr<RemoteObject>> remotes;
    for (int i = 0; i < remoteObjects - 1; ++i) {
        remotes.push_back(std::make_unique<RemoteObject>(CalculatorName, url));
        QVERIFY(waitUntilConnected(*remotes.back()));
    }
    RemoteObject last(CalculatorName, url);
    Errors errors(&last);
    if (error < 0) {
        QVERIFY(waitUntilConnected(last));
        QCOMPARE(resultOf(last.call("add", 2, 3)), QVariant(5));
    } else {
        QTRY_COMPARE(errors.codes, QList<int>{error});
    }
    QCOMPARE(m_madeBy, madeBy);

    remotes.clear();
    QTRY_VERIFY(std::all_of(m_made.cbegin(), m_made.cend() - (error < 0 ? 1 : 0),
                            [](const QPointer<QObject> &object) { return object.isNull(); }));
}

void tst_ZetoServer::limitsEachConnection_data()
{
    QTest::addColumn<int>("links");
    // Linked emissions made at once, before the client can answer any.
    QTest::addColumn<int>("emissions");
    // Of the last link, or of the remote object once the emissions are made; -1 for none.
    QTest::addColumn<int>("clientError");
    // Passed to the error handler; -1 for none.
    QTest::addColumn<int>("reportedError");

    QTest::newRow("links up to the cap") << 2 << 0 << -1 << -1;
    QTest::newRow("one link over the cap") << 3 << 0 << int(TooManyRemoteSignalSlotConnections) << -1;
    QTest::newRow("waiting calls up to the cap") << 1 << 3 << -1 << -1;
    QTest::newRow("one waiting call over the cap")
        << 1 << 4 << int(ConnectionDropped) << int(PeerNotResponding);
}

// A client spreading its links over several remote objects still shares the
// connection's limits; one that lets too many calls wait is closed.
void tst_ZetoServer::limitsEachConnection()
{
    QFETCH(int, links);
    QFETCH(int, emissions);
    QFETCH(int, clientError);
    QFETCH(int, reportedError);

    const QList<int> *reported = ReportedErrors::install();
    m_made.clear();
    Server::ZetoServer server;
    registerCalculator(server, QStringLiteral("/calc"), {});
    server.setMaxLinksPerConnection(2);
    server.setMaxWaitingCallsPerConnection(3);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QUrl url = localServerUrl(Transport::Plain, server.serverPort(), QStringLiteral("/calc"));

    std::vector<std::unique_ptr<RemoteObject>> remotes;
    Listener listener;
    QSharedPointer<IRemoteObjectConnection> link;
    for (int i = 0; i < links; ++i) {
        remotes.push_back(std::make_unique<RemoteObject>(CalculatorName, url));
        QVERIFY(waitUntilConnected(*remotes.back()));
        link = RemoteObject::connect(remotes.back().get(), SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
        QSignalSpy linked(link.data(), &IRemoteObjectConnection::connected);
        QSignalSpy failed(link.data(), &IRemoteObjectConnection::failed);
        QTRY_VERIFY(!linked.isEmpty() || !failed.isEmpty());
        if (i == links - 1 && emissions == 0)
            QCOMPARE(failed.isEmpty() ? -1 : int(failed.first().first().value<ErrorInfo>().error.connectionError),
                     clientError);
    }
    Errors errors(remotes.front().get());
    auto *calculator = qobject_cast<Calculator *>(m_made.first().data());
    for (int i = 0; i < emissions; ++i)
        calculator->setValue(i + 1);

    if (emissions > 0 && clientError < 0)
        QTRY_COMPARE(listener.received.size(), emissions);
    if (emissions > 0 && clientError >= 0)
        QTRY_COMPARE(errors.codes, QList<int>{clientError});
    QCOMPARE(server.connectionCount(), reportedError < 0 ? 1 : 0);
    QCOMPARE(*reported, reportedError < 0 ? QList<int>() : QList<int>{reportedError});
    setErrorHandler(nullptr);
}

void tst_ZetoServer::refusesConnectionsBeyondTheCap_data()
{
    QTest::addColumn<int>("clients");
    // Of the last client; -1 when it is served.
    QTest::addColumn<int>("error");

    QTest::newRow("up to the cap") << 2 << -1;
    QTest::newRow("one over the cap") << 3 << int(ConnectionDropped);
}

void tst_ZetoServer::refusesConnectionsBeyondTheCap()
{
    QFETCH(int, clients);
    QFETCH(int, error);

    Server::ZetoServer server;
    registerCalculator(server, QStringLiteral("/calc"), {});
    server.setMaxConnections(2);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QUrl url = localServerUrl(Transport::Plain, server.serverPort(), QStringLiteral("/calc"));

    std::vector<std::unique_ptr<RemoteObject>> remotes;
    const auto connectClient = [&] {
        remotes.push_back(std::make_unique<RemoteObject>(CalculatorName, url, QVariant(),
                                                         QSslConfiguration::defaultConfiguration(), QNetworkProxy(),
                                                         true));
    };
    for (int i = 0; i < clients - 1; ++i) {
        connectClient();
        QVERIFY(waitUntilConnected(*remotes.back()));
    }
    connectClient();
    Errors errors(remotes.back().get());
    if (error < 0)
        QVERIFY(waitUntilConnected(*remotes.back()));
    else
        QTRY_COMPARE(errors.codes, QList<int>{error});
    QCOMPARE(server.connectionCount(), 2);
}

void tst_ZetoServer::servesClassBuiltByItsFactoryAlone()
{
    Server::ZetoServer server;
    server.registerClass<Greeter>(QStringLiteral("/greet"), [](const QSharedPointer<IConnectionInformation> &) {
        return new Greeter(QStringLiteral("Hello, "));
    });
    QVERIFY(server.listen(QHostAddress::LocalHost));

    RemoteObject greeter("Greeter", localServerUrl(Transport::Plain, server.serverPort(), QStringLiteral("/greet")));
    QVERIFY(waitUntilConnected(greeter));
    QCOMPARE(resultOf(greeter.call("greet", QStringLiteral("you"))), QVariant(QStringLiteral("Hello, you")));
}

// A call sent before the drain is answered; then every client hears the
// server go, and one that reconnects takes it as a reason to.
void tst_ZetoServer::drainAnswersThenClosesGoingAway()
{
    Server::ZetoServer server;
    registerCalculator(server, QStringLiteral("/calc"), {});
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QUrl url = localServerUrl(Transport::Plain, server.serverPort(), QStringLiteral("/calc"));
    RemoteObject reconnecting(CalculatorName, url);
    reconnecting.setReconnectEnabled(true);
    reconnecting.setReconnectPolicy(ReconnectPolicy().setFirstDelay(60 * 1000));
    RemoteObject ending(CalculatorName, url, QVariant(), QSslConfiguration::defaultConfiguration(), QNetworkProxy(),
                        true);
    QSignalSpy reconnectingConnected(&reconnecting, &RemoteObject::connected);
    QSignalSpy endingConnected(&ending, &RemoteObject::connected);
    QTRY_COMPARE(reconnectingConnected.size() + endingConnected.size(), 2);
    Errors reconnectingErrors(&reconnecting);
    Errors endingErrors(&ending);
    QSignalSpy attempts(&reconnecting, &RemoteObject::reconnecting);
    QSignalSpy drained(&server, &Server::ZetoServer::drained);

    const auto sentBefore = reconnecting.call("add", 2, 3);
    QSignalSpy answered(sentBefore.data(), &IRemoteSlotResponse::responded);
    server.drain(5000);
    QVERIFY(server.isDraining());
    QVERIFY(!server.isListening());
    // On the shared connection, asked for after the drain began.
    RemoteObject latecomer(CalculatorName, url);
    Errors latecomerErrors(&latecomer);

    QVERIFY(drained.wait(5000));
    QCOMPARE(server.connectionCount(), 0);
    QTRY_COMPARE(answered.size(), 1);
    QCOMPARE(answered.at(0).at(0), QVariant(5));
    QTRY_COMPARE(endingErrors.codes, QList<int>{ConnectionDropped});
    QTRY_COMPARE(attempts.size(), 1);
    QCOMPARE(attempts.at(0).at(0).value<ErrorInfo>(), makeErrorInfo(ConnectionDropped));
    QVERIFY(reconnectingErrors.codes.isEmpty());
    QTRY_COMPARE(latecomerErrors.codes, QList<int>{ConnectionDropped});
    QCOMPARE(drained.size(), 1);
}

QTEST_MAIN(tst_ZetoServer)
#include "tst_ZetoServer.moc"
