#ifndef ZETO_CLIENT_WEBSOCKETBASEDCLIENTZETOCONNECTION_H
#define ZETO_CLIENT_WEBSOCKETBASEDCLIENTZETOCONNECTION_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

QT_BEGIN_NAMESPACE
class QNetworkProxy;
class QSslConfiguration;
QT_END_NAMESPACE

namespace Zeto {

class QObjectEndpointFactory;

namespace Client {

class RemoteObjectInternal;

// One WebSocket to one server and the protocol stack over it, shared by the
// remote objects made on it. It finishes once the last of them has gone, or
// when the connection itself fails; a failure that concerns one remote
// object only lets that object go.
class ZETO_PRIVATE_EXPORT WebSocketBasedClientZetoConnection : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(WebSocketBasedClientZetoConnection)

public:
    // Opens the socket at once.
    WebSocketBasedClientZetoConnection(const QUrl &url, const QSslConfiguration &sslConfiguration,
                                       const QNetworkProxy &proxy);
    // Finishes first if it has not finished yet.
    ~WebSocketBasedClientZetoConnection() override;

    // Fully decoded and lower-cased.
    QString host() const;
    // 0 when the URL has none.
    quint16 port() const;

    // The caller owns the result. Null once the connection has finished.
    RemoteObjectInternal *createRemoteObjectInternal(const char *className, const QVariant &argument, const QUrl &url);

Q_SIGNALS:
    // Emitted once, as the last thing the connection does: a receiver may
    // delete it.
    void finished();

private Q_SLOTS:
    void onRemoteObjectInternalGone();
    void onRemoteObjectInternalError(Zeto::ErrorInfo errorInfo);
    void onEndpointFactoryEnded();
    void onEndpointCreationFailed(const QByteArray &endpointId, const Zeto::ErrorInfo &errorInfo);

private:
    void detach(QObject *remoteObjectInternal);
    void finish();

    QObjectEndpointFactory *m_endpointFactory = nullptr;
    // Watched, not owned; kept as QObjects since one may be mid-destruction.
    QSet<QObject *> m_remoteObjectInternals;
    const QString m_host;
    const quint16 m_port;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_WEBSOCKETBASEDCLIENTZETOCONNECTION_H
