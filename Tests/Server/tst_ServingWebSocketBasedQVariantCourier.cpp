#include <WebSocketBasedQVariantCourier/QVariantReaderWriter.h>
#include <WebSocketBasedQVariantCourier/ServingWebSocketBasedQVariantCourier.h>
#include <WebSocketBasedQVariantCourier/WebSocketBasedQVariantCourier.h>
#include <WebSocketBasedQVariantCourier/ZetoWebSocketServer.h>

#include <TestCertificates.h>

#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QRandomGenerator>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QSslSocket>
#include <QtTest/QtTest>
#include <QtWebSockets/QWebSocket>

#include <algorithm>
#include <memory>

using Zeto::ErrorInfo;
using Zeto::QVariantReaderWriter;
using Zeto::ServingCourierSettings;
using Zeto::ServingWebSocketBasedQVariantCourier;
using Zeto::WebSocketBasedQVariantCourier;
using Zeto::ZetoWebSocketServer;
using Zeto::Testing::testClientSslConfiguration;
using Zeto::Testing::testServerSslConfiguration;

using ServingCourier = QSharedPointer<ServingWebSocketBasedQVariantCourier>;

namespace {

QByteArray reply(const QByteArray &version, const QByteArray &algorithm, const QByteArray &token)
{
    return R"({"dataStreamVersion":)" + version + R"(,"hmacAlgorithm":)" + algorithm + R"(,"token":)" + token + "}";
}

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

ErrorInfo firstError(const QSignalSpy &errors)
{
    return errors.isEmpty() ? ErrorInfo() : errors.first().first().value<ErrorInfo>();
}

enum class Transport { Plain, Tls };

// A ZetoWebSocketServer on 127.0.0.1 that keeps every courier it serves.
class Server
{
public:
    explicit Server(const ServingCourierSettings &settings, Transport transport = Transport::Plain)
        : server(new ZetoWebSocketServer(settings))
    {
        QObject::connect(server.get(), &ZetoWebSocketServer::newCourier, server.get(),
                         [this](const ServingCourier &courier) { couriers.append(courier); });
        if (transport == Transport::Tls)
            server->setSslConfiguration(testServerSslConfiguration());
        server->listen(QHostAddress::LocalHost, 0);
    }

    QUrl url(const QString &scheme) const
    {
        return QUrl(QStringLiteral("%1://127.0.0.1:%2/objects").arg(scheme).arg(server->serverPort()));
    }

    std::unique_ptr<WebSocketBasedQVariantCourier>
    connectClient(const QString &scheme = QStringLiteral("zeto"),
                  const QSslConfiguration &sslConfiguration = QSslConfiguration::defaultConfiguration()) const
    {
        return std::make_unique<WebSocketBasedQVariantCourier>(url(scheme), sslConfiguration,
                                                               QNetworkProxy(QNetworkProxy::NoProxy));
    }

    bool waitForCourier() { return QTest::qWaitFor([this] { return !couriers.isEmpty(); }, 5000); }

    std::unique_ptr<ZetoWebSocketServer> server;
    QList<ServingCourier> couriers;
};

// A bare WebSocket that plays the client's part of the handshake by hand.
class RawClient
{
public:
    explicit RawClient(const QUrl &url)
        : messages(&socket, &QWebSocket::binaryMessageReceived),
          disconnected(&socket, &QWebSocket::disconnected)
    {
        socket.setProxy(QNetworkProxy::NoProxy);
        socket.open(url);
    }

    QJsonObject waitForHello()
    {
        if (messages.isEmpty() && !messages.wait())
            return QJsonObject();
        return QJsonDocument::fromJson(messages.first().first().toByteArray()).object();
    }

    QWebSocket socket;
    QSignalSpy messages;
    QSignalSpy disconnected;
};

} // namespace

class tst_ServingWebSocketBasedQVariantCourier : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data();
    void initTestCase();

    void sendsHelloWithOwnersChoice();
    void exchangesFramesBothWays_data();
    void exchangesFramesBothWays();
    void rejectsReply_data();
    void rejectsReply();
    void failsLateReply();
    void reportsClientLeaving();
    void outlivesItsServer();
    void carriesLargestValue();
    void setsLowDelayOnBothEnds();
    void carriesFramesOverTls();
    void refusesUntrustedCertificate();
    void dropsUnfinishedTlsHandshake();

