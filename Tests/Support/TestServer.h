#ifndef ZETO_TESTSERVER_H
#define ZETO_TESTSERVER_H

#include "ZetoServer/ZetoServer.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QSharedPointer>
#include <QtCore/QUrl>

namespace Zeto {

class IQVariantCourier;

namespace Testing {

enum class Transport { Plain, Tls };

// "zeto://127.0.0.1:<port><path>", or zetos over TLS.
QUrl localServerUrl(Transport transport, quint16 port, const QString &path);

// A client's courier to the URL without a proxy, trusting the test
// certificate for zetos.
QSharedPointer<IQVariantCourier> clientCourier(const QUrl &url);

// A ZetoServer offering the test classes on 127.0.0.1 at a port the system
// picks, which keeps track of the objects it makes for clients.
class TestServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TestServer)

public:
    // Over TLS the server presents the test certificate.
    // Port 0 takes any free one.
    explicit TestServer(Transport transport = Transport::Plain, QObject *parent = nullptr, quint16 port = 0);
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
    // Deletes every object made for a client.
    void destroyCreatedObjects();
    // Aborts every client's socket without a closing handshake, as when the
    // server dies. New clients are still accepted.
    void dropClientConnections();
    // For connections accepted from now on.
    void setMaxEndpointsPerConnection(int maxEndpoints);
    // Shuts down gracefully; drained() follows once every client has gone.
    void drain();

Q_SIGNALS:
    void drained();

private:
    const Transport m_transport;
    Server::ZetoServer m_server;
    QList<QPointer<QObject>> m_createdObjects;
};

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTSERVER_H
