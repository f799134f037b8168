#include "WebSocketBasedClientZetoConnection.h"

#include "../../QObjectCommunication/ProtocolStackAssembly.h"
#include "../../QObjectCommunication/QObjectEndpointFactory.h"
#include "../../WebSocketBasedQVariantCourier/WebSocketBasedQVariantCourier.h"
#include "ClientConnectionInformationFactory.h"
#include "RemoteObjectInternal.h"

#include <algorithm>
#include <utility>

namespace Zeto {
namespace Client {

namespace {

// Failures that end one remote object and say nothing about the socket:
// the server refused or lost that object, or its argument could not travel.
// Everything else is a failure of the transport or the protocol.
bool concernsOnlyItsObject(const ErrorInfo &errorInfo)
{
    if (errorInfo.type != ConnectionErrorType)
        return false;
    switch (errorInfo.error.connectionError) {
    case RemoteObjectNotFound:
    case TooManyRemoteObjects:
    case UnregisteredArgument:
    case ConnectionDropped: return true;
    default: return false;
    }
}

} // namespace

WebSocketBasedClientZetoConnection::WebSocketBasedClientZetoConnection(const QUrl &url,
                                                                       const QSslConfiguration &sslConfiguration,
                                                                       const QNetworkProxy &proxy)
    : m_host(url.host(QUrl::FullyDecoded).toLower()),
      m_port(static_cast<quint16>(url.port(0)))
{
    m_endpointFactory = assembleProtocolStack(
        QSharedPointer<IQVariantCourier>(new WebSocketBasedQVariantCourier(url, sslConfiguration, proxy)),
        RemoteObjectRepository(),
        QSharedPointer<IConnectionInformationFactory>(new ClientConnectionInformationFactory));
    connect(m_endpointFactory, &QObjectEndpointFactory::error, this,
            &WebSocketBasedClientZetoConnection::onEndpointFactoryEnded);
    connect(m_endpointFactory, &QObjectEndpointFactory::finished, this,
            &WebSocketBasedClientZetoConnection::onEndpointFactoryEnded);
    connect(m_endpointFactory, &QObjectEndpointFactory::endpointCreationFailed, this,
            &WebSocketBasedClientZetoConnection::onEndpointCreationFailed);
}

WebSocketBasedClientZetoConnection::~WebSocketBasedClientZetoConnection() { finish(); }

QString WebSocketBasedClientZetoConnection::host() const { return m_host; }

quint16 WebSocketBasedClientZetoConnection::port() const { return m_port; }

RemoteObjectInternal *WebSocketBasedClientZetoConnection::createRemoteObjectInternal(const char *className,
                                                                                     const QVariant &argument,
                                                                                     const QUrl &url)
{
    if (!m_endpointFactory)
        return nullptr;
    const QSharedPointer<QObjectEndpoint> endpoint = m_endpointFactory->createEndpoint();
    if (!endpoint)
        return nullptr;
    auto *internal = new RemoteObjectInternal(className, url, argument, endpoint);
    m_remoteObjectInternals.insert(internal);
    using Connection = WebSocketBasedClientZetoConnection;
    connect(internal, &RemoteObjectInternal::error, this, &Connection::onRemoteObjectInternalError);
    connect(internal, &RemoteObjectInternal::disconnected, this, &Connection::onRemoteObjectInternalGone);
    connect(internal, &QObject::destroyed, this, &Connection::onRemoteObjectInternalGone);
    return internal;
}

void WebSocketBasedClientZetoConnection::onRemoteObjectInternalGone() { detach(sender()); }

void WebSocketBasedClientZetoConnection::onRemoteObjectInternalError(ErrorInfo errorInfo)
{
    if (concernsOnlyItsObject(errorInfo))
        detach(sender());
    else
        finish();
}

void WebSocketBasedClientZetoConnection::onEndpointFactoryEnded() { finish(); }

// Without an endpoint at the server the object can never exist: it fails
// instead of waiting forever with its calls queued.
void WebSocketBasedClientZetoConnection::onEndpointCreationFailed(const QByteArray &endpointId,
                                                                  const ErrorInfo &errorInfo)
{
    const auto refused = std::find_if(m_remoteObjectInternals.cbegin(), m_remoteObjectInternals.cend(),
                                      [&endpointId](QObject *object) {
                                          auto *internal = qobject_cast<RemoteObjectInternal *>(object);
                                          return internal && internal->endpointId() == endpointId;
                                      });
    if (refused == m_remoteObjectInternals.cend())
        return;
    // Its failure is its own, whatever the code: the connection goes on.
    auto *internal = qobject_cast<RemoteObjectInternal *>(*refused);
    detach(internal);
    internal->failEndpointPairing(errorInfo);
}

void WebSocketBasedClientZetoConnection::detach(QObject *remoteObjectInternal)
{
    disconnect(remoteObjectInternal, nullptr, this, nullptr);
    m_remoteObjectInternals.remove(remoteObjectInternal);
    if (m_remoteObjectInternals.isEmpty())
        finish();
}

// The internals are not told: each learns of the end from its own endpoint.
void WebSocketBasedClientZetoConnection::finish()
{
    for (QObject *internal : qAsConst(m_remoteObjectInternals))
        disconnect(internal, nullptr, this, nullptr);
    m_remoteObjectInternals.clear();
    if (!m_endpointFactory)
        return;
    disconnect(m_endpointFactory, nullptr, this, nullptr);
    // The broker and the courier go with the factory.
    std::exchange(m_endpointFactory, nullptr)->deleteLater();
    Q_EMIT finished();
}

} // namespace Client
} // namespace Zeto
