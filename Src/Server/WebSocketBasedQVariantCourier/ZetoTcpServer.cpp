#include "ZetoTcpServer.h"

#include <QtCore/QTimer>
#include <QtNetwork/QSslSocket>

namespace Zeto {

ZetoTcpServer::ZetoTcpServer(int tlsHandshakeTimeoutInMs, QObject *parent)
    : QTcpServer(parent),
      m_tlsHandshakeTimeoutInMs(tlsHandshakeTimeoutInMs)
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

void ZetoTcpServer::incomingConnection(qintptr socketDescriptor)
{
    if (m_secure)
        acceptSecure(socketDescriptor);
    else
        acceptPlain(socketDescriptor);
}

template <typename Socket>
Socket *ZetoTcpServer::takeSocket(qintptr socketDescriptor)
{
    auto *socket = new Socket(this);
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return nullptr;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return socket;
}

void ZetoTcpServer::acceptPlain(qintptr socketDescriptor)
{
    if (QTcpSocket *socket = takeSocket<QTcpSocket>(socketDescriptor))
        Q_EMIT socketReady(socket);
}

// A client that fails the TLS handshake, or leaves it unfinished for too
// long, costs the server nothing beyond that time.
void ZetoTcpServer::acceptSecure(qintptr socketDescriptor)
{
    QSslSocket *socket = takeSocket<QSslSocket>(socketDescriptor);
    if (!socket)
        return;
    socket->setSslConfiguration(m_sslConfiguration);

    auto *deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    const auto drop = [socket] {
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
    };
    connect(deadline, &QTimer::timeout, socket, drop);
    connect(socket, &QAbstractSocket::errorOccurred, socket, drop);
    connect(socket, &QSslSocket::encrypted, this, [this, socket, deadline] {
        socket->disconnect(this);
        socket->disconnect(socket);
        delete deadline;
        Q_EMIT socketReady(socket);
    });
    deadline->start(m_tlsHandshakeTimeoutInMs);
    socket->startServerEncryption();
}

} // namespace Zeto
