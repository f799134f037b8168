#include "Client/Private/RemoteObjectInternal.h"
#include "Client/Private/WebSocketBasedClientZetoConnection.h"
#include "ErrorHandler/ErrorHandler.h"
#include "WebSocketBasedQVariantCourier/ServingWebSocketBasedQVariantCourier.h"
#include "WebSocketBasedQVariantCourier/ZetoWebSocketServer.h"

#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>
#include <QtTest/QtTest>

#include <memory>

using namespace Zeto;
using namespace Zeto::Client;

namespace {

// How the first of two remote objects on one connection ends.
enum class Ending { Deleted, Disconnected, Failed };

// Reports as a remote object internal does: an error always comes first,
// then the disconnection.
void end(QObject *internal, Ending ending, const ErrorInfo &errorInfo)
{
    if (ending == Ending::Deleted) {
        delete internal;
        return;
    }
    if (ending == Ending::Failed)
        QVERIFY(QMetaObject::invokeMethod(internal, "error", Q_ARG(Zeto::ErrorInfo, errorInfo)));
    QVERIFY(QMetaObject::invokeMethod(internal, "disconnected"));
}

} // namespace

Q_DECLARE_METATYPE(Ending)

class tst_WebSocketBasedClientZetoConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void lastRemoteObjectOrConnectionFailureFinishes_data();
    void lastRemoteObjectOrConnectionFailureFinishes();
    void transportEndFinishes_data();
    void transportEndFinishes();

private:
    QUrl serverUrl() const;
    std::unique_ptr<WebSocketBasedClientZetoConnection> connectToServer() const;

    std::unique_ptr<ZetoWebSocketServer> m_server;
    // The served sockets stay open while their couriers are kept.
    QList<QSharedPointer<ServingWebSocketBasedQVariantCourier>> m_served;
};

void tst_WebSocketBasedClientZetoConnection::init()
{
    m_server.reset(new ZetoWebSocketServer);
    QVERIFY(m_server->listen(QHostAddress::LocalHost));
    connect(m_server.get(), &ZetoWebSocketServer::newCourier, this,
            [this](const QSharedPointer<ServingWebSocketBasedQVariantCourier> &courier) { m_served.append(courier); });
}

