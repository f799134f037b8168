#include <WebSocketBasedQVariantCourier/ServingWebSocketBasedQVariantCourier.h>
#include <WebSocketBasedQVariantCourier/WebSocketBasedQVariantCourier.h>
#include <WebSocketBasedQVariantCourier/ZetoWebSocketServer.h>

#include <MessageLog.h>
#include <TestCertificates.h>

#include <QtCore/QElapsedTimer>
#include <QtCore/QTimer>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslSocket>
#include <QtTest/QtTest>

#include <memory>
#include <vector>

using Zeto::ServingCourierSettings;
using Zeto::ServingWebSocketBasedQVariantCourier;
using Zeto::WebSocketBasedQVariantCourier;
using Zeto::ZetoWebSocketServer;
using Zeto::Testing::MessageLog;
using Zeto::Testing::testClientSslConfiguration;
using Zeto::Testing::testServerSslConfiguration;

namespace {

constexpr int DeadlineInMs = 1500;
// Each hostile client lingers this long before its next step, so that a
// deadline restarted by a later stage would show (closing after
// DwellInMs + DeadlineInMs at the earliest, beyond the margin below).
constexpr int DwellInMs = 1000;
constexpr int DripIntervalInMs = 20;
// Wide, for loaded and sanitized runs: the flooding client encrypts in the
// server's thread. Below DwellInMs, so that a restarted deadline still shows.
constexpr int MarginInMs = 900;
// More than the kernel's buffers take from a server that does not read.
constexpr int FloodSize = 16 * 1024 * 1024;

enum class Behaviour { Silent, DripsUpgrade, FloodsUpgrade, IgnoresHello };
// What holds the pending handshakes when one more client comes.
enum class Occupant { Silent, Served, Gone };

QByteArray upgradeRequest(quint16 port)
{
    return "GET /objects HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
        + "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
}

// A ZetoWebSocketServer on 127.0.0.1 with a short deadline that keeps every
// courier it serves and records what they receive.
class Server
{
public:
    explicit Server(bool tls)
    {
        ServingCourierSettings settings;
        settings.handshakeTimeoutInMs = DeadlineInMs;
        server = std::make_unique<ZetoWebSocketServer>(settings);
        QObject::connect(server.get(), &ZetoWebSocketServer::newCourier, server.get(), [this](const Courier &courier) {
            couriers.append(courier);
            QObject::connect(courier.data(), &ServingWebSocketBasedQVariantCourier::receivedQVariant, server.get(),
                             [this](const QVariant &value) { received.append(value); });
        });
        if (tls)
            server->setSslConfiguration(testServerSslConfiguration());
        server->listen(QHostAddress::LocalHost, 0);
    }

    quint16 port() const { return server->serverPort(); }

    using Courier = QSharedPointer<ServingWebSocketBasedQVariantCourier>;
    std::unique_ptr<ZetoWebSocketServer> server;
    QList<Courier> couriers;
    QVariantList received;
};

// The SDK's own client, which answers the hello at once.
struct WellBehavedClient
{
    WellBehavedClient(const Server &server, bool tls)
        : courier(QUrl(QStringLiteral("%1://127.0.0.1:%2/objects")
                           .arg(tls ? QStringLiteral("zetos") : QStringLiteral("zeto"))
                           .arg(server.port())),
                  testClientSslConfiguration(), QNetworkProxy(QNetworkProxy::NoProxy)),
          errors(&courier, &WebSocketBasedQVariantCourier::error)
    {}

    // The value reaches a serving courier only after the hello is answered.
    bool isServedBy(const Server &server, const QString &value)
    {
        courier.sendQVariant(value);
        return QTest::qWaitFor([&] { return server.received.contains(value); }, 5000);
    }

