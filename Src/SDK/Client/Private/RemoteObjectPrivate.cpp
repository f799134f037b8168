#include "RemoteObjectPrivate.h"
#include "../../LoggingCategories_p.h"

#include "Outage.h"
#include "RemoteObjectConnectionPrivate.h"
#include "RemoteObjectInternal.h"
#include "RemoteSlotResponsePrivate.h"
#include "WebSocketBasedClientRemoteObjectInternalFactory.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QRandomGenerator>
#include <QtCore/QThread>

#include <utility>

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
    : m_className(className),
      m_url(url),
      m_argument(argument),
      m_sslConfiguration(sslConfiguration),
      m_proxy(proxy),
      m_dedicatedConnection(dedicatedConnection)
{
    // An empty name would send nothing and leave the object waiting forever.
    if (!className || !*className) {
        qCCritical(lcZetoClient, "Failed to create remote object. Given class name is null.");
        postError(RemoteObjectNotFound);
        return;
    }
    if (!createInternal()) {
        qCCritical(lcZetoClient,
                   "Failed to create remote object. Given url is invalid. Valid urls must have zeto or zetos as "
                   "scheme, a non-empty host and a positive integer as port number.");
        postError(InvalidRemoteObjectUrl);
    }
}

// The application let the object go: as far as its handles can tell, its
// connection is dropped.
RemoteObjectPrivate::~RemoteObjectPrivate()
{
    if (m_outage)
        m_outage->fail(makeErrorInfo(ConnectionDropped));
    if (!m_internal)
        return;
    if (settles())
        m_internal->failOutstandingRequests(makeErrorInfo(ConnectionDropped));
    m_internal->deleteLater();
}

bool RemoteObjectPrivate::createInternal()
{
    m_internal = factoryForCurrentThread()->create(m_className.constData(), m_argument, m_url, m_sslConfiguration,
                                                   m_proxy, m_dedicatedConnection);
    if (!m_internal)
        return false;
    connect(m_internal, &RemoteObjectInternal::connected, this, &RemoteObjectPrivate::onInternalConnected);
    connect(m_internal, &RemoteObjectInternal::disconnected, this, &RemoteObjectPrivate::onInternalDisconnected);
    connect(m_internal, &RemoteObjectInternal::error, this, &RemoteObjectPrivate::onInternalError);
    return true;
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
    if (!settles() || !m_loss)
        return false;
    handle->emitFailed(*m_loss);
    return true;
}

// Built only during an outage: a call's path stays as it was otherwise.
template <typename Handle>
void RemoteObjectPrivate::holdInOutage(Handle *handle, const RemoteObjectInternal::PendingOperation &request)
{
    const int limit = m_policy.maximumQueuedRequests();
    if (!m_outage->queue(request, limit)) {
        qCWarning(lcZetoClient, "Remote object %s at %s is reconnecting and holds %d requests already: one more fails.",
                  m_className.constData(), qPrintable(m_url.toDisplayString()), limit);
        handle->emitFailed(makeErrorInfo(PeerNotResponding));
    }
}

void RemoteObjectPrivate::holdLinkInOutage(RemoteObjectConnectionPrivate *connection,
                                           RemoteObjectInternal::LinkKind kind, QObject *localObject,
                                           const char *signal, const char *slot)
{
    if (const std::optional<ConnectionError> refusal = RemoteObjectInternal::linkRefusal(localObject, signal, slot))
        connection->emitFailed(makeErrorInfo(*refusal));
    else
        holdInOutage(connection, {false, {}, kind, {connection, localObject, signal, slot}});
}

void RemoteObjectPrivate::callRemoteSlot(RemoteSlotResponsePrivate *response, const char *slot,
                                         const QVector<QVariant> &arguments)
{
    if (failedByLoss(response))
        return;
    if (!m_outage) {
        if (m_internal)
            m_internal->callRemoteSlot(response, slot, arguments);
    } else if (!slot) {
        response->emitFailed(makeErrorInfo(InvalidSlot));
    } else {
        holdInOutage(response, {true, {response, slot, arguments}, {}, {}});
    }
}

