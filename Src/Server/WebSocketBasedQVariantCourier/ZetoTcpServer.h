#ifndef ZETO_ZETOTCPSERVER_H
#define ZETO_ZETOTCPSERVER_H

#include <QtCore/QHash>
#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QTcpServer>

QT_BEGIN_NAMESPACE
class QTcpSocket;
class QTimer;
QT_END_NAMESPACE

namespace Zeto {

// Accepts TCP connections with TCP_NODELAY on before the first byte goes out
// and, once given a TLS configuration, finishes the TLS handshake before it
// hands a connection on. Connections arrive through socketReady, never
// through nextPendingConnection.
//
// A connection has one deadline, from accept, for its whole handshake: TLS
// and whatever its next owner adds on top. Until handOver() the socket is a
// child of the server, which aborts and deletes it when the deadline passes,
// the peer leaves or TLS fails. It counts as a pending handshake until
// finishHandshake() or its deletion; beyond the cap on those, new
// connections are closed as soon as they are accepted.
class ZetoTcpServer : public QTcpServer
{
    Q_OBJECT
    Q_DISABLE_COPY(ZetoTcpServer)

public:
    static constexpr int DefaultMaxPendingHandshakes = 1024;

    explicit ZetoTcpServer(int handshakeTimeoutInMs, QObject *parent = nullptr);
    ~ZetoTcpServer() override;

    // Serves every later connection over TLS with this certificate and key.
    void setSslConfiguration(const QSslConfiguration &sslConfiguration);
    bool isSecure() const;

    void setMaxPendingHandshakes(int maxPendingHandshakes);
    int pendingHandshakeCount() const;

    // The caller takes a socket from socketReady, and with it the rest of its
    // deadline, in milliseconds: the server no longer watches it.
    int handOver(QTcpSocket *socket);
    // The socket's handshake is over, either way: it no longer counts as pending.
    void finishHandshake(QTcpSocket *socket);

Q_SIGNALS:
    void socketReady(QTcpSocket *socket);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    template <typename Socket>
    Socket *takeSocket(qintptr socketDescriptor);
    void acceptPlain(qintptr socketDescriptor);
    void acceptSecure(qintptr socketDescriptor);
    void startHandshakeDeadline(QTcpSocket *socket);
    void refuse(qintptr socketDescriptor);

    const int m_handshakeTimeoutInMs;
    int m_maxPendingHandshakes = DefaultMaxPendingHandshakes;
    bool m_secure = false;
    // Warned once until a pending handshake ends, so a flood of refusals
    // does not flood the log.
    bool m_refusing = false;
    QSslConfiguration m_sslConfiguration;
    // Each pending socket with its deadline, a child of the socket.
    QHash<QTcpSocket *, QTimer *> m_pendingHandshakes;
};

} // namespace Zeto

#endif // ZETO_ZETOTCPSERVER_H