    WebSocketBasedQVariantCourier courier;
    QSignalSpy errors;
};

// Plays a client that goes only so far into the handshake, or too slowly.
// Over TLS it waits before it starts TLS; over plain TCP, before its step.
class HostileClient
{
public:
    HostileClient(quint16 port, bool tls, Behaviour behaviour)
        : m_behaviour(behaviour),
          m_request(upgradeRequest(port)),
          m_disconnected(&m_socket, &QAbstractSocket::disconnected)
    {
        m_socket.setProxy(QNetworkProxy::NoProxy);
        m_socket.setPeerVerifyMode(QSslSocket::VerifyNone);
        QObject::connect(&m_socket, &QAbstractSocket::connected, &m_socket, [this, tls] {
            m_sinceConnected.start();
            QTimer::singleShot(DwellInMs, &m_socket, [this, tls] { tls ? m_socket.startClientEncryption() : act(); });
        });
        QObject::connect(&m_socket, &QSslSocket::encrypted, &m_socket, [this] { act(); });
        QObject::connect(&m_socket, &QAbstractSocket::disconnected, &m_socket,
                         [this] { m_openForInMs = m_sinceConnected.elapsed(); });
        // Over TLS, bytesWritten counts what is encrypted, not what the kernel took.
        const auto countSent = [this](qint64 bytes) { sentBytes += bytes; };
        if (tls)
            QObject::connect(&m_socket, &QSslSocket::encryptedBytesWritten, &m_socket, countSent);
        else
            QObject::connect(&m_socket, &QIODevice::bytesWritten, &m_socket, countSent);
        QObject::connect(&m_socket, &QIODevice::readyRead, &m_socket, [this] { received += m_socket.readAll(); });
        QObject::connect(&m_drip, &QTimer::timeout, &m_socket, [this] { dripNextByte(); });
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    }

    bool waitForClose(int timeoutInMs) { return !m_disconnected.isEmpty() || m_disconnected.wait(timeoutInMs); }
    qint64 openForInMs() const { return m_openForInMs; }
    bool isOpen() const { return m_disconnected.isEmpty(); }

    bool tookItsStep = false;
    qint64 sentBytes = 0;
    QByteArray received;

private:
    void act()
    {
        tookItsStep = true;
        switch (m_behaviour) {
        case Behaviour::Silent: break;
        case Behaviour::DripsUpgrade: m_drip.start(DripIntervalInMs); break;
        case Behaviour::FloodsUpgrade: m_socket.write(endlessRequest()); break;
        case Behaviour::IgnoresHello: m_socket.write(m_request); break;
        }
    }

    // A request line, then one header line that never ends.
    QByteArray endlessRequest() const
    {
        return m_request.left(m_request.indexOf('\n') + 1) + QByteArray(FloodSize, 'a');
    }

    void dripNextByte()
    {
        m_socket.write(m_request.left(1));
        m_request.remove(0, 1);
    }

    const Behaviour m_behaviour;
    QByteArray m_request;
    QSslSocket m_socket;
    QTimer m_drip;
    QElapsedTimer m_sinceConnected;
    qint64 m_openForInMs = -1;
    QSignalSpy m_disconnected;
};

} // namespace

Q_DECLARE_METATYPE(Behaviour)
Q_DECLARE_METATYPE(Occupant)

class tst_ZetoWebSocketServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void closesUnfinishedHandshakeAtDeadline_data();
    void closesUnfinishedHandshakeAtDeadline();
    void capsPendingHandshakes_data();
    void capsPendingHandshakes();
};

void tst_ZetoWebSocketServer::closesUnfinishedHandshakeAtDeadline_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<Behaviour>("behaviour");
    QTest::newRow("silent TCP")                         << false << Behaviour::Silent;
    QTest::newRow("drips the upgrade")                  << false << Behaviour::DripsUpgrade;
    QTest::newRow("floods the upgrade")                 << false << Behaviour::FloodsUpgrade;
    QTest::newRow("never answers the hello")            << false << Behaviour::IgnoresHello;
    QTest::newRow("silent after slow TLS")              << true  << Behaviour::Silent;
    QTest::newRow("drips the upgrade over TLS")         << true  << Behaviour::DripsUpgrade;
    QTest::newRow("floods the upgrade over TLS")        << true  << Behaviour::FloodsUpgrade;
    QTest::newRow("never answers the hello over TLS")   << true  << Behaviour::IgnoresHello;
}

