#ifndef ZETO_CLIENT_REMOTEOBJECTPRIVATE_H
#define ZETO_CLIENT_REMOTEOBJECTPRIVATE_H

#include "../../ErrorHandler/ErrorHandler.h"
#include "../../ZetoGlobal.h"

#include <QtCore/QObject>
#include <QtCore/QThreadStorage>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtCore/QVector>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>

#include <optional>

namespace Zeto {
namespace Client {

class RemoteObjectConnectionPrivate;
class RemoteObjectInternal;
class RemoteSlotResponsePrivate;
class WebSocketBasedClientRemoteObjectInternalFactory;

// The state of a RemoteObject: its machinery from the thread's factory, the
// one error per loss that the application sees, and what becomes of the
// handles still waiting when the object is lost.
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

    // Each thread's factory, deleted when the thread ends (the main thread's
    // when the application object goes).
    static QThreadStorage<WebSocketBasedClientRemoteObjectInternalFactory *> &qRemoteObjectInternalFactories();

Q_SIGNALS:
    void connected();
    void error(Zeto::ErrorInfo errorInfo);

private:
    static WebSocketBasedClientRemoteObjectInternalFactory *factoryForCurrentThread();
    void postError(ConnectionError connectionError);
    void onInternalDisconnected();
    void onInternalError(const ErrorInfo &errorInfo);
    void lose(const ErrorInfo &errorInfo);
    // Whether the handle failed at once because the object is lost.
    template <typename Handle>
    bool failedByLoss(Handle *handle) const;

    RemoteObjectInternal *m_internal = nullptr;
    std::optional<ErrorInfo> m_loss;
    bool m_settlesOnLoss = false;
    int m_defaultTimeout = 0;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTEOBJECTPRIVATE_H
