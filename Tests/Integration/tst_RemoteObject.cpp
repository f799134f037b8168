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

#include <QtTest/QtTest>

using namespace Zeto;
using namespace Zeto::Client;
using namespace Zeto::Testing;

namespace {

const char *const CalculatorName = "Zeto::Testing::Calculator";

// What reached the application, in order: answers and linked emissions.
class ArrivalLog : public QObject
{
    Q_OBJECT

public:
    QStringList entries;

    void answer(const QSharedPointer<IRemoteSlotResponse> &response, const QString &name)
    {
        QObject::connect(response.data(), &IRemoteSlotResponse::responded, this,
                         [this, name] { entries.append(name + QStringLiteral(" answered")); });
    }

public Q_SLOTS:
    void onValue(int value) { entries.append(QStringLiteral("valueChanged ") + QString::number(value)); }
};

int connectionsOfThisThread()
{
    return RemoteObjectPrivate::qRemoteObjectInternalFactories().localData()->sharedConnectionCount();
}

} // namespace

class tst_RemoteObject : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void requestsBeforeConnectingAreSentInOrder();
    void creationFailsWithOneError_data();
    void creationFailsWithOneError();
    void oneRefusalLeavesTheSharedConnection();
    void refusedEndpointFailsOnlyItsObject();
    void serverDestroyingTheObjectIsOneError();
    void killedServerIsOneErrorPerObject();
    void linkToANullRemoteObjectFails();
    void droppedHandlesStaySilent();
    void connectionsAreShared_data();
    void connectionsAreShared();
    void schemeIsPartOfTheSharingKey();
    void endingThreadClosesItsConnections();
    void disconnectFindsEquivalentSignatures();
    void answersAndEmissionsArriveInTheServersOrder();
    void tls_data();
    void tls();

private:
    TestServer m_server;
};

void tst_RemoteObject::initTestCase()
{
    QVERIFY(m_server.isListening());
}

void tst_RemoteObject::requestsBeforeConnectingAreSentInOrder()
{
    RemoteObject calculator(CalculatorName, m_server.url("/calc"));
    Listener listener;
    QSignalSpy connected(&calculator, &RemoteObject::connected);

    const auto link = RemoteObject::connect(&calculator, SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
    QSignalSpy linked(link.data(), &IRemoteObjectConnection::connected);
    calculator.call("setValue", 5);
    const auto sum = calculator.call("add", 2, 3);

    QVERIFY(connected.wait());
    QCOMPARE(resultOf(sum), QVariant(5));
    QTRY_COMPARE(listener.received, QVariantList{5});
    QCOMPARE(linked.size(), 1);
}

void tst_RemoteObject::creationFailsWithOneError_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("error");

    const QString calc = m_server.url("/calc").toString();
    QTest::newRow("null class name") << QByteArray() << calc << int(RemoteObjectNotFound);
    QTest::newRow("empty class name") << QByteArray("") << calc << int(RemoteObjectNotFound);
    QTest::newRow("no port") << QByteArray(CalculatorName) << "zeto://127.0.0.1/calc" << int(InvalidRemoteObjectUrl);
    QTest::newRow("web scheme") << QByteArray(CalculatorName) << "http://127.0.0.1:80/calc"
                                << int(InvalidRemoteObjectUrl);
    QTest::newRow("no host") << QByteArray(CalculatorName) << "zeto://:4000/calc" << int(InvalidRemoteObjectUrl);
    QTest::newRow("class refused") << QByteArray("Unknown") << calc << int(RemoteObjectNotFound);
    QTest::newRow("path unknown") << QByteArray(CalculatorName) << m_server.url("/nothing").toString()
                                  << int(RemoteObjectNotFound);
}

void tst_RemoteObject::creationFailsWithOneError()
{
    QFETCH(QByteArray, className);
    QFETCH(QString, url);
    QFETCH(int, error);

    if (error == InvalidRemoteObjectUrl || className.isEmpty())
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to create remote object")));
    RemoteObject remote(className.isNull() ? nullptr : className.constData(), QUrl(url));
    Errors errors(&remote);
    QSignalSpy connected(&remote, &RemoteObject::connected);
    QVERIFY(errors.codes.isEmpty());

    QTRY_COMPARE(errors.codes, QList<int>{error});
    // A refused object's connection ends; what its end brings is queued by
    // the time the server sees it go.
    QTRY_COMPARE(m_server.connectionCount(), 0);
    waitForQueuedReports();
    QCOMPARE(errors.codes.size(), 1);
    QCOMPARE(connected.size(), 0);
}

