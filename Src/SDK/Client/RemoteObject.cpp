#include "RemoteObject.h"

#include "../ErrorHandler/ErrorInfoRegistration_p.h"

#include "Private/RemoteObjectConnection.h"
#include "Private/RemoteObjectConnectionPrivate.h"
#include "Private/RemoteObjectPrivate.h"
#include "Private/RemoteSlotResponse.h"
#include "Private/RemoteSlotResponsePrivate.h"

namespace Zeto {
namespace Client {

RemoteObject::RemoteObject(const char *className, const QUrl &url, const QVariant &argument,
                           const QSslConfiguration &sslConfiguration, const QNetworkProxy &proxy,
                           bool dedicatedConnection)
    : d(new RemoteObjectPrivate(className, url, argument, sslConfiguration, proxy, dedicatedConnection))
{
    registerErrorInfoType();
    QObject::connect(d, &RemoteObjectPrivate::connected, this, &RemoteObject::connected);
    QObject::connect(d, &RemoteObjectPrivate::error, this, &RemoteObject::error);
    QObject::connect(d, &RemoteObjectPrivate::reconnecting, this, &RemoteObject::reconnecting);
    QObject::connect(d, &RemoteObjectPrivate::reconnected, this, &RemoteObject::reconnected);
}

RemoteObject::~RemoteObject()
{
    delete d;
}

RemoteObjectPrivate *RemoteObject::d_func()
{
    return d;
}

const RemoteObjectPrivate *RemoteObject::d_func() const
{
    return d;
}

QSharedPointer<IRemoteSlotResponse> RemoteObject::callRemoteSlotInternal(const char *slot,
                                                                         const QVector<QVariant> &arguments)
{
    const auto response = QSharedPointer<RemoteSlotResponse>::create();
    response->setTimeout(d->defaultTimeout());
    d->callRemoteSlot(response->d_func(), slot, arguments);
    return response;
}

void RemoteObject::setDefaultTimeout(int milliseconds) { d->setDefaultTimeout(milliseconds); }

int RemoteObject::defaultTimeout() const { return d->defaultTimeout(); }

void RemoteObject::setSettleOnLoss(bool settle) { d->setSettleOnLoss(settle); }

bool RemoteObject::settlesOnLoss() const { return d->settlesOnLoss(); }

void RemoteObject::setReconnectEnabled(bool enabled) { d->setReconnectEnabled(enabled); }

bool RemoteObject::reconnectEnabled() const { return d->reconnectEnabled(); }

void RemoteObject::setReconnectPolicy(const ReconnectPolicy &policy) { d->setReconnectPolicy(policy); }

ReconnectPolicy RemoteObject::reconnectPolicy() const { return d->reconnectPolicy(); }

namespace {

// A link needs its remote object; without one the handle fails from the
// event loop.
template <typename Request>
QSharedPointer<IRemoteObjectConnection> requestLink(RemoteObjectPrivate *remote, Request request)
{
    const QSharedPointer<RemoteObjectConnection> connection(new RemoteObjectConnection);
    if (remote) {
        connection->setTimeout(remote->defaultTimeout());
        request(remote, connection->d_func());
    } else {
        connection->d_func()->emitFailed(makeErrorInfo(InvalidObject));
    }
    return connection;
}

} // namespace

QSharedPointer<IRemoteObjectConnection> RemoteObject::connect(RemoteObject *sender, const char *signal,
                                                              QObject *receiver, const char *slot)
{
    return requestLink(sender ? sender->d : nullptr,
                       [=](RemoteObjectPrivate *remote, RemoteObjectConnectionPrivate *connection) {
                           remote->connectToRemoteSignal(connection, signal, receiver, slot);
                       });
}

QSharedPointer<IRemoteObjectConnection> RemoteObject::connect(QObject *sender, const char *signal,
                                                              RemoteObject *receiver, const char *slot)
{
    return requestLink(receiver ? receiver->d : nullptr,
                       [=](RemoteObjectPrivate *remote, RemoteObjectConnectionPrivate *connection) {
                           remote->connectToRemoteSlot(connection, sender, signal, slot);
                       });
}

void RemoteObject::disconnect(RemoteObject *sender, const char *signal, QObject *receiver, const char *slot)
{
    if (sender)
        sender->d->disconnectFromRemoteSignal(signal, receiver, slot);
}

void RemoteObject::disconnect(QObject *sender, const char *signal, RemoteObject *receiver, const char *slot)
{
    if (receiver)
        receiver->d->disconnectFromRemoteSlot(sender, signal, slot);
}

} // namespace Client
} // namespace Zeto
