#include "TestServer.h"

#include "TestCertificates.h"
#include "TestRepository.h"
#include "WebSocketBasedQVariantCourier/WebSocketBasedQVariantCourier.h"
#include "WebSocketBasedQVariantCourier/ZetoWebSocketServer.h"

#include <QtNetwork/QAbstractSocket>
#include <QtNetwork/QNetworkProxy>

#include <algorithm>

namespace Zeto {
namespace Testing {

namespace {

ConnectionInfo describeSocket(const QAbstractSocket &socket)
{
    return ConnectionInfo(false, socket.peerAddress().toString(), socket.peerPort(), socket.localAddress().toString(),
                          socket.localPort(), {}, 0, {}, 0);
}

} // namespace

QUrl localServerUrl(Transport transport, quint16 port, const QString &path)
{
    const QString scheme = transport == Transport::Tls ? QStringLiteral("zetos") : QStringLiteral("zeto");
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(port).arg(path));
}

QSharedPointer<IQVariantCourier> clientCourier(const QUrl &url)
{
    const QSslConfiguration sslConfiguration = url.scheme() == QLatin1String("zetos")
        ? testClientSslConfiguration()
        : QSslConfiguration::defaultConfiguration();
    return QSharedPointer<IQVariantCourier>(
        new WebSocketBasedQVariantCourier(url, sslConfiguration, QNetworkProxy(QNetworkProxy::NoProxy)));
}

TestServer::TestServer(Transport transport, QObject *parent)
    : QObject(parent),
      m_transport(transport),
      m_server(new ZetoWebSocketServer),
      m_repository(testRepository([this](QObject *object) { m_createdObjects.append(object); }))
{
    if (transport == Transport::Tls)
        m_server->setSslConfiguration(testServerSslConfiguration());
    connect(m_server.get(), &ZetoWebSocketServer::newCourier, this, &TestServer::serve);
    if (!m_server->listen(QHostAddress::LocalHost))
        qWarning("The test server cannot listen: %s", qPrintable(m_server->errorString()));
}

TestServer::~TestServer() = default;

bool TestServer::isListening() const { return m_server->serverPort() != 0; }

quint16 TestServer::port() const { return m_server->serverPort(); }

QUrl TestServer::url(const QString &path) const { return localServerUrl(m_transport, port(), path); }

int TestServer::connectionCount() const { return m_connections.size(); }

QList<QPointer<QObject>> TestServer::createdObjects() const
{
    QList<QPointer<QObject>> liveObjects;
    std::copy_if(m_createdObjects.cbegin(), m_createdObjects.cend(), std::back_inserter(liveObjects),
                 [](const QPointer<QObject> &object) { return !object.isNull(); });
    return liveObjects;
}

void TestServer::destroyCreatedObject(QObject *object)
{
    if (object && m_createdObjects.contains(object))
        delete object;
}

void TestServer::dropClientConnections()
{
    for (const ServedConnection &connection : qAsConst(m_connections)) {
        if (QAbstractSocket *socket = connection.courier->tcpSocket())
            socket->abort();
    }
}

void TestServer::serve(const QSharedPointer<ServingWebSocketBasedQVariantCourier> &courier)
{
    const QAbstractSocket *socket = courier->tcpSocket();
    if (!socket)
        return;
    // A failed courier cannot be released while it reports the failure.
    connect(
        courier.data(), &IQVariantCourier::error, this, [this, failed = courier.data()] { releaseConnection(failed); },
        Qt::QueuedConnection);
    m_connections.append(
        {courier, ProtocolStack(courier, m_repository, pickyConnectionInformationFactory(describeSocket(*socket)))});
    m_connections.last().stack.factory()->setMaxEndpoints(m_maxEndpoints);
}

void TestServer::setMaxEndpointsPerConnection(int maxEndpoints)
{
    m_maxEndpoints = maxEndpoints;
}

// A courier lives until this removal, so its address names it alone.
void TestServer::releaseConnection(const ServingWebSocketBasedQVariantCourier *courier)
{
    m_connections.erase(
        std::remove_if(m_connections.begin(), m_connections.end(),
                       [courier](const ServedConnection &connection) { return connection.courier == courier; }),
        m_connections.end());
}

} // namespace Testing
} // namespace Zeto