void RemoteObjectPrivate::connectToRemoteSignal(RemoteObjectConnectionPrivate *connection, const char *signal,
                                                QObject *receiver, const char *slot)
{
    if (failedByLoss(connection))
        return;
    if (m_outage)
        holdLinkInOutage(connection, RemoteObjectInternal::ToRemoteSignal, receiver, signal, slot);
    else if (m_internal)
        m_internal->connectToRemoteSignal(connection, signal, receiver, slot);
}

void RemoteObjectPrivate::connectToRemoteSlot(RemoteObjectConnectionPrivate *connection, QObject *sender,
                                              const char *signal, const char *slot)
{
    if (failedByLoss(connection))
        return;
    if (m_outage)
        holdLinkInOutage(connection, RemoteObjectInternal::ToRemoteSlot, sender, signal, slot);
    else if (m_internal)
        m_internal->connectToRemoteSlot(connection, sender, signal, slot);
}

void RemoteObjectPrivate::disconnectFromRemoteSignal(const char *signal, QObject *receiver, const char *slot)
{
    if (m_outage && signal && slot)
        m_outage->removeLinks(RemoteObjectInternal::ToRemoteSignal, receiver, signal, slot);
    else if (m_internal)
        m_internal->disconnectFromRemoteSignal(signal, receiver, slot);
}

void RemoteObjectPrivate::disconnectFromRemoteSlot(QObject *sender, const char *signal, const char *slot)
{
    if (m_outage && signal && slot)
        m_outage->removeLinks(RemoteObjectInternal::ToRemoteSlot, sender, signal, slot);
    else if (m_internal)
        m_internal->disconnectFromRemoteSlot(sender, signal, slot);
}

void RemoteObjectPrivate::setDefaultTimeout(int milliseconds) { m_defaultTimeout = milliseconds; }

int RemoteObjectPrivate::defaultTimeout() const { return m_defaultTimeout; }

void RemoteObjectPrivate::setSettleOnLoss(bool settle) { m_settlesOnLoss = settle; }

bool RemoteObjectPrivate::settlesOnLoss() const { return m_settlesOnLoss; }

// Turned off while reconnecting, the object gives up, from the event loop.
void RemoteObjectPrivate::setReconnectEnabled(bool enabled)
{
    m_reconnects = enabled;
    if (!enabled && m_outage) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_outage && !m_reconnects)
                    giveUp(m_outage->cause());
            },
            Qt::QueuedConnection);
    }
}

bool RemoteObjectPrivate::reconnectEnabled() const { return m_reconnects; }

void RemoteObjectPrivate::setReconnectPolicy(const ReconnectPolicy &policy) { m_policy = policy; }

ReconnectPolicy RemoteObjectPrivate::reconnectPolicy() const { return m_policy; }

// Transport failures, and the server going away or losing the object, may
// pass; what the server or the TLS configuration refused will not.
bool RemoteObjectPrivate::isWorthRetrying(const ErrorInfo &errorInfo)
{
    switch (errorInfo.type) {
    case SocketErrorType:
        switch (errorInfo.error.socketError) {
        case QAbstractSocket::SslHandshakeFailedError:
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError: return false;
        default: return true;
        }
    case ConnectionErrorType:
        switch (errorInfo.error.connectionError) {
        case SslHandshakeTimedOut:
        case WebSocketHandshakeTimedOut:
        case ZetoHandshakeTimedOut:
        case ZetoHandshakeFailed:
        case ConnectionTimedOut:
        case MessageIntegrityCheckFailed:
        case ConnectionDropped:
        case PeerNotResponding: return true;
        default: return false;
        }
    default: return false;
    }
}

bool RemoteObjectPrivate::settles() const { return m_settlesOnLoss || m_reconnects; }

void RemoteObjectPrivate::timerEvent(QTimerEvent *)
{
    m_attemptTimer.stop();
    attemptReconnection();
}

