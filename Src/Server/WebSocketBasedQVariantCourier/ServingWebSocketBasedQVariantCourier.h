#ifndef ZETO_SERVINGWEBSOCKETBASEDQVARIANTCOURIER_H
#define ZETO_SERVINGWEBSOCKETBASEDQVARIANTCOURIER_H

#include <WebSocketBasedQVariantCourier/AbstractWebSocketQVariantCourier.h>
#include <WebSocketBasedQVariantCourier/ZetoHandshake.h>

#include <QtCore/QCryptographicHash>
#include <QtCore/QString>

namespace Zeto {

// What the server's owner chooses for every connection it serves.
struct ServingCourierSettings
{
    int dataStreamVersion = HighestDataStreamVersion;
    QCryptographicHash::Algorithm hmacAlgorithm = QCryptographicHash::Sha1;
    bool compress = true;
    int compressMinSizeInBytes = 256;
    // How long the client may take to answer the hello. A ZetoWebSocketServer
    // counts it from accept, over TLS and the WebSocket upgrade as well.
    int handshakeTimeoutInMs = 10 * 1000;
    CourierTiming timing;
};

// The serving side over an accepted WebSocket: speaks first with the hello,
// checks the client's reply, then carries frames like the connecting side.
class ServingWebSocketBasedQVariantCourier : public AbstractWebSocketQVariantCourier
{
    Q_OBJECT
    Q_DISABLE_COPY(ServingWebSocketBasedQVariantCourier)

public:
    // Takes ownership of a socket whose WebSocket upgrade is complete.
    explicit ServingWebSocketBasedQVariantCourier(QWebSocket *acceptedSocket,
                                                  const ServingCourierSettings &settings = ServingCourierSettings());

Q_SIGNALS:
    // The client answered the hello; frames may flow.
    void handshakeCompleted();

protected:
    void handleHandshakeMessage(const QByteArray &message) override;

private:
    void onHandshakeTimeout();

    const ServingCourierSettings m_settings;
    const QString m_ownToken;
};

} // namespace Zeto

#endif // ZETO_SERVINGWEBSOCKETBASEDQVARIANTCOURIER_H
