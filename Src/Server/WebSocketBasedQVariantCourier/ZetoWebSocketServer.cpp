#include "ZetoWebSocketServer.h"

#include <QtCore/QPointer>
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

void ZetoWebSocketServer::setMaxPendingHandshakes(int maxPendingHandshakes)
{
    m_tcpServer.setMaxPendingHandshakes(maxPendingHandshakes);
}

int ZetoWebSocketServer::pendingHandshakeCount() const { return m_tcpServer.pendingHandshakeCount(); }

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
        if (QTcpSocket *socket = findTcpSocket(webSocket))
            Q_EMIT newCourier(serve(webSocket, socket));
        else
            webSocket->deleteLater();
    }
}

// QWebSocket neither takes nor deletes the TCP socket it was upgraded from, so
// the WebSocket takes it from the TCP server, and the courier takes what is
// left of its deadline for the answer to the hello.
QSharedPointer<ServingWebSocketBasedQVariantCourier> ZetoWebSocketServer::serve(QWebSocket *webSocket,
                                                                                QTcpSocket *socket)
{
    socket->setParent(webSocket);
    ServingCourierSettings settings = m_settings;
    settings.handshakeTimeoutInMs = m_tcpServer.handOver(socket);
    const auto courier = QSharedPointer<ServingWebSocketBasedQVariantCourier>::create(webSocket, settings);
    const QPointer<QTcpSocket> pending(socket);
    const auto finish = [this, pending] { m_tcpServer.finishHandshake(pending); };
    connect(courier.data(), &ServingWebSocketBasedQVariantCourier::handshakeCompleted, this, finish);
    connect(courier.data(), &ServingWebSocketBasedQVariantCourier::error, this, finish);
    connect(courier.data(), &QObject::destroyed, this, finish);
    return courier;
}

QTcpSocket *ZetoWebSocketServer::findTcpSocket(const QWebSocket *webSocket) const
{
    const auto sockets = m_tcpServer.findChildren<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly);
    for (QTcpSocket *socket : sockets) {
        if (socket->peerPort() == webSocket->peerPort() && socket->peerAddress() == webSocket->peerAddress())
            return socket;
    }
    return nullptr;
}

} // namespace Zeto