// Runs the deferred deletions of the stacks that finished connections let go.
void tst_WebSocketBasedClientZetoConnection::cleanup()
{
    m_served.clear();
    m_server.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QUrl tst_WebSocketBasedClientZetoConnection::serverUrl() const
{
    return QUrl(QStringLiteral("zeto://LocalHost:%1/calc").arg(m_server->serverPort()));
}

std::unique_ptr<WebSocketBasedClientZetoConnection> tst_WebSocketBasedClientZetoConnection::connectToServer() const
{
    return std::make_unique<WebSocketBasedClientZetoConnection>(serverUrl(), QSslConfiguration::defaultConfiguration(),
                                                                QNetworkProxy(QNetworkProxy::NoProxy));
}

void tst_WebSocketBasedClientZetoConnection::lastRemoteObjectOrConnectionFailureFinishes_data()
{
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<ErrorInfo>("errorInfo");
    QTest::addColumn<bool>("finishesAtOnce");

    // clang-format off
    QTest::newRow("deleted")                   << Ending::Deleted      << ErrorInfo()                        << false;
    QTest::newRow("disconnected")              << Ending::Disconnected << ErrorInfo()                        << false;
    // The server refused or lost that one object: the other goes on.
    QTest::newRow("object not found")          << Ending::Failed << makeErrorInfo(RemoteObjectNotFound)      << false;
    QTest::newRow("too many objects")          << Ending::Failed << makeErrorInfo(TooManyRemoteObjects)      << false;
    QTest::newRow("argument cannot travel")    << Ending::Failed << makeErrorInfo(UnregisteredArgument)      << false;
    QTest::newRow("connection dropped")        << Ending::Failed << makeErrorInfo(ConnectionDropped)         << false;
    // The socket or the protocol failed: every object on it is lost.
    QTest::newRow("remote host closed")        << Ending::Failed << makeErrorInfo(QAbstractSocket::RemoteHostClosedError) << true;
    QTest::newRow("certificate untrusted")     << Ending::Failed << makeErrorInfo(QSslError::CertificateUntrusted) << true;
    QTest::newRow("handshake failed")          << Ending::Failed << makeErrorInfo(ZetoHandshakeFailed)       << true;
    QTest::newRow("integrity check failed")    << Ending::Failed << makeErrorInfo(MessageIntegrityCheckFailed) << true;
    QTest::newRow("invalid message")           << Ending::Failed << makeErrorInfo(InvalidMessage)            << true;
    QTest::newRow("peer not responding")       << Ending::Failed << makeErrorInfo(PeerNotResponding)         << true;
    // clang-format on
}

// Two remote objects on one connection; the first ends, then the second goes.
void tst_WebSocketBasedClientZetoConnection::lastRemoteObjectOrConnectionFailureFinishes()
{
    QFETCH(Ending, ending);
    QFETCH(ErrorInfo, errorInfo);
    QFETCH(bool, finishesAtOnce);

    std::unique_ptr<WebSocketBasedClientZetoConnection> connection = connectToServer();
    QSignalSpy finished(connection.get(), &WebSocketBasedClientZetoConnection::finished);
    QPointer<QObject> first = connection->createRemoteObjectInternal("Calculator", QVariant(), serverUrl());
    const std::unique_ptr<QObject> second(connection->createRemoteObjectInternal("Calculator", {}, serverUrl()));
    QVERIFY(first && second);
    QTRY_COMPARE(m_served.size(), 1);

    end(first, ending, errorInfo);
    QCOMPARE(finished.count(), finishesAtOnce ? 1 : 0);
    const std::unique_ptr<QObject> third(connection->createRemoteObjectInternal("Calculator", {}, serverUrl()));
    QCOMPARE(third == nullptr, finishesAtOnce);

    delete first;
    if (third)
        end(third.get(), Ending::Disconnected, {});
    QCOMPARE(finished.count(), finishesAtOnce ? 1 : 0);
    end(second.get(), Ending::Disconnected, {});
    QCOMPARE(finished.count(), 1);
    QVERIFY(!connection->createRemoteObjectInternal("Calculator", {}, serverUrl()));
    connection.reset();
    QCOMPARE(finished.count(), 1);
}

void tst_WebSocketBasedClientZetoConnection::transportEndFinishes_data()
{
    QTest::addColumn<bool>("serverListens");

    QTest::newRow("server unreachable") << false;
    QTest::newRow("server drops the socket") << true;
}

void tst_WebSocketBasedClientZetoConnection::transportEndFinishes()
{
    QFETCH(bool, serverListens);

    if (!serverListens)
        m_server->close();
    const std::unique_ptr<WebSocketBasedClientZetoConnection> connection = connectToServer();
    QSignalSpy finished(connection.get(), &WebSocketBasedClientZetoConnection::finished);
    const std::unique_ptr<QObject> internal(connection->createRemoteObjectInternal("Calculator", {}, serverUrl()));
    QVERIFY(internal);
    if (serverListens) {
        QTRY_COMPARE(m_served.size(), 1);
        QCOMPARE(finished.count(), 0);
        m_served.clear();
    }

    QTRY_COMPARE(finished.count(), 1);
    QVERIFY(!connection->createRemoteObjectInternal("Calculator", {}, serverUrl()));
    QCOMPARE(connection->host(), QStringLiteral("localhost"));
    QCOMPARE(connection->port(), m_server->serverPort());
}

QTEST_MAIN(tst_WebSocketBasedClientZetoConnection)
#include "tst_WebSocketBasedClientZetoConnection.moc"
