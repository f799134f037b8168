#ifndef ZETO_CLIENT_REMOTEOBJECTPRIVATE_H
#define ZETO_CLIENT_REMOTEOBJECTPRIVATE_H

#include "../../ErrorHandler/ErrorHandler.h"
#include "../../ZetoGlobal.h"
#include "../ReconnectPolicy.h"
#include "RemoteObjectInternal.h"

#include <QtCore/QBasicTimer>
#include <QtCore/QObject>
#include <QtCore/QThreadStorage>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtCore/QVector>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>

#include <memory>
#include <optional>

namespace Zeto {
namespace Client {

class Outage;
class RemoteObjectConnectionPrivate;
class RemoteSlotResponsePrivate;
class WebSocketBasedClientRemoteObjectInternalFactory;

// The state of a RemoteObject: its machinery from the thread's factory, the
// one error per loss that the application sees, what becomes of the handles
// still waiting when the object is lost, and, with reconnecting on, the
// attempts to make it again.
class ZETO_PRIVATE_EXPORT RemoteObjectPrivate : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteObjectPrivate)

public:
    RemoteObjectPrivate(const char *className, const QUrl &url, const QVariant &argument,
                        const QSslConfiguration &sslConfiguration, const QNetworkProxy &proxy,
                        bool dedicatedConnection);
    ~RemoteObjectPrivate() override;

    void callRemoteSlot(RemoteSlotResponsePrivate *response, const char *slot, const QVector<QVariant> &arguments);
    void connectToRemoteSignal(RemoteObjectConnectionPrivate *connection, const char *signal, QObject *receiver,
                               const char *slot);
    void connectToRemoteSlot(RemoteObjectConnectionPrivate *connection, QObject *sender, const char *signal,
                             const char *slot);
    void disconnectFromRemoteSignal(const char *signal, QObject *receiver, const char *slot);
    void disconnectFromRemoteSlot(QObject *sender, const char *signal, const char *slot);

    void setDefaultTimeout(int milliseconds);
    int defaultTimeout() const;
    void setSettleOnLoss(bool settle);
    bool settlesOnLoss() const;
    void setReconnectEnabled(bool enabled);
    bool reconnectEnabled() const;
    void setReconnectPolicy(const ReconnectPolicy &policy);
    ReconnectPolicy reconnectPolicy() const;

    // Whether another attempt may mend a loss for that reason.
    static bool isWorthRetrying(const ErrorInfo &errorInfo);

    // Each thread's factory, deleted when the thread ends (the main thread's
    // when the application object goes).
    static QThreadStorage<WebSocketBasedClientRemoteObjectInternalFactory *> &qRemoteObjectInternalFactories();

Q_SIGNALS:
    void connected();
    void error(Zeto::ErrorInfo errorInfo);
    void reconnecting(Zeto::ErrorInfo cause, int attempt, int delayInMilliseconds);
    void reconnected(int outageInMilliseconds);

protected:
    // The wait before the next attempt is the only timer this object runs.
    void timerEvent(QTimerEvent *event) override;

private:
    static WebSocketBasedClientRemoteObjectInternalFactory *factoryForCurrentThread();
    bool createInternal();
    void postError(ConnectionError connectionError);
    void onInternalConnected();
    void onInternalResumed();
    void onInternalDisconnected();
    void onInternalError(const ErrorInfo &errorInfo);
    void lose(const ErrorInfo &errorInfo);
    void startOutage(const ErrorInfo &cause);
    void scheduleAttempt();
    void attemptReconnection();
    // By value: the cause may live in the outage that ends here.
    void giveUp(ErrorInfo errorInfo);
    void letInternalGo();
    bool settles() const;
    // Whether the handle failed at once because the object is lost.
    template <typename Handle>
    bool failedByLoss(Handle *handle) const;
    // The request waits in the outage, or fails at once when it is full.
    template <typename Handle>
    void holdInOutage(Handle *handle, const RemoteObjectInternal::PendingOperation &request);
    void holdLinkInOutage(RemoteObjectConnectionPrivate *connection, RemoteObjectInternal::LinkKind kind,
                          QObject *localObject, const char *signal, const char *slot);

    const QByteArray m_className;
    const QUrl m_url;
    const QVariant m_argument;
    const QSslConfiguration m_sslConfiguration;
    const QNetworkProxy m_proxy;
    const bool m_dedicatedConnection;
    RemoteObjectInternal *m_internal = nullptr;
    std::optional<ErrorInfo> m_loss;
    bool m_settlesOnLoss = false;
    int m_defaultTimeout = 0;
    bool m_reconnects = false;
    bool m_hasConnected = false;
    ReconnectPolicy m_policy;
    std::unique_ptr<Outage> m_outage;
    // Since the loss, until the links are made again.
    qint64 m_outageLength = 0;
    QBasicTimer m_attemptTimer;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTEOBJECTPRIVATE_H
