#include "ZetoTcpServer.h"

#include <QtCore/QLoggingCategory>
#include <QtCore/QTimer>
#include <QtNetwork/QSslSocket>

#include <unistd.h>

namespace Zeto {

namespace {

Q_LOGGING_CATEGORY(lcZetoTcpServer, "zeto.server.tcp")

// Ample for a WebSocket upgrade request. Until the socket is handed over the
// server reads no further, so a peer that never ends its request fills no
// memory, and QWebSocketServer, which looks at all that is unread on every
// read, never looks at more.
constexpr qint64 MaxUnreadHandshakeBytes = 64 * 1024;

// Disconnects only what the server connected, so that the socket still
// reports its deletion.
void drop(QTcpSocket *socket)
{
    socket->disconnect(socket);
    socket->abort();
    socket->deleteLater();
}

// A socket that could not take the descriptor leaves it open.
bool adopt(QTcpSocket &socket, qintptr socketDescriptor)
{
    if (socket.setSocketDescriptor(socketDescriptor))
        return true;
    ::close(int(socketDescriptor));
    return false;
}

} // namespace

ZetoTcpServer::ZetoTcpServer(int handshakeTimeoutInMs, QObject *parent)
    : QTcpServer(parent),
      m_handshakeTimeoutInMs(handshakeTimeoutInMs)
{
}

ZetoTcpServer::~ZetoTcpServer() = default;

void ZetoTcpServer::setSslConfiguration(const QSslConfiguration &sslConfiguration)
{
    m_sslConfiguration = sslConfiguration;
    m_secure = true;
}

bool ZetoTcpServer::isSecure() const
{
    return m_secure;
}

void ZetoTcpServer::setMaxPendingHandshakes(int maxPendingHandshakes) { m_maxPendingHandshakes = maxPendingHandshakes; }

int ZetoTcpServer::pendingHandshakeCount() const { return m_pendingHandshakes.size(); }

int ZetoTcpServer::handOver(QTcpSocket *socket)
{
    socket->disconnect(socket);
    socket->setReadBufferSize(0);
    QTimer *deadline = m_pendingHandshakes.value(socket);
    const int remainingInMs = deadline->remainingTime();
    deadline->stop();
    return remainingInMs;
}

void ZetoTcpServer::finishHandshake(QTcpSocket *socket)
{
    if (m_pendingHandshakes.remove(socket) > 0)
        m_refusing = false;
}

void ZetoTcpServer::incomingConnection(qintptr socketDescriptor)
{
    if (m_pendingHandshakes.size() >= m_maxPendingHandshakes)
        refuse(socketDescriptor);
    else if (m_secure)
        acceptSecure(socketDescriptor);
    else
        acceptPlain(socketDescriptor);
}

template <typename Socket>
Socket *ZetoTcpServer::takeSocket(qintptr socketDescriptor)
{
    auto *socket = new Socket(this);
    if (!adopt(*socket, socketDescriptor)) {
        delete socket;
        return nullptr;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setReadBufferSize(MaxUnreadHandshakeBytes);
    startHandshakeDeadline(socket);
    return socket;
}

void ZetoTcpServer::acceptPlain(qintptr socketDescriptor)
{
    if (QTcpSocket *socket = takeSocket<QTcpSocket>(socketDescriptor))
        Q_EMIT socketReady(socket);
}

void ZetoTcpServer::acceptSecure(qintptr socketDescriptor)
{
    QSslSocket *socket = takeSocket<QSslSocket>(socketDescriptor);
    if (!socket)
        return;
    socket->setSslConfiguration(m_sslConfiguration);
    connect(socket, &QSslSocket::encrypted, socket, [this, socket] { Q_EMIT socketReady(socket); });
    socket->startServerEncryption();
}

// A client that fails its handshake, leaves, or leaves it unfinished for too
// long costs the server nothing beyond that time. The socket is deleted
// later: QWebSocketServer may still have a queued call about it.
void ZetoTcpServer::startHandshakeDeadline(QTcpSocket *socket)
{
    auto *deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    deadline->setTimerType(Qt::PreciseTimer);
    connect(deadline, &QTimer::timeout, socket, [socket] { drop(socket); });
    connect(socket, &QAbstractSocket::errorOccurred, socket, [socket] { drop(socket); });
    connect(socket, &QAbstractSocket::disconnected, socket, [socket] { drop(socket); });
    connect(socket, &QObject::destroyed, this, [this, socket] { finishHandshake(socket); });
    m_pendingHandshakes.insert(socket, deadline);
    deadline->start(m_handshakeTimeoutInMs);
}

void ZetoTcpServer::refuse(qintptr socketDescriptor)
{
    QTcpSocket socket;
    if (!adopt(socket, socketDescriptor))
        return;
    if (!m_refusing) {
        qCWarning(lcZetoTcpServer, "Refusing connections from %s and others: %d handshakes are unfinished.",
                  qPrintable(socket.peerAddress().toString()), m_maxPendingHandshakes);
        m_refusing = true;
    }
    socket.abort();
}

} // namespace Zeto
