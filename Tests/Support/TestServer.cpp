#include "TestServer.h"

#include "TestCertificates.h"
#include "TestRepository.h"
#include "WebSocketBasedQVariantCourier/WebSocketBasedQVariantCourier.h"

#include <QtNetwork/QNetworkProxy>

#include <algorithm>

namespace Zeto {
namespace Testing {

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

TestServer::TestServer(Transport transport, QObject *parent, quint16 port)
    : QObject(parent),
      m_transport(transport)
{
    const auto classes =
        testClasses([this](QObject *object) { m_createdObjects.append(object); }, [this] { destroyCreatedObjects(); });
    for (const TestClass &testClass : classes)
        m_server.registerClass(testClass.path, testClass.factory);
    if (transport == Transport::Tls)
        m_server.setSslConfiguration(testServerSslConfiguration());
    m_server.listen(QHostAddress::LocalHost, port);
    connect(&m_server, &Server::ZetoServer::drained, this, &TestServer::drained);
}

void TestServer::drain() { m_server.drain(); }

TestServer::~TestServer() = default;

bool TestServer::isListening() const { return m_server.isListening(); }

quint16 TestServer::port() const { return m_server.serverPort(); }

QUrl TestServer::url(const QString &path) const { return localServerUrl(m_transport, port(), path); }

int TestServer::connectionCount() const { return m_server.connectionCount(); }

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

void TestServer::destroyCreatedObjects()
{
    for (const QPointer<QObject> &object : createdObjects())
        delete object.data();
}

void TestServer::dropClientConnections() { m_server.abortConnections(); }

void TestServer::setMaxEndpointsPerConnection(int maxEndpoints)
{
    m_server.setMaxRemoteObjectsPerConnection(maxEndpoints);
}

} // namespace Testing
} // namespace Zeto
