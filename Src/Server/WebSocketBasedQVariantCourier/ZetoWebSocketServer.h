#ifndef ZETO_ZETOWEBSOCKETSERVER_H
#define ZETO_ZETOWEBSOCKETSERVER_H

#include "ServingWebSocketBasedQVariantCourier.h"
#include "ZetoTcpServer.h"

#include <QtCore/QObject>
#include <QtCore/QSharedPointer>
#include <QtNetwork/QHostAddress>
#include <QtWebSockets/QWebSocketServer>

namespace Zeto {

// Accepts WebSocket connections, plain or over TLS, and serves each with a
// new courier. The TCP connections are accepted here rather than by
// QWebSocketServer so that TCP_NODELAY is on before the first byte is written.
class ZetoWebSocketServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ZetoWebSocketServer)

public:
    explicit ZetoWebSocketServer(const ServingCourierSettings &settings = ServingCourierSettings(),
                                 QObject *parent = nullptr);
    ~ZetoWebSocketServer() override;

    // Serves every later connection over TLS (zetos://) with the
    // configuration's local certificate and private key.
    void setSslConfiguration(const QSslConfiguration &sslConfiguration);
    bool isSecure() const;

    bool listen(const QHostAddress &address = QHostAddress::Any, quint16 port = 0);
    void close();
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    QString errorString() const;

Q_SIGNALS:
    // The courier has sent its hello. Whoever keeps the pointer keeps the
    // connection; a courier that nobody keeps closes it.
    void newCourier(QSharedPointer<Zeto::ServingWebSocketBasedQVariantCourier> courier);

private:
    void onNewWebSocketConnection();
    void adoptTcpSocket(QWebSocket *webSocket);

    const ServingCourierSettings m_settings;
    ZetoTcpServer m_tcpServer;
    QWebSocketServer m_webSocketServer;
};

} // namespace Zeto

#endif // ZETO_ZETOWEBSOCKETSERVER_H
