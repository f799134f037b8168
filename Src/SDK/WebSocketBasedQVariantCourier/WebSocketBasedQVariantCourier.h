#ifndef ZETO_WEBSOCKETBASEDQVARIANTCOURIER_H
#define ZETO_WEBSOCKETBASEDQVARIANTCOURIER_H

#include "../ZetoGlobal.h"
#include "AbstractWebSocketQVariantCourier.h"

#include <QtCore/QList>
#include <QtCore/QUrl>

QT_BEGIN_NAMESPACE
class QNetworkProxy;
class QSslConfiguration;
class QSslError;
QT_END_NAMESPACE

namespace Zeto {

// The connecting side: opens the WebSocket at once, waits for the server's
// hello, answers it with its own token and then carries frames.
class ZETO_AUTOTEST_EXPORT WebSocketBasedQVariantCourier : public AbstractWebSocketQVariantCourier
{
    Q_OBJECT
    Q_DISABLE_COPY(WebSocketBasedQVariantCourier)

public:
    WebSocketBasedQVariantCourier(const QUrl &url, const QSslConfiguration &sslConfiguration,
                                  const QNetworkProxy &proxy, const CourierTiming &timing = CourierTiming());

    // zeto becomes ws and zetos wss; any other scheme is kept.
    static QUrl webSocketUrl(const QUrl &url);

protected:
    void handleHandshakeMessage(const QByteArray &message) override;

private:
    void onSslErrors(const QList<QSslError> &sslErrors);
};

} // namespace Zeto

#endif // ZETO_WEBSOCKETBASEDQVARIANTCOURIER_H
