#ifndef ZETO_CLIENT_WEBSOCKETBASEDCLIENTREMOTEOBJECTINTERNALFACTORY_H
#define ZETO_CLIENT_WEBSOCKETBASEDCLIENTREMOTEOBJECTINTERNALFACTORY_H

#include "../../ZetoGlobal.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QPair>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>
#include <QtCore/QVector>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>

class QUrl;

namespace Zeto {
namespace Client {

class RemoteObjectInternal;
class WebSocketBasedClientZetoConnection;

// One per thread: makes the machinery of each remote object and chooses its
// connection. Remote objects of a thread share a connection when host, port,
// scheme, TLS configuration and proxy agree, unless one asks for its own.
class ZETO_PRIVATE_EXPORT WebSocketBasedClientRemoteObjectInternalFactory : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(WebSocketBasedClientRemoteObjectInternalFactory)

public:
    WebSocketBasedClientRemoteObjectInternalFactory() = default;
    // Ends the shared connections, and runs the deletions that this causes:
    // in a thread that is ending, nobody else would.
    ~WebSocketBasedClientRemoteObjectInternalFactory() override;

    // Owned by the caller; null when the URL names no reachable server.
    RemoteObjectInternal *create(const char *className, const QVariant &argument, const QUrl &url,
                                 const QSslConfiguration &sslConfiguration, const QNetworkProxy &proxy,
                                 bool dedicatedConnection);

    // Connections that this factory shares, for inspection.
    int sharedConnectionCount() const;

private:
    struct SharedConnection
    {
        bool encrypted = false;
        QSslConfiguration sslConfiguration;
        QNetworkProxy proxy;
        QSharedPointer<WebSocketBasedClientZetoConnection> connection;
    };
    using Key = QPair<QString, quint16>;

    WebSocketBasedClientZetoConnection *sharedConnection(const QUrl &url, const Key &key, bool encrypted,
                                                         const QSslConfiguration &sslConfiguration,
                                                         const QNetworkProxy &proxy);
    void onConnectionFinished();

    QHash<Key, QVector<SharedConnection>> m_connections;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_WEBSOCKETBASEDCLIENTREMOTEOBJECTINTERNALFACTORY_H
