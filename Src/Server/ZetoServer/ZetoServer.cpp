#include "ZetoServer.h"

#include "ErrorHandler/ConnectionInfo.h"
#include "ProtocolStack.h"
#include "QObjectCommunication/QObjectEndpointFactory.h"
#include "RemoteObjects/ConnectionInformationFactory.h"
#include "RemoteObjects/RemoteObjectRepository.h"
#include "WebSocketBasedQVariantCourier/ZetoWebSocketServer.h"

#include <QtCore/QList>
#include <QtCore/QLoggingCategory>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtNetwork/QAbstractSocket>

#include <algorithm>
#include <memory>
#include <utility>

static_assert(Zeto::Server::ZetoServer::DefaultHandshakeTimeoutInMs
                      == Zeto::ServingCourierSettings().handshakeTimeoutInMs
                  && Zeto::Server::ZetoServer::DefaultMaxPendingHandshakes
                      == Zeto::ZetoWebSocketServer::DefaultMaxPendingHandshakes,
              "the server's defaults are the transport's");
static_assert(Zeto::Server::ZetoServer::DefaultMaxQueuedBytesPerConnection
                  == Zeto::WriteQueueLimits().highWaterMarkInBytes,
              "the server's write queue is the courier's");
static_assert(Zeto::Server::ZetoServer::DefaultMaxRemoteObjectsPerConnection
                  == Zeto::QObjectEndpointFactory::DefaultMaxEndpoints,
              "a remote object is an endpoint at the server");
static_assert(Zeto::Server::ZetoServer::DefaultMaxRemoteObjectsPerConnection
                  == Zeto::PeerQuota::DefaultLimits[Zeto::PeerQuota::Objects]
                  && Zeto::Server::ZetoServer::DefaultMaxLinksPerConnection
                  == Zeto::PeerQuota::DefaultLimits[Zeto::PeerQuota::Links]
                  && Zeto::Server::ZetoServer::DefaultMaxWaitingCallsPerConnection
                  == Zeto::PeerQuota::DefaultLimits[Zeto::PeerQuota::WaitingCalls],
              "the server's defaults are the protocol's");

namespace Zeto {
namespace Server {

namespace {

Q_LOGGING_CATEGORY(lcZetoServer, "zeto.server")

ConnectionInfo describeSocket(const QAbstractSocket &socket)
{
    return ConnectionInfo(false, socket.peerAddress().toString(), socket.peerPort(), socket.localAddress().toString(),
                          socket.localPort(), {}, 0, {}, 0);
}

// A client that leaves ends its connection; that is no error.
bool isOrdinaryEnd(const ErrorInfo &errorInfo)
{
    return errorInfo == makeErrorInfo(ConnectionDropped)
        || errorInfo == makeErrorInfo(QAbstractSocket::RemoteHostClosedError);
}

ServingCourierSettings uncompressedSettings()
{
    ServingCourierSettings settings;
    settings.compress = false;
    return settings;
}

} // namespace

class ZetoServerPrivate
{
public:
    struct ServedConnection
    {
        QSharedPointer<ServingWebSocketBasedQVariantCourier> courier;
        ConnectionInfo connectionInfo;
        ProtocolStack stack;
    };

    explicit ZetoServerPrivate(ZetoServer *server)
        : q_ptr(server)
    {
    }

    void serve(const QSharedPointer<ServingWebSocketBasedQVariantCourier> &courier);
    void onCourierError(const ServingWebSocketBasedQVariantCourier *courier, const ErrorInfo &errorInfo);
    void limit(const ServedConnection &connection);
    void dropUnresponsive(const ServingWebSocketBasedQVariantCourier *courier);
    void release(const ServingWebSocketBasedQVariantCourier *courier);
    void closeGoingAway();
    void finishDrainWhenEmpty();
    QList<ServedConnection>::const_iterator find(const ServingWebSocketBasedQVariantCourier *courier) const;

    ZetoServer *const q_ptr;
    Q_DECLARE_PUBLIC(ZetoServer)

