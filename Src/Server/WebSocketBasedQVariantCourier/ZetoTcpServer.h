#ifndef ZETO_ZETOTCPSERVER_H
#define ZETO_ZETOTCPSERVER_H

#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QTcpServer>

class QTcpSocket;

namespace Zeto {

// Accepts TCP connections with TCP_NODELAY on before the first byte goes out
// and, once given a TLS configuration, finishes the TLS handshake before it
// hands a connection on. Connections arrive through socketReady, never
// through nextPendingConnection; each socket is a child of the server until
// its new owner takes it.
class ZetoTcpServer : public QTcpServer
{
    Q_OBJECT
    Q_DISABLE_COPY(ZetoTcpServer)

public:
    explicit ZetoTcpServer(int tlsHandshakeTimeoutInMs, QObject *parent = nullptr);
    ~ZetoTcpServer() override;

    // Serves every later connection over TLS with this certificate and key.
    void setSslConfiguration(const QSslConfiguration &sslConfiguration);
    bool isSecure() const;

Q_SIGNALS:
    void socketReady(QTcpSocket *socket);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private:
    template <typename Socket>
    Socket *takeSocket(qintptr socketDescriptor);
    void acceptPlain(qintptr socketDescriptor);
    void acceptSecure(qintptr socketDescriptor);

    const int m_tlsHandshakeTimeoutInMs;
    bool m_secure = false;
    QSslConfiguration m_sslConfiguration;
};

} // namespace Zeto

#endif // ZETO_ZETOTCPSERVER_H
