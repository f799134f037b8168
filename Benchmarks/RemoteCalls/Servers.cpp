#include "Servers.h"

#include "BenchService.h"
#include "BenchmarkProcess.h"

#include <ZetoSdk/ZetoServer>

#include <QtCore/QLoggingCategory>
#include <QtCore/QtEndian>
#include <QtNetwork/QTcpServer>
#include <QtRemoteObjects/QRemoteObjectHost>
#include <QtWebSockets/QWebSocket>
#include <QtWebSockets/QWebSocketServer>

#include <memory>

namespace Servers {

namespace {

int serveOurs()
{
    Zeto::Server::ZetoServer server;
    server.registerClass<BenchService>(BenchServicePath);
    if (!server.listen(QHostAddress::LocalHost, 0))
        Bench::fail(server.errorString());
    return Bench::serveOn(server.serverPort());
}

int serveQtRemoteObjects()
{
    BenchService service;
    QRemoteObjectHost host(QUrl(QStringLiteral("tcp://127.0.0.1:0")));
    if (!host.enableRemoting(&service, BenchServiceName))
        Bench::fail(QStringLiteral("Qt Remote Objects does not serve the object"));
    return Bench::serveOn(quint16(host.hostUrl().port()));
}

// Accepts TCP itself so that TCP_NODELAY is on from the start, as on our
// server; the first four bytes of a message give the answer's size.
class RawEchoServer : public QObject
{
public:
    RawEchoServer() : m_webSocketServer(QStringLiteral("bench"), QWebSocketServer::NonSecureMode)
    {
        connect(&m_tcpServer, &QTcpServer::newConnection, this, [this] { upgradeNextConnection(); });
        connect(&m_webSocketServer, &QWebSocketServer::newConnection, this, [this] { serveNextWebSocket(); });
        if (!m_tcpServer.listen(QHostAddress::LocalHost, 0))
            Bench::fail(m_tcpServer.errorString());
    }

    quint16 port() const { return m_tcpServer.serverPort(); }

private:
    void upgradeNextConnection()
    {
        QTcpSocket *socket = m_tcpServer.nextPendingConnection();
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_webSocketServer.handleConnection(socket);
    }

    void serveNextWebSocket()
    {
        m_client.reset(m_webSocketServer.nextPendingConnection());
        connect(m_client.get(), &QWebSocket::binaryMessageReceived, this,
                [this](const QByteArray &message) { answer(message); });
    }

    void answer(const QByteArray &message)
    {
        const int size = int(qFromBigEndian<quint32>(message.constData()));
        if (m_answer.size() != size)
            m_answer = QByteArray(size, 'a');
        m_client->sendBinaryMessage(m_answer);
    }

    QTcpServer m_tcpServer;
    QWebSocketServer m_webSocketServer;
    std::unique_ptr<QWebSocket> m_client;
    QByteArray m_answer;
};

int serveRawWebSocket()
{
    RawEchoServer server;
    return Bench::serveOn(server.port());
}

} // namespace

int serve(const QString &role)
{
    // The measuring side's table is the output; a line per connection would bury it.
    QLoggingCategory::setFilterRules(QStringLiteral("zeto.*.info=false"));
    if (role == Ours)
        return serveOurs();
    if (role == QtRemoteObjects)
        return serveQtRemoteObjects();
    if (role == RawWebSocket)
        return serveRawWebSocket();
    Bench::fail(QStringLiteral("no server called %1").arg(role));
}

} // namespace Servers
