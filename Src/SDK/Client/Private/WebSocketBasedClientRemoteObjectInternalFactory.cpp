#include "WebSocketBasedClientRemoteObjectInternalFactory.h"

#include "RemoteObjectInternal.h"
#include "ValidatedUrl.h"
#include "WebSocketBasedClientZetoConnection.h"

#include <QtCore/QCoreApplication>

namespace Zeto {
namespace Client {

namespace {

// Deletions cause deletions (the endpoint factory takes the broker, the
// broker the courier, the courier its socket); a few rounds see them through.
constexpr int DeferredDeletionRounds = 8;

} // namespace

WebSocketBasedClientRemoteObjectInternalFactory::~WebSocketBasedClientRemoteObjectInternalFactory()
{
    for (const QVector<SharedConnection> &connections : qAsConst(m_connections)) {
        for (const SharedConnection &shared : connections)
            disconnect(shared.connection.data(), nullptr, this, nullptr);
    }
    m_connections.clear();
    for (int round = 0; round < DeferredDeletionRounds; ++round)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

RemoteObjectInternal *WebSocketBasedClientRemoteObjectInternalFactory::create(
    const char *className, const QVariant &argument, const QUrl &url, const QSslConfiguration &sslConfiguration,
    const QNetworkProxy &proxy, bool dedicatedConnection)
{
    const ValidatedUrl checked(url);
    if (!checked.isValid())
        return nullptr;
    if (dedicatedConnection) {
        auto *connection = new WebSocketBasedClientZetoConnection(url, sslConfiguration, proxy);
        connect(connection, &WebSocketBasedClientZetoConnection::finished, connection, &QObject::deleteLater);
        return connection->createRemoteObjectInternal(className, argument, url);
    }
    const Key key(checked.host(), checked.port());
    return sharedConnection(url, key, checked.isEncrypted(), sslConfiguration, proxy)
        ->createRemoteObjectInternal(className, argument, url);
}

// The scheme is part of the key: a zetos object must never ride on a plain
// socket opened for a zeto one.
WebSocketBasedClientZetoConnection *WebSocketBasedClientRemoteObjectInternalFactory::sharedConnection(
    const QUrl &url, const Key &key, bool encrypted, const QSslConfiguration &sslConfiguration,
    const QNetworkProxy &proxy)
{
    QVector<SharedConnection> &connections = m_connections[key];
    for (const SharedConnection &shared : qAsConst(connections)) {
        if (shared.encrypted == encrypted && shared.sslConfiguration == sslConfiguration && shared.proxy == proxy)
            return shared.connection.data();
    }
    const QSharedPointer<WebSocketBasedClientZetoConnection> connection(
        new WebSocketBasedClientZetoConnection(url, sslConfiguration, proxy));
    connections.append({encrypted, sslConfiguration, proxy, connection});
    connect(connection.data(), &WebSocketBasedClientZetoConnection::finished, this,
            &WebSocketBasedClientRemoteObjectInternalFactory::onConnectionFinished);
    return connection.data();
}

int WebSocketBasedClientRemoteObjectInternalFactory::sharedConnectionCount() const
{
    int count = 0;
    for (const QVector<SharedConnection> &connections : m_connections)
        count += connections.size();
    return count;
}

void WebSocketBasedClientRemoteObjectInternalFactory::onConnectionFinished()
{
    auto *finished = qobject_cast<WebSocketBasedClientZetoConnection *>(sender());
    if (!finished)
        return;
    const auto entry = m_connections.find(Key(finished->host(), finished->port()));
    if (entry == m_connections.end())
        return;
    for (int index = 0; index < entry->size(); ++index) {
        if (entry->at(index).connection == finished) {
            // Keeps the connection alive until its finished() has returned.
            const QSharedPointer<WebSocketBasedClientZetoConnection> last = entry->takeAt(index).connection;
            disconnect(finished, nullptr, this, nullptr);
            QMetaObject::invokeMethod(
                this, [last] {}, Qt::QueuedConnection);
            return;
        }
    }
}

} // namespace Client
} // namespace Zeto
