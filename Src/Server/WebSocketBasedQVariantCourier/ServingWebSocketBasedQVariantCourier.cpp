#include "ServingWebSocketBasedQVariantCourier.h"

#include <QtCore/QTimer>

#include <algorithm>

namespace Zeto {

ServingWebSocketBasedQVariantCourier::ServingWebSocketBasedQVariantCourier(QWebSocket *acceptedSocket,
                                                                           const ServingCourierSettings &settings)
    : AbstractWebSocketQVariantCourier(acceptedSocket, settings.timing),
      m_settings(settings),
      m_ownToken(makeHandshakeToken())
{
    ServerHello hello;
    hello.dataStreamVersion = settings.dataStreamVersion;
    hello.hmacAlgorithm = settings.hmacAlgorithm;
    hello.token = m_ownToken;
    hello.compress = settings.compress;
    hello.compressMinSizeInBytes = settings.compressMinSizeInBytes;
    sendHandshakeMessage(serializeServerHello(hello));
    QTimer::singleShot(settings.handshakeTimeoutInMs, this, &ServingWebSocketBasedQVariantCourier::onHandshakeTimeout);
}

void ServingWebSocketBasedQVariantCourier::handleHandshakeMessage(const QByteArray &message)
{
    const std::optional<ClientReply> reply = parseClientReply(message);
    if (!reply) {
        failHandshake();
        return;
    }
    FrameSettings frameSettings;
    frameSettings.hmacAlgorithm = reply->hmacAlgorithm;
    frameSettings.hmacKey = deriveHmacKey(m_ownToken, reply->token);
    frameSettings.compress = m_settings.compress;
    frameSettings.compressMinSizeInBytes = m_settings.compressMinSizeInBytes;
    frameSettings.dataStreamVersion = DataStream::Version(std::min(m_settings.dataStreamVersion, reply->dataStreamVersion));
    completeHandshake(frameSettings);
    Q_EMIT handshakeCompleted();
}

void ServingWebSocketBasedQVariantCourier::onHandshakeTimeout()
{
    if (isHandshaking())
        failHandshake();
}

} // namespace Zeto