void tst_RemoteObject::oneRefusalLeavesTheSharedConnection()
{
    RemoteObject calculator(CalculatorName, m_server.url("/calc"));
    QVERIFY(waitUntilConnected(calculator));
    RemoteObject refused("Unknown", m_server.url("/calc"));
    Errors errors(&refused);
    QTRY_COMPARE(errors.codes, QList<int>{RemoteObjectNotFound});

    QCOMPARE(resultOf(calculator.call("add", 1, 2)), QVariant(3));
}

void tst_RemoteObject::refusedEndpointFailsOnlyItsObject()
{
    TestServer server;
    server.setMaxEndpointsPerConnection(1);
    RemoteObject calculator(CalculatorName, server.url("/calc"));
    RemoteObject refused(CalculatorName, server.url("/calc"));
    Errors errors(&refused);
    QVERIFY(waitUntilConnected(calculator));

    QTRY_COMPARE(errors.codes, QList<int>{TooManyRemoteObjects});
    QCOMPARE(resultOf(calculator.call("add", 1, 2)), QVariant(3));
}

void tst_RemoteObject::serverDestroyingTheObjectIsOneError()
{
    RemoteObject calculator(CalculatorName, m_server.url("/calc"));
    QVERIFY(waitUntilConnected(calculator));
    QObject *const created = m_server.createdObjects().constLast();
    // On the same connection: it keeps the connection open, and the drop
    // reaches every object on it at once.
    RemoteObject witness(CalculatorName, m_server.url("/calc"));
    QVERIFY(waitUntilConnected(witness));
    Errors errors(&calculator);
    Errors witnessErrors(&witness);

    m_server.destroyCreatedObject(created);

    QTRY_COMPARE(errors.codes, QList<int>{ConnectionDropped});
    m_server.dropClientConnections();
    QTRY_COMPARE(witnessErrors.codes.size(), 1);
    QCOMPARE(errors.codes.size(), 1);
}

void tst_RemoteObject::killedServerIsOneErrorPerObject()
{
    TestServerProcess process;
    RemoteObject first(CalculatorName, process.url("/calc"));
    RemoteObject second(CalculatorName, process.url("/calc"));
    QSignalSpy secondConnected(&second, &RemoteObject::connected);
    QVERIFY(waitUntilConnected(first));
    QTRY_COMPARE(secondConnected.size(), 1);
    Errors firstErrors(&first);
    Errors secondErrors(&second);
    // Stopped, the server cannot answer the call before it dies.
    process.pause();
    const auto inFlight = first.call("echo", QStringLiteral("lost"));
    QSignalSpy answered(inFlight.data(), &IRemoteSlotResponse::responded);

    process.kill();

    QTRY_COMPARE(firstErrors.codes.size(), 1);
    QTRY_COMPARE(secondErrors.codes.size(), 1);
    // A dead server sends nothing more: what could still come is queued.
    waitForQueuedReports();
    QCOMPARE(firstErrors.codes.size() + secondErrors.codes.size(), 2);
    QCOMPARE(answered.size(), 0);
}