void tst_ZetoWebSocketServer::closesUnfinishedHandshakeAtDeadline()
{
    QFETCH(bool, tls);
    QFETCH(Behaviour, behaviour);
    Server server(tls);
    HostileClient hostile(server.port(), tls, behaviour);
    WellBehavedClient wellBehaved(server, tls);
    QElapsedTimer sinceWellBehavedCame;
    sinceWellBehavedCame.start();
    QVERIFY(wellBehaved.isServedBy(server, QStringLiteral("before")));

    QVERIFY(hostile.waitForClose(DeadlineInMs + MarginInMs + 1000));
    QVERIFY(hostile.tookItsStep);
    QCOMPARE(hostile.received.startsWith("HTTP/1.1 101"), behaviour == Behaviour::IgnoresHello);
    QVERIFY2(hostile.openForInMs() >= DeadlineInMs - 50, qPrintable(QString::number(hostile.openForInMs())));
    QVERIFY2(hostile.openForInMs() <= DeadlineInMs + MarginInMs, qPrintable(QString::number(hostile.openForInMs())));
    QVERIFY2(hostile.sentBytes < FloodSize / 2, qPrintable(QString::number(hostile.sentBytes)));

    // The well-behaved client outlives its own deadline.
    QVERIFY(!wellBehaved.errors.wait(int(qMax<qint64>(0, DeadlineInMs + MarginInMs - sinceWellBehavedCame.elapsed()))));
    QVERIFY(wellBehaved.isServedBy(server, QStringLiteral("after")));
    QCOMPARE(server.server->pendingHandshakeCount(), 0);
}

void tst_ZetoWebSocketServer::capsPendingHandshakes_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<int>("cap");
    QTest::addColumn<Occupant>("occupant");
    QTest::newRow("one silent")             << false << 1 << Occupant::Silent;
    QTest::newRow("three silent")           << false << 3 << Occupant::Silent;
    QTest::newRow("two silent after TLS")   << true  << 2 << Occupant::Silent;
    QTest::newRow("two served")             << false << 2 << Occupant::Served;
    QTest::newRow("two served over TLS")    << true  << 2 << Occupant::Served;
    QTest::newRow("two gone")               << false << 2 << Occupant::Gone;
}

void tst_ZetoWebSocketServer::capsPendingHandshakes()
{
    QFETCH(bool, tls);
    QFETCH(int, cap);
    QFETCH(Occupant, occupant);
    Server server(tls);
    server.server->setMaxPendingHandshakes(cap);
    std::vector<std::unique_ptr<HostileClient>> silent;
    std::vector<std::unique_ptr<WellBehavedClient>> served;
    for (int i = 0; i < cap; ++i) {
        if (occupant == Occupant::Served) {
            served.push_back(std::make_unique<WellBehavedClient>(server, tls));
            QVERIFY(served.back()->isServedBy(server, QString::number(i)));
        } else {
            silent.push_back(std::make_unique<HostileClient>(server.port(), tls, Behaviour::Silent));
        }
    }
    const bool holdSlots = occupant == Occupant::Silent;
    QTRY_COMPARE(server.server->pendingHandshakeCount(), holdSlots || occupant == Occupant::Gone ? cap : 0);
    if (occupant == Occupant::Gone) {
        silent.clear();
        QTRY_COMPARE(server.server->pendingHandshakeCount(), 0);
    }

    MessageLog log;
    HostileClient next(server.port(), false, Behaviour::Silent);
    QCOMPARE(next.waitForClose(DeadlineInMs / 2), holdSlots);
    QCOMPARE(log.warnings().size(), holdSlots ? 1 : 0);
    for (const auto &client : silent)
        QVERIFY(client->isOpen());

    for (const auto &client : silent)
        QVERIFY(client->waitForClose(DeadlineInMs + MarginInMs));
    WellBehavedClient latecomer(server, tls);
    QVERIFY(latecomer.isServedBy(server, QStringLiteral("latecomer")));
}

QTEST_GUILESS_MAIN(tst_ZetoWebSocketServer)
#include "tst_ZetoWebSocketServer.moc"
