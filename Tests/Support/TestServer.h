#ifndef ZETO_TESTSERVER_H
#define ZETO_TESTSERVER_H

#include "ProtocolStack.h"
#include "RemoteObjects/RemoteObjectRepository.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSharedPointer>
#include <QtCore/QUrl>

#include <memory>

namespace Zeto {

class IQVariantCourier;
class ServingWebSocketBasedQVariantCourier;
class ZetoWebSocketServer;

namespace Testing {

enum class Transport { Plain, Tls };

// "zeto://127.0.0.1:<port><path>", or zetos over TLS.
QUrl localServerUrl(Transport transport, quint16 port, const QString &path);

// A client's courier to the URL without a proxy, trusting the test
// certificate for zetos.
QSharedPointer<IQVariantCourier> clientCourier(const QUrl &url);

// A server built from the protocol code, on 127.0.0.1 at a port the system
// picks: every client gets a broker and an endpoint factory over the test
// repository, and each object learns the real socket's addresses. Served
// endpoints live until the client ends them, a connection until it drops.
// Everything stays on the creating thread.
class TestServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TestServer)

public:
    // Over TLS the server presents the test certificate.
    explicit TestServer(Transport transport = Transport::Plain, QObject *parent = nullptr);
    ~TestServer() override;

    // False, with a warning, when no port could be had.
    bool isListening() const;
    quint16 port() const;
    QUrl url(const QString &path) const;

    // Clients being served now.
    int connectionCount() const;
    // The objects made for clients that still exist, oldest first.
    QList<QPointer<QObject>> createdObjects() const;
    // Deletes an object made for a client, as a server application may;
    // anything else is left alone.
    void destroyCreatedObject(QObject *object);
    // Aborts every client's socket without a closing handshake, as when the
    // server dies. New clients are still accepted.
    void dropClientConnections();
    // For connections accepted from now on.
    void setMaxEndpointsPerConnection(int maxEndpoints);

private:
    struct ServedConnection
    {
        QSharedPointer<ServingWebSocketBasedQVariantCourier> courier;
        ProtocolStack stack;
    };

    void serve(const QSharedPointer<ServingWebSocketBasedQVariantCourier> &courier);
    void releaseConnection(const ServingWebSocketBasedQVariantCourier *courier);

    const Transport m_transport;
    const std::unique_ptr<ZetoWebSocketServer> m_server;
    const RemoteObjectRepository m_repository;
    QList<ServedConnection> m_connections;
    QList<QPointer<QObject>> m_createdObjects;
    int m_maxEndpoints = QObjectEndpointFactory::DefaultMaxEndpoints;
};

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTSERVER_H
