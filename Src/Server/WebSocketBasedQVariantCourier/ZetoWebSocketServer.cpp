#include "ZetoWebSocketServer.h"

#include <QtNetwork/QTcpSocket>
#include <QtWebSockets/QWebSocket>

namespace Zeto {

ZetoWebSocketServer::ZetoWebSocketServer(const ServingCourierSettings &settings, QObject *parent)
    : QObject(parent),
      m_settings(settings),
      m_tcpServer(settings.handshakeTimeoutInMs),
      m_webSocketServer(QStringLiteral("Zeto"), QWebSocketServer::NonSecureMode)
{
    connect(&m_tcpServer, &ZetoTcpServer::socketReady, &m_webSocketServer, &QWebSocketServer::handleConnection);
    connect(&m_webSocketServer, &QWebSocketServer::newConnection, this, &ZetoWebSocketServer::onNewWebSocketConnection);
}

ZetoWebSocketServer::~ZetoWebSocketServer() = default;

void ZetoWebSocketServer::setSslConfiguration(const QSslConfiguration &sslConfiguration)
{
    m_tcpServer.setSslConfiguration(sslConfiguration);
}

bool ZetoWebSocketServer::isSecure() const
{
    return m_tcpServer.isSecure();
}

bool ZetoWebSocketServer::listen(const QHostAddress &address, quint16 port)
{
    return m_tcpServer.listen(address, port);
}

void ZetoWebSocketServer::close()
{
    m_tcpServer.close();
}

QHostAddress ZetoWebSocketServer::serverAddress() const
{
    return m_tcpServer.serverAddress();
}

quint16 ZetoWebSocketServer::serverPort() const
{
    return m_tcpServer.serverPort();
}

QString ZetoWebSocketServer::errorString() const
{
    return m_tcpServer.errorString();
}

void ZetoWebSocketServer::onNewWebSocketConnection()
{
    while (QWebSocket *webSocket = m_webSocketServer.nextPendingConnection()) {
        adoptTcpSocket(webSocket);
        Q_EMIT newCourier(QSharedPointer<ServingWebSocketBasedQVariantCourier>::create(webSocket, m_settings));
    }
}

// QWebSocket neither takes nor deletes the TCP socket it was upgraded from,
// which would stay a child of the TCP server until the server goes.
void ZetoWebSocketServer::adoptTcpSocket(QWebSocket *webSocket)
{
    const auto sockets = m_tcpServer.findChildren<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly);
    for (QTcpSocket *socket : sockets) {
        if (socket->peerPort() == webSocket->peerPort() && socket->peerAddress() == webSocket->peerAddress()) {
            socket->setParent(webSocket);
            return;
        }
    }
}

} // namespace Zeto
