#include "RemoteObjectPrivate.h"

#include "RemoteObjectConnectionPrivate.h"
#include "RemoteObjectInternal.h"
#include "RemoteSlotResponsePrivate.h"
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

// The application let the object go: as far as its handles can tell, its
// connection is dropped.
RemoteObjectPrivate::~RemoteObjectPrivate()
{
    if (!m_internal)
        return;
    if (m_settlesOnLoss)
        m_internal->failOutstandingRequests(makeErrorInfo(ConnectionDropped));
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

// Lost from the start: handles that fail for it are queued behind the error.
void RemoteObjectPrivate::postError(ConnectionError connectionError)
{
    m_loss = makeErrorInfo(connectionError);
    QMetaObject::invokeMethod(this, "error", Qt::QueuedConnection, Q_ARG(Zeto::ErrorInfo, *m_loss));
}

template <typename Handle>
bool RemoteObjectPrivate::failedByLoss(Handle *handle) const
{
    if (!m_settlesOnLoss || !m_loss)
        return false;
    handle->emitFailed(*m_loss);
    return true;
}

void RemoteObjectPrivate::callRemoteSlot(RemoteSlotResponsePrivate *response, const char *slot,
                                         const QVector<QVariant> &arguments)
{
    if (!failedByLoss(response) && m_internal)
        m_internal->callRemoteSlot(response, slot, arguments);
}

void RemoteObjectPrivate::connectToRemoteSignal(RemoteObjectConnectionPrivate *connection, const char *signal,
                                                QObject *receiver, const char *slot)
{
    if (!failedByLoss(connection) && m_internal)
        m_internal->connectToRemoteSignal(connection, signal, receiver, slot);
}

void RemoteObjectPrivate::connectToRemoteSlot(RemoteObjectConnectionPrivate *connection, QObject *sender,
                                              const char *signal, const char *slot)
{
    if (!failedByLoss(connection) && m_internal)
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

void RemoteObjectPrivate::setDefaultTimeout(int milliseconds) { m_defaultTimeout = milliseconds; }

int RemoteObjectPrivate::defaultTimeout() const { return m_defaultTimeout; }

void RemoteObjectPrivate::setSettleOnLoss(bool settle) { m_settlesOnLoss = settle; }

bool RemoteObjectPrivate::settlesOnLoss() const { return m_settlesOnLoss; }

void RemoteObjectPrivate::onInternalDisconnected() { lose(makeErrorInfo(ConnectionDropped)); }

void RemoteObjectPrivate::onInternalError(const ErrorInfo &errorInfo) { lose(errorInfo); }

// The first of the internal's two reports of a loss cuts the link, so the
// application sees one error per loss. The handles fail before the error is
// emitted, since a receiver may delete this object, yet are heard after it:
// their reports are queued.
void RemoteObjectPrivate::lose(const ErrorInfo &errorInfo)
{
    disconnect(m_internal, nullptr, this, nullptr);
    m_loss = errorInfo;
    if (m_settlesOnLoss)
        m_internal->failOutstandingRequests(errorInfo);
    Q_EMIT error(errorInfo);
}

} // namespace Client
} // namespace Zeto