private:
    ServingCourierSettings settings() const;
};

void tst_ServingWebSocketBasedQVariantCourier::initTestCase_data()
{
    QTest::addColumn<bool>("compress");
    QTest::newRow("plain") << false;
    QTest::newRow("compressed") << true;
}

void tst_ServingWebSocketBasedQVariantCourier::initTestCase()
{
    qRegisterMetaType<ErrorInfo>();
}

ServingCourierSettings tst_ServingWebSocketBasedQVariantCourier::settings() const
{
    QFETCH_GLOBAL(bool, compress);
    ServingCourierSettings settings;
    settings.compress = compress;
    settings.compressMinSizeInBytes = 0;
    return settings;
}

void tst_ServingWebSocketBasedQVariantCourier::sendsHelloWithOwnersChoice()
{
    Server server{ServingCourierSettings()};
    RawClient client(server.url(QStringLiteral("ws")));
    const QJsonObject hello = client.waitForHello();
    QCOMPARE(hello.size(), 5);
    QCOMPARE(hello.value(QStringLiteral("dataStreamVersion")).toInt(), 1);
    QCOMPARE(hello.value(QStringLiteral("hmacAlgorithm")).toInt(), int(QCryptographicHash::Sha1));
    QCOMPARE(hello.value(QStringLiteral("compress")).toBool(), true);
    QCOMPARE(hello.value(QStringLiteral("compressMinSizeInBytes")).toInt(), 256);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{128}$")).match(hello.value(QStringLiteral("token")).toString()).hasMatch());
}

void tst_ServingWebSocketBasedQVariantCourier::exchangesFramesBothWays_data()
{
    QTest::addColumn<int>("algorithm");
    QTest::newRow("SHA-1") << int(QCryptographicHash::Sha1);
    QTest::newRow("SHA-256") << int(QCryptographicHash::Sha256);
    QTest::newRow("SHA-512") << int(QCryptographicHash::Sha512);
}

void tst_ServingWebSocketBasedQVariantCourier::exchangesFramesBothWays()
{
    QFETCH(int, algorithm);
    ServingCourierSettings chosen = settings();
    chosen.hmacAlgorithm = QCryptographicHash::Algorithm(algorithm);
    Server server(chosen);
    const auto client = server.connectClient();
    QSignalSpy clientReceived(client.get(), &WebSocketBasedQVariantCourier::receivedQVariant);
    const QVariantList fromClient{QStringLiteral("first"), QString(4096, QLatin1Char('z')), 3};
    for (const QVariant &value : fromClient)
        client->sendQVariant(value);
    QVERIFY(server.waitForCourier());
    const ServingCourier serving = server.couriers.first();
    QSignalSpy servingReceived(serving.data(), &ServingWebSocketBasedQVariantCourier::receivedQVariant);
    QSignalSpy errors(serving.data(), &ServingWebSocketBasedQVariantCourier::error);
    const QVariantMap fromServer{{QStringLiteral("answer"), randomBytes(2048)}};
    serving->sendQVariant(fromServer);

    QTRY_COMPARE(servingReceived.size(), fromClient.size());
    for (int i = 0; i < fromClient.size(); ++i)
        QCOMPARE(servingReceived.at(i).first(), fromClient.at(i));
    QTRY_COMPARE(clientReceived.size(), 1);
    QCOMPARE(clientReceived.first().first(), QVariant(fromServer));
    QVERIFY(errors.isEmpty());
}

void tst_ServingWebSocketBasedQVariantCourier::rejectsReply_data()
{
    const QByteArray token = '"' + QByteArray(128, 'a') + '"';
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("not JSON") << QByteArray("reply");
    QTest::newRow("array") << QByteArray("[1,2,3]");
    QTest::newRow("fourth key") << QByteArray(R"({"compress":true,"dataStreamVersion":1,"hmacAlgorithm":2,"token":"t"})");
    QTest::newRow("missing token") << QByteArray(R"({"dataStreamVersion":1,"hmacAlgorithm":2})");
    QTest::newRow("empty token") << reply("1", "2", R"("")");
    QTest::newRow("token over 1 KiB") << reply("1", "2", '"' + QByteArray(1025, 'a') + '"');
    QTest::newRow("token a number") << reply("1", "2", "7");
    QTest::newRow("version 0") << reply("0", "2", token);
    QTest::newRow("version 1e300") << reply("1e300", "2", token);
    QTest::newRow("unknown algorithm") << reply("1", "99", token);
    QTest::newRow("algorithm 2.5") << reply("1", "2.5", token);
    QByteArray padded = reply("1", "2", token);
    padded.insert(1, QByteArray(Zeto::MaxHandshakeMessageSize + 1 - padded.size(), ' '));
    QTest::newRow("reply over 4 KiB") << padded;
}

void tst_ServingWebSocketBasedQVariantCourier::rejectsReply()
{
    QFETCH(QByteArray, reply);
    Server server(settings());
    RawClient client(server.url(QStringLiteral("ws")));
    QVERIFY(!client.waitForHello().isEmpty());
    QVERIFY(server.waitForCourier());
    QSignalSpy errors(server.couriers.first().data(), &ServingWebSocketBasedQVariantCourier::error);
    client.socket.sendBinaryMessage(reply);
    QVERIFY(errors.wait());
    QCOMPARE(firstError(errors), Zeto::makeErrorInfo(Zeto::ZetoHandshakeFailed));
    QVERIFY(client.disconnected.wait());
    QCOMPARE(errors.size(), 1);
}

void tst_ServingWebSocketBasedQVariantCourier::failsLateReply()
{
    ServingCourierSettings chosen = settings();
    chosen.handshakeTimeoutInMs = 100;
    Server server(chosen);
    // The handshake time counts from the connection's accept.
    QElapsedTimer clock;
    clock.start();
    RawClient client(server.url(QStringLiteral("ws")));
    QVERIFY(server.waitForCourier());
    QSignalSpy errors(server.couriers.first().data(), &ServingWebSocketBasedQVariantCourier::error);
    QVERIFY(errors.wait());
    QVERIFY(clock.elapsed() >= 90);
    QCOMPARE(firstError(errors), Zeto::makeErrorInfo(Zeto::ZetoHandshakeFailed));
    QVERIFY(client.disconnected.wait());
}

void tst_ServingWebSocketBasedQVariantCourier::reportsClientLeaving()
{
    Server server(settings());
    auto client = server.connectClient();
    QVERIFY(server.waitForCourier());
    QSignalSpy errors(server.couriers.first().data(), &ServingWebSocketBasedQVariantCourier::error);
    client.reset();
    QVERIFY(errors.wait());
    QCOMPARE(firstError(errors), Zeto::makeErrorInfo(Zeto::ConnectionDropped));
}

// The TCP socket goes with the courier's WebSocket, not with the server.
void tst_ServingWebSocketBasedQVariantCourier::outlivesItsServer()
{
    Server server(settings());
    const auto client = server.connectClient();
    QVERIFY(server.waitForCourier());
    const ServingCourier serving = server.couriers.first();
    QSignalSpy servingReceived(serving.data(), &ServingWebSocketBasedQVariantCourier::receivedQVariant);
    QSignalSpy errors(serving.data(), &ServingWebSocketBasedQVariantCourier::error);
    server.server.reset();
    client->sendQVariant(QStringLiteral("still there"));
    QVERIFY(servingReceived.wait());
    QVERIFY(errors.isEmpty());
}

void tst_ServingWebSocketBasedQVariantCourier::carriesLargestValue()
{
    Server server(settings());
    const auto client = server.connectClient();
    QVERIFY(server.waitForCourier());
    QSignalSpy servingReceived(server.couriers.first().data(), &ServingWebSocketBasedQVariantCourier::receivedQVariant);
    // Room for the stream's header and the frame's HMAC and flag.
    const QByteArray largest(QVariantReaderWriter::MaxMessageSize - 256, 'v');
    client->sendQVariant(largest);
    QVERIFY(servingReceived.wait(60000));
    QCOMPARE(servingReceived.first().first().toByteArray().size(), largest.size());
}

