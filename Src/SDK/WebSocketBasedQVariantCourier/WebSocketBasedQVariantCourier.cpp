#include "WebSocketBasedQVariantCourier.h"

#include "ZetoHandshake.h"

#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QSslError>
#include <QtWebSockets/QWebSocket>

#include <algorithm>

namespace Zeto {

WebSocketBasedQVariantCourier::WebSocketBasedQVariantCourier(const QUrl &url,
                                                             const QSslConfiguration &sslConfiguration,
                                                             const QNetworkProxy &proxy,
                                                             const CourierTiming &timing)
    : AbstractWebSocketQVariantCourier(new QWebSocket(QString(), QWebSocketProtocol::Version13), timing)
{
    QWebSocket *const socket = webSocket();
    connect(socket, &QWebSocket::sslErrors, this, &WebSocketBasedQVariantCourier::onSslErrors);
    connect(socket, &QWebSocket::connected, this, &WebSocketBasedQVariantCourier::enableLowDelay);
    socket->setSslConfiguration(sslConfiguration);
    socket->setProxy(proxy);
    socket->open(webSocketUrl(url));
}

QUrl WebSocketBasedQVariantCourier::webSocketUrl(const QUrl &url)
{
    QUrl webSocketUrl = url;
    if (url.scheme() == QLatin1String("zeto"))
        webSocketUrl.setScheme(QStringLiteral("ws"));
    else if (url.scheme() == QLatin1String("zetos"))
        webSocketUrl.setScheme(QStringLiteral("wss"));
    return webSocketUrl;
}

// The server speaks first: its hello fixes everything but our token.
void WebSocketBasedQVariantCourier::handleHandshakeMessage(const QByteArray &message)
{
    const std::optional<ServerHello> hello = parseServerHello(message);
    if (!hello) {
        failHandshake();
        return;
    }
    ClientReply reply;
    reply.dataStreamVersion = std::min(HighestDataStreamVersion, hello->dataStreamVersion);
    reply.hmacAlgorithm = hello->hmacAlgorithm;
    reply.token = makeHandshakeToken();
    sendHandshakeMessage(serializeClientReply(reply));

    FrameSettings frameSettings;
    frameSettings.hmacAlgorithm = reply.hmacAlgorithm;
    frameSettings.hmacKey = deriveHmacKey(hello->token, reply.token);
    frameSettings.compress = hello->compress;
    frameSettings.compressMinSizeInBytes = hello->compressMinSizeInBytes;
    frameSettings.dataStreamVersion = DataStream::Version(reply.dataStreamVersion);
    completeHandshake(frameSettings);
}

// The errors are not ignored, so the socket's own TLS handshake fails.
void WebSocketBasedQVariantCourier::onSslErrors(const QList<QSslError> &sslErrors)
{
    const QSslError::SslError code = sslErrors.isEmpty() ? QSslError::UnspecifiedError : sslErrors.first().error();
    fail(makeErrorInfo(code), SocketFate::Kept);
}

} // namespace Zeto