    RemoteObjectRepository repository;
    ServingCourierSettings settings = uncompressedSettings();
    QSslConfiguration sslConfiguration;
    int maxConnections = ZetoServer::DefaultMaxConnections;
    int maxPendingHandshakes = ZetoServer::DefaultMaxPendingHandshakes;
    PeerQuota::Amounts limits = PeerQuota::DefaultLimits;
    std::unique_ptr<ZetoWebSocketServer> listener;
    QString errorString;
    QList<ServedConnection> connections;
    bool draining = false;
    bool drainFinished = false;
};

void ZetoServerPrivate::serve(const QSharedPointer<ServingWebSocketBasedQVariantCourier> &courier)
{
    Q_Q(ZetoServer);
    const QAbstractSocket *socket = courier->tcpSocket();
    if (!socket)
        return;
    const ConnectionInfo connectionInfo = describeSocket(*socket);
    if (draining) {
        qCInfo(lcZetoServer, "Connection refused while draining: %s", qPrintable(connectionInfo.locationString()));
        return;
    }
    if (connections.size() >= maxConnections) {
        qCWarning(lcZetoServer, "Connection refused, %d are served already: %s", maxConnections,
                  qPrintable(connectionInfo.locationString()));
        return;
    }
    // A failed courier cannot be released while it reports the failure.
    QObject::connect(
        courier.data(), &IQVariantCourier::error, q,
        [this, failed = courier.data()](const ErrorInfo &errorInfo) { onCourierError(failed, errorInfo); },
        Qt::QueuedConnection);
    const QSharedPointer<IConnectionInformationFactory> informationFactory(
        new ConnectionInformationFactory(connectionInfo));
    connections.append({courier, connectionInfo, ProtocolStack(courier, repository, informationFactory)});
    limit(connections.last());
    qCInfo(lcZetoServer, "Connection accepted: %s", qPrintable(connectionInfo.locationString()));
}

void ZetoServerPrivate::limit(const ServedConnection &connection)
{
    connection.stack.factory()->setMaxEndpoints(limits[PeerQuota::Objects]);
    const QSharedPointer<PeerQuota> quota = connection.stack.factory()->quota();
    for (int resource = 0; resource < PeerQuota::ResourceCount; ++resource)
        quota->setLimit(PeerQuota::Resource(resource), limits[resource]);
    // Refused while an emission is delivered: the connection goes later,
    // once however many emissions are refused meanwhile.
    quota->setExhaustionHandler([server = QPointer<ZetoServer>(q_ptr), courier = connection.courier.data(),
                                 dropRequested = std::make_shared<bool>(false)](PeerQuota::Resource resource) {
        if (!server || resource != PeerQuota::WaitingCalls || std::exchange(*dropRequested, true))
            return;
        QMetaObject::invokeMethod(
            server, [server, courier] { server->d_func()->dropUnresponsive(courier); }, Qt::QueuedConnection);
    });
}

// A client that lets calls pile up would otherwise be served on until it
// leaves, however long it keeps its socket open.
void ZetoServerPrivate::dropUnresponsive(const ServingWebSocketBasedQVariantCourier *courier)
{
    const auto connection = find(courier);
    if (connection == connections.cend())
        return;
    if (QAbstractSocket *socket = connection->courier->tcpSocket())
        socket->abort();
    onCourierError(courier, makeErrorInfo(PeerNotResponding));
}

void ZetoServerPrivate::onCourierError(const ServingWebSocketBasedQVariantCourier *courier,
                                       const ErrorInfo &errorInfo)
{
    const auto connection = find(courier);
    if (connection == connections.cend())
        return;
    const QString location = connection->connectionInfo.locationString();
    if (isOrdinaryEnd(errorInfo)) {
        qCInfo(lcZetoServer, draining ? "Connection closed for the drain: %s" : "Connection closed by the client: %s",
               qPrintable(location));
    } else {
        qCWarning(lcZetoServer, "Connection failed (%s): %s", qPrintable(errorInfo.description()),
                  qPrintable(location));
        ErrorHandler::handleError(errorInfo, connection->connectionInfo);
    }
    release(courier);
}

// A courier lives until this removal, so its address names it alone.
void ZetoServerPrivate::release(const ServingWebSocketBasedQVariantCourier *courier)
{
    connections.erase(std::remove_if(connections.begin(), connections.end(),
                                     [courier](const ServedConnection &connection) {
                                         return connection.courier == courier;
                                     }),
                      connections.end());
    finishDrainWhenEmpty();
}

void ZetoServerPrivate::closeGoingAway()
{
    for (const ServedConnection &connection : qAsConst(connections))
        connection.courier->closeGoingAway();
}

void ZetoServerPrivate::finishDrainWhenEmpty()
{
    Q_Q(ZetoServer);
    if (!draining || !connections.isEmpty() || std::exchange(drainFinished, true))
        return;
    qCInfo(lcZetoServer, "Drained: every connection is closed.");
    QMetaObject::invokeMethod(q, &ZetoServer::drained, Qt::QueuedConnection);
}

QList<ZetoServerPrivate::ServedConnection>::const_iterator
ZetoServerPrivate::find(const ServingWebSocketBasedQVariantCourier *courier) const
{
    return std::find_if(connections.cbegin(), connections.cend(),
                        [courier](const ServedConnection &connection) { return connection.courier == courier; });
}

ZetoServer::ZetoServer(QObject *parent)
    : QObject(parent),
      d_ptr(new ZetoServerPrivate(this))
{
}

ZetoServer::~ZetoServer() = default;

void ZetoServer::registerClass(const QString &path, const QSharedPointer<IQObjectFactory> &factory,
                               const QString &host)
{
    Q_D(ZetoServer);
    d->repository.addEntry(path, factory, host);
}

void ZetoServer::setSslConfiguration(const QSslConfiguration &sslConfiguration)
{
    Q_D(ZetoServer);
    d->sslConfiguration = sslConfiguration;
}

void ZetoServer::setCompressionThreshold(int bytes)
{
    Q_D(ZetoServer);
    d->settings.compress = bytes >= 0;
    d->settings.compressMinSizeInBytes = qMax(bytes, 0);
}

void ZetoServer::setMaxConnections(int maxConnections)
{
    Q_D(ZetoServer);
    d->maxConnections = maxConnections;
}

void ZetoServer::setHandshakeTimeout(int milliseconds)
{
    Q_D(ZetoServer);
    d->settings.handshakeTimeoutInMs = milliseconds;
}

void ZetoServer::setMaxPendingHandshakes(int maxPendingHandshakes)
{
    Q_D(ZetoServer);
    d->maxPendingHandshakes = maxPendingHandshakes;
}

void ZetoServer::setMaxRemoteObjectsPerConnection(int maxRemoteObjects)
{
    Q_D(ZetoServer);
    d->limits[PeerQuota::Objects] = maxRemoteObjects;
}

void ZetoServer::setMaxLinksPerConnection(int maxLinks)
{
    Q_D(ZetoServer);
    d->limits[PeerQuota::Links] = maxLinks;
}

void ZetoServer::setMaxQueuedBytesPerConnection(qint64 maxQueuedBytes)
{
    Q_D(ZetoServer);
    WriteQueueLimits &limits = d->settings.timing.writeQueue;
    limits.highWaterMarkInBytes = maxQueuedBytes;
    limits.lowWaterMarkInBytes = maxQueuedBytes / 4;
    limits.hardLimitInBytes = maxQueuedBytes + 2 * qint64(QVariantReaderWriter::MaxMessageSize);
}

void ZetoServer::setMaxWaitingCallsPerConnection(int maxWaitingCalls)
{
    Q_D(ZetoServer);
    d->limits[PeerQuota::WaitingCalls] = maxWaitingCalls;
}

bool ZetoServer::listen(const QHostAddress &address, quint16 port)
{
    Q_D(ZetoServer);
    d->listener = std::make_unique<ZetoWebSocketServer>(d->settings);
    d->listener->setMaxPendingHandshakes(d->maxPendingHandshakes);
    if (!d->sslConfiguration.isNull())
        d->listener->setSslConfiguration(d->sslConfiguration);
    connect(d->listener.get(), &ZetoWebSocketServer::newCourier, this,
            [d](const QSharedPointer<ServingWebSocketBasedQVariantCourier> &courier) { d->serve(courier); });
    if (d->listener->listen(address, port)) {
        qCInfo(lcZetoServer, "Listening on %s port %u.", qPrintable(address.toString()), serverPort());
        return true;
    }
    d->errorString = d->listener->errorString();
    d->listener.reset();
    qCWarning(lcZetoServer, "Cannot listen on %s port %u: %s", qPrintable(address.toString()), port,
              qPrintable(d->errorString));
    return false;
}

bool ZetoServer::isListening() const
{
    return serverPort() != 0;
}

quint16 ZetoServer::serverPort() const
{
    Q_D(const ZetoServer);
    return d->listener ? d->listener->serverPort() : 0;
}

QString ZetoServer::errorString() const
{
    Q_D(const ZetoServer);
    return d->errorString;
}

void ZetoServer::abortConnections()
{
    Q_D(ZetoServer);
    for (const ZetoServerPrivate::ServedConnection &connection : qAsConst(d->connections)) {
        if (QAbstractSocket *socket = connection.courier->tcpSocket())
            socket->abort();
    }
}

void ZetoServer::close()
{
    Q_D(ZetoServer);
    if (d->listener)
        d->listener->close();
    abortConnections();
}

void ZetoServer::drain(int deadlineInMs)
{
    Q_D(ZetoServer);
    if (d->draining)
        return;
    d->draining = true;
    if (d->listener)
        d->listener->close();
    qCInfo(lcZetoServer, "Draining %d connections.", int(d->connections.size()));
    for (const ZetoServerPrivate::ServedConnection &connection : qAsConst(d->connections))
        connection.stack.factory()->quota()->refuseNewObjects();
    d->closeGoingAway();
    QTimer::singleShot(deadlineInMs, this, [this] { abortConnections(); });
    d->finishDrainWhenEmpty();
}

bool ZetoServer::isDraining() const
{
    Q_D(const ZetoServer);
    return d->draining;
}

int ZetoServer::connectionCount() const
{
    Q_D(const ZetoServer);
    return d->connections.size();
}

} // namespace Server
} // namespace Zeto