// Without TCP_NODELAY a round trip of a value this size waits for the delayed ACK.
void tst_ServingWebSocketBasedQVariantCourier::setsLowDelayOnBothEnds()
{
    Server server(settings());
    const auto client = server.connectClient();
    QSignalSpy clientReceived(client.get(), &WebSocketBasedQVariantCourier::receivedQVariant);
    QVERIFY(server.waitForCourier());
    const ServingCourier serving = server.couriers.first();
    connect(serving.data(), &ServingWebSocketBasedQVariantCourier::receivedQVariant, serving.data(),
            [&serving](const QVariant &value) { serving->sendQVariant(value); });
    const QVariant value = randomBytes(48 * 1024);
    client->sendQVariant(value);
    QVERIFY(clientReceived.wait());
    QCOMPARE(client->tcpSocket()->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
    QCOMPARE(serving->tcpSocket()->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);

    QVector<qint64> roundTrips;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer clock;
        clock.start();
        client->sendQVariant(value);
        QVERIFY(clientReceived.wait());
        roundTrips.append(clock.nsecsElapsed() / 1000);
    }
    std::sort(roundTrips.begin(), roundTrips.end());
    qInfo("48 KiB round trip, median %lld us", roundTrips.at(roundTrips.size() / 2));
    QVERIFY(roundTrips.at(roundTrips.size() / 2) < 30 * 1000);
    QCOMPARE(clientReceived.last().first(), value);
}

void tst_ServingWebSocketBasedQVariantCourier::carriesFramesOverTls()
{
    Server server(settings(), Transport::Tls);
    QVERIFY(server.server->isSecure());
    const auto client = server.connectClient(QStringLiteral("zetos"), testClientSslConfiguration());
    QSignalSpy clientReceived(client.get(), &WebSocketBasedQVariantCourier::receivedQVariant);
    QSignalSpy clientErrors(client.get(), &WebSocketBasedQVariantCourier::error);
    client->sendQVariant(QStringLiteral("over TLS"));
    QVERIFY(server.waitForCourier());
    const ServingCourier serving = server.couriers.first();
    QSignalSpy servingReceived(serving.data(), &ServingWebSocketBasedQVariantCourier::receivedQVariant);
    const QVariant answer = randomBytes(4096);
    serving->sendQVariant(answer);

    QTRY_COMPARE(servingReceived.size(), 1);
    QCOMPARE(servingReceived.first().first(), QVariant(QStringLiteral("over TLS")));
    QTRY_COMPARE(clientReceived.size(), 1);
    QCOMPARE(clientReceived.first().first(), answer);
    QVERIFY(clientErrors.isEmpty());
    const auto *tlsSocket = qobject_cast<QSslSocket *>(serving->tcpSocket());
    QVERIFY(tlsSocket && tlsSocket->isEncrypted());
    QCOMPARE(client->tcpSocket()->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
    QCOMPARE(serving->tcpSocket()->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
}

// The client does not ignore TLS errors: it reports the first and the server
// never sees a WebSocket.
void tst_ServingWebSocketBasedQVariantCourier::refusesUntrustedCertificate()
{
    Server server(settings(), Transport::Tls);
    const auto client = server.connectClient(QStringLiteral("zetos"));
    QSignalSpy clientErrors(client.get(), &WebSocketBasedQVariantCourier::error);
    client->sendQVariant(QStringLiteral("never sent"));
    QVERIFY(clientErrors.wait());
    QCOMPARE(firstError(clientErrors), Zeto::makeErrorInfo(QSslError::SelfSignedCertificate));
    QVERIFY(server.couriers.isEmpty());
    QCOMPARE(clientErrors.size(), 1);
}

void tst_ServingWebSocketBasedQVariantCourier::dropsUnfinishedTlsHandshake()
{
    ServingCourierSettings chosen = settings();
    chosen.handshakeTimeoutInMs = 100;
    Server server(chosen, Transport::Tls);
    QTcpSocket silent;
    QSignalSpy disconnected(&silent, &QTcpSocket::disconnected);
    silent.connectToHost(QHostAddress::LocalHost, server.server->serverPort());
    QVERIFY(silent.waitForConnected(5000));
    QVERIFY(disconnected.wait());
    QVERIFY(server.couriers.isEmpty());
}

QTEST_GUILESS_MAIN(tst_ServingWebSocketBasedQVariantCourier)
#include "tst_ServingWebSocketBasedQVariantCourier.moc"