void tst_RemoteObject::linkToANullRemoteObjectFails()
{
    Listener listener;
    const auto link = RemoteObject::connect(nullptr, SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
    QSignalSpy failed(link.data(), &IRemoteObjectConnection::failed);
    QCOMPARE(failed.size(), 0);

    QVERIFY(failed.wait());
    QCOMPARE(failed.at(0).at(0).value<ErrorInfo>(), makeErrorInfo(InvalidObject));
    RemoteObject::disconnect(nullptr, SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
}

void tst_RemoteObject::droppedHandlesStaySilent()
{
    RemoteObject calculator(CalculatorName, m_server.url("/calc"));
    QVERIFY(waitUntilConnected(calculator));
    QPointer<IRemoteSlotResponse> dropped = calculator.call("add", 1, 1).data();

    QCOMPARE(resultOf(calculator.call("add", 2, 2)), QVariant(4));
    QVERIFY(!dropped);
}

void tst_RemoteObject::connectionsAreShared_data()
{
    QTest::addColumn<bool>("otherProxy");
    QTest::addColumn<bool>("dedicated");
    QTest::addColumn<int>("connections");

    QTest::newRow("equal settings") << false << false << 1;
    QTest::newRow("another proxy") << true << false << 2;
    QTest::newRow("a connection of its own") << false << true << 2;
}

void tst_RemoteObject::connectionsAreShared()
{
    QFETCH(bool, otherProxy);
    QFETCH(bool, dedicated);
    QFETCH(int, connections);

    QTRY_COMPARE(m_server.connectionCount(), 0);
    const QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    RemoteObject first(CalculatorName, m_server.url("/calc"), {}, tls, QNetworkProxy());
    RemoteObject second(CalculatorName, m_server.url("/calc"), {}, tls,
                        otherProxy ? QNetworkProxy(QNetworkProxy::NoProxy) : QNetworkProxy(), dedicated);
    QSignalSpy secondConnected(&second, &RemoteObject::connected);

    QVERIFY(waitUntilConnected(first));
    QTRY_COMPARE(secondConnected.size(), 1);
    QCOMPARE(m_server.connectionCount(), connections);
}

void tst_RemoteObject::schemeIsPartOfTheSharingKey()
{
    const int before = connectionsOfThisThread();
    QUrl encrypted = m_server.url("/calc");
    encrypted.setScheme(QStringLiteral("zetos"));
    RemoteObject plain(CalculatorName, m_server.url("/calc"));
    RemoteObject secure(CalculatorName, encrypted);

    QCOMPARE(connectionsOfThisThread() - before, 2);
}

void tst_RemoteObject::endingThreadClosesItsConnections()
{
    QTRY_COMPARE(m_server.connectionCount(), 0);
    QThread thread;
    const QUrl url = m_server.url("/calc");
    // The application's object goes as the thread ends; the connection must
    // go with the thread's factory.
    QObject::connect(&thread, &QThread::started, [&thread, url] {
        auto *remote = new RemoteObject(CalculatorName, url);
        QObject::connect(&thread, &QThread::finished, remote, [remote] { delete remote; }, Qt::DirectConnection);
    });
    thread.start();
    QTRY_COMPARE(m_server.connectionCount(), 1);

    thread.quit();
    QVERIFY(thread.wait(5000));

    QTRY_COMPARE(m_server.connectionCount(), 0);
}

void tst_RemoteObject::disconnectFindsEquivalentSignatures()
{
    RemoteObject calculator(CalculatorName, m_server.url("/calc"));
    Listener listener;
    const auto link = RemoteObject::connect(&calculator, SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
    QSignalSpy disconnected(link.data(), &IRemoteObjectConnection::disconnected);
    QVERIFY(waitUntilConnected(calculator));

    RemoteObject::disconnect(&calculator, "2valueChanged( int )", &listener, "1onValue(const int &)");

    QVERIFY(disconnected.wait());
    calculator.call("setValue", 8);
    QCOMPARE(resultOf(calculator.call("add", 0, 0)), QVariant(0));
    QVERIFY(listener.received.isEmpty());
}

void tst_RemoteObject::answersAndEmissionsArriveInTheServersOrder()
{
    RemoteObject calculator(CalculatorName, m_server.url("/calc"));
    ArrivalLog log;
    const auto link = RemoteObject::connect(&calculator, SIGNAL(valueChanged(int)), &log, SLOT(onValue(int)));
    QSignalSpy linked(link.data(), &IRemoteObjectConnection::connected);
    QVERIFY(linked.wait());

    // The server answers add, then emits inside setValue, then answers it.
    const auto sum = calculator.call("add", 2, 3);
    const auto set = calculator.call("setValue", 7);
    log.answer(sum, QStringLiteral("add"));
    log.answer(set, QStringLiteral("setValue"));

    QTRY_COMPARE(log.entries.size(), 3);
    QCOMPARE(log.entries,
             (QStringList{QStringLiteral("add answered"), QStringLiteral("valueChanged 7"),
                          QStringLiteral("setValue answered")}));
}

void tst_RemoteObject::tls_data()
{
    QTest::addColumn<bool>("trustsTheServer");
    QTest::newRow("trusted certificate") << true;
    QTest::newRow("untrusted certificate") << false;
}

void tst_RemoteObject::tls()
{
    QFETCH(bool, trustsTheServer);

    TestServer server(Transport::Tls);
    QVERIFY(server.isListening());
    RemoteObject calculator(CalculatorName, server.url("/calc"), {},
                            trustsTheServer ? testClientSslConfiguration() : QSslConfiguration::defaultConfiguration());
    QSignalSpy connected(&calculator, &RemoteObject::connected);
    QSignalSpy error(&calculator, &RemoteObject::error);

    if (trustsTheServer) {
        QVERIFY(connected.wait());
        QCOMPARE(resultOf(calculator.call("echo", "over TLS")), QVariant(QStringLiteral("over TLS")));
    } else {
        QVERIFY(error.wait());
        QCOMPARE(error.at(0).at(0).value<ErrorInfo>().type, SslErrorType);
    }
}

QTEST_MAIN(tst_RemoteObject)
#include "tst_RemoteObject.moc"