// Back after an outage: the links first, then what waited, in order. The
// application hears of it once the links are made again.
void RemoteObjectPrivate::onInternalConnected()
{
    const std::unique_ptr<Outage> outage = std::move(m_outage);
    if (!outage || !std::exchange(m_hasConnected, true)) {
        m_hasConnected = true;
        if (outage)
            m_internal->resume(outage->takeRequests());
        Q_EMIT connected();
        return;
    }
    m_outageLength = outage->elapsed();
    connect(m_internal, &RemoteObjectInternal::resumed, this, &RemoteObjectPrivate::onInternalResumed);
    m_internal->resume(outage->takeRequests());
}

void RemoteObjectPrivate::onInternalResumed()
{
    disconnect(m_internal, &RemoteObjectInternal::resumed, this, &RemoteObjectPrivate::onInternalResumed);
    Q_EMIT reconnected(int(m_outageLength));
}

void RemoteObjectPrivate::onInternalDisconnected() { lose(makeErrorInfo(ConnectionDropped)); }

void RemoteObjectPrivate::onInternalError(const ErrorInfo &errorInfo) { lose(errorInfo); }

// The first of the internal's two reports of a loss cuts the link, so the
// application sees one error per loss. The handles fail before the error is
// emitted, since a receiver may delete this object, yet are heard after it:
// their reports are queued.
void RemoteObjectPrivate::lose(const ErrorInfo &errorInfo)
{
    disconnect(m_internal, nullptr, this, nullptr);
    if (m_reconnects && isWorthRetrying(errorInfo)) {
        if (!m_outage) {
            startOutage(errorInfo);
            return;
        }
        m_outage->attemptFailed(errorInfo);
        letInternalGo();
        scheduleAttempt();
        return;
    }
    if (m_outage) {
        giveUp(errorInfo);
        return;
    }
    m_loss = errorInfo;
    if (settles())
        m_internal->failOutstandingRequests(errorInfo);
    Q_EMIT error(errorInfo);
}

// Requests never sent wait for the next internal; those sent fail, since
// they may have run.
void RemoteObjectPrivate::startOutage(const ErrorInfo &cause)
{
    const QVector<RemoteObjectInternal::PendingOperation> madeLinks = m_internal->madeLinks();
    const QVector<RemoteObjectInternal::PendingOperation> unsent = m_internal->takeUnsentRequests();
    m_internal->failOutstandingRequests(cause);
    letInternalGo();
    m_outage = std::make_unique<Outage>(cause, madeLinks, unsent);
    scheduleAttempt();
}

// The signal comes last: a receiver may delete this object.
void RemoteObjectPrivate::scheduleAttempt()
{
    const int attempt = m_outage->nextAttempt();
    const int maximumAttempts = m_policy.maximumAttempts();
    const int delay = m_policy.jitteredDelay(attempt, QRandomGenerator::global()->generateDouble());
    const int maximumOutage = m_policy.maximumOutage();
    if ((maximumAttempts > 0 && attempt > maximumAttempts)
        || (maximumOutage > 0 && m_outage->elapsed() + delay > maximumOutage)) {
        giveUp(m_outage->cause());
        return;
    }
    m_attemptTimer.start(delay, this);
    Q_EMIT reconnecting(m_outage->cause(), attempt, delay);
}

void RemoteObjectPrivate::attemptReconnection()
{
    if (!m_outage || createInternal())
        return;
    // The connection it would ride on is ending: the next attempt opens one.
    m_outage->attemptFailed(makeErrorInfo(ConnectionDropped));
    scheduleAttempt();
}

void RemoteObjectPrivate::giveUp(ErrorInfo errorInfo)
{
    m_attemptTimer.stop();
    m_loss = errorInfo;
    if (m_internal) {
        m_internal->failOutstandingRequests(errorInfo);
        letInternalGo();
    }
    if (const std::unique_ptr<Outage> outage = std::move(m_outage))
        outage->fail(errorInfo);
    Q_EMIT error(errorInfo);
}

void RemoteObjectPrivate::letInternalGo()
{
    disconnect(m_internal, nullptr, this, nullptr);
    std::exchange(m_internal, nullptr)->deleteLater();
}

} // namespace Client
} // namespace Zeto
