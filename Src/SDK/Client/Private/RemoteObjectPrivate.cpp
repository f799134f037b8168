#include "RemoteObjectPrivate.h"

#include "RemoteObjectInternal.h"
#include "WebSocketBasedClientRemoteObjectInternalFactory.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QThread>

namespace Zeto {
namespace Client {

namespace {

void deleteMainThreadFactory()
{
    RemoteObjectPrivate::qRemoteObjectInternalFactories().setLocalData(nullptr);
}

} // namespace

RemoteObjectPrivate::RemoteObjectPrivate(const char *className, const QUrl &url, const QVariant &argument,
                                         const QSslConfiguration &sslConfiguration, const QNetworkProxy &proxy,
                                         bool dedicatedConnection)
{
    // An empty name would send nothing and leave the object waiting forever.
    if (!className || !*className) {
        qCritical("Failed to create remote object. Given class name is null.");
        postError(RemoteObjectNotFound);
        return;
    }
    m_internal = factoryForCurrentThread()->create(className, argument, url, sslConfiguration, proxy,
                                                   dedicatedConnection);
    if (!m_internal) {
        qCritical("Failed to create remote object. Given url is invalid. Valid urls must have zeto or zetos as "
                  "scheme, a non-empty host and a positive integer as port number.");
        postError(InvalidRemoteObjectUrl);
        return;
    }
    connect(m_internal, &RemoteObjectInternal::connected, this, &RemoteObjectPrivate::connected);
    connect(m_internal, &RemoteObjectInternal::disconnected, this, &RemoteObjectPrivate::onInternalDisconnected);
    connect(m_internal, &RemoteObjectInternal::error, this, &RemoteObjectPrivate::onInternalError);
}

RemoteObjectPrivate::~RemoteObjectPrivate()
{
    if (m_internal)
        m_internal->deleteLater();
}

QThreadStorage<WebSocketBasedClientRemoteObjectInternalFactory *> &RemoteObjectPrivate::qRemoteObjectInternalFactories()
{
    static QThreadStorage<WebSocketBasedClientRemoteObjectInternalFactory *> factories;
    return factories;
}

// QThreadStorage deletes a thread's factory when the thread ends, but never
// the main thread's: that one goes with the application object.
WebSocketBasedClientRemoteObjectInternalFactory *RemoteObjectPrivate::factoryForCurrentThread()
{
    QThreadStorage<WebSocketBasedClientRemoteObjectInternalFactory *> &factories = qRemoteObjectInternalFactories();
    if (!factories.hasLocalData()) {
        factories.setLocalData(new WebSocketBasedClientRemoteObjectInternalFactory);
        if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
            qAddPostRoutine(deleteMainThreadFactory);
    }
    return factories.localData();
}

void RemoteObjectPrivate::postError(ConnectionError connectionError)
{
    QMetaObject::invokeMethod(this, "error", Qt::QueuedConnection,
                              Q_ARG(Zeto::ErrorInfo, makeErrorInfo(connectionError)));
}

void RemoteObjectPrivate::callRemoteSlot(RemoteSlotResponsePrivate *response, const char *slot,
                                         const QVector<QVariant> &arguments)
{
    if (m_internal)
        m_internal->callRemoteSlot(response, slot, arguments);
}

void RemoteObjectPrivate::connectToRemoteSignal(RemoteObjectConnectionPrivate *connection, const char *signal,
                                                QObject *receiver, const char *slot)
{
    if (m_internal)
        m_internal->connectToRemoteSignal(connection, signal, receiver, slot);
}

void RemoteObjectPrivate::connectToRemoteSlot(RemoteObjectConnectionPrivate *connection, QObject *sender,
                                              const char *signal, const char *slot)
{
    if (m_internal)
        m_internal->connectToRemoteSlot(connection, sender, signal, slot);
}

void RemoteObjectPrivate::disconnectFromRemoteSignal(const char *signal, QObject *receiver, const char *slot)
{
    if (m_internal)
        m_internal->disconnectFromRemoteSignal(signal, receiver, slot);
}

void RemoteObjectPrivate::disconnectFromRemoteSlot(QObject *sender, const char *signal, const char *slot)
{
    if (m_internal)
        m_internal->disconnectFromRemoteSlot(sender, signal, slot);
}

// The first of the internal's two reports of a loss cuts the link, so the
// application sees one error per loss.
void RemoteObjectPrivate::onInternalDisconnected()
{
    disconnect(m_internal, nullptr, this, nullptr);
    Q_EMIT error(makeErrorInfo(ConnectionDropped));
}

void RemoteObjectPrivate::onInternalError(const ErrorInfo &errorInfo)
{
    disconnect(m_internal, nullptr, this, nullptr);
    Q_EMIT error(errorInfo);
}

} // namespace Client
} // namespace Zeto
