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
//
// A connection must finish TLS, the WebSocket upgrade and the answer to the
// hello within the settings' handshakeTimeoutInMs of being accepted, or it is
// aborted. Connections in that state are capped: beyond the cap new ones are
// closed at once, and accepted again once pending ones finish or go.
class ZetoWebSocketServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ZetoWebSocketServer)

public:
    static constexpr int DefaultMaxPendingHandshakes = ZetoTcpServer::DefaultMaxPendingHandshakes;

    explicit ZetoWebSocketServer(const ServingCourierSettings &settings = ServingCourierSettings(),
                                 QObject *parent = nullptr);
    ~ZetoWebSocketServer() override;

    // Serves every later connection over TLS (zetos://) with the
    // configuration's local certificate and private key.
    void setSslConfiguration(const QSslConfiguration &sslConfiguration);
    bool isSecure() const;

    void setMaxPendingHandshakes(int maxPendingHandshakes);
    int pendingHandshakeCount() const;

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
    QSharedPointer<ServingWebSocketBasedQVariantCourier> serve(QWebSocket *webSocket, QTcpSocket *socket);
    QTcpSocket *findTcpSocket(const QWebSocket *webSocket) const;

    const ServingCourierSettings m_settings;
    ZetoTcpServer m_tcpServer;
    QWebSocketServer m_webSocketServer;
};

} // namespace Zeto

#endif // ZETO_ZETOWEBSOCKETSERVER_H
