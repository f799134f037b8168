#ifndef ZETO_CLIENT_REMOTEOBJECT_H
#define ZETO_CLIENT_REMOTEOBJECT_H

#include "../ErrorHandler/ErrorHandler.h"
#include "../ZetoGlobal.h"
#include "IRemoteObjectConnection.h"
#include "IRemoteSlotResponse.h"
#include "ReconnectPolicy.h"

#include <QtCore/QObject>
#include <QtCore/QSharedPointer>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtCore/QVector>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>

#include <cstddef>

namespace Zeto {
namespace Client {

class RemoteObjectPrivate;

namespace Detail {

template <typename T>
QVariant toVariant(const T &value)
{
    return QVariant::fromValue(value);
}

// Text literals travel as QString, as a QVariant built from one would.
inline QVariant toVariant(const char *text)
{
    return QString::fromUtf8(text);
}

template <std::size_t Size>
QVariant toVariant(const char (&text)[Size])
{
    return QString::fromUtf8(text);
}

} // namespace Detail

// A local proxy for a QObject that a server creates on request:
//
//     RemoteObject calculator("Calculator", QUrl("zeto://127.0.0.1:4000/calc"));
//     connect(&calculator, &RemoteObject::connected, [&] {
//         auto sum = calculator.call("add", 2, 3);
//         connect(sum.data(), &IRemoteSlotResponse::responded, [](const QVariant &result) { ... });
//     });
//
// Exactly one of connected() or error() follows construction, from the event
// loop; after connected(), at most one error() tells that the object or its
// connection is lost. Calls and links made before connected() are sent, in
// order, as soon as the object exists. Use it in one thread with an event loop.
//
// With setReconnectEnabled(true), a lost connection is not the end: the
// object is made again on the server, and its links with it.
class ZETO_EXPORT RemoteObject : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteObject)

public:
    // The argument travels to the server's factory with the request. Objects
    // of a thread share a connection per server, scheme, TLS configuration
    // and proxy, unless dedicatedConnection asks for one of their own.
    RemoteObject(const char *className, const QUrl &url, const QVariant &argument = QVariant(),
                 const QSslConfiguration &sslConfiguration = QSslConfiguration::defaultConfiguration(),
                 const QNetworkProxy &proxy = QNetworkProxy(), bool dedicatedConnection = false);
    ~RemoteObject() override;

    // Calls the remote slot of that name with the arguments, each turned into
    // a QVariant; the slot is chosen by the arguments' types. The handle
    // reports the result once, from the event loop, if the caller keeps it.
    template <typename... Arguments>
    QSharedPointer<IRemoteSlotResponse> call(const char *slot, const Arguments &...arguments)
    {
        return callRemoteSlotInternal(slot, QVector<QVariant>{Detail::toVariant(arguments)...});
    }

    // Signals and slots as SIGNAL() and SLOT() write them.
    static QSharedPointer<IRemoteObjectConnection> connect(RemoteObject *sender, const char *signal,
                                                           QObject *receiver, const char *slot);
    static QSharedPointer<IRemoteObjectConnection> connect(QObject *sender, const char *signal,
                                                           RemoteObject *receiver, const char *slot);
    static void disconnect(RemoteObject *sender, const char *signal, QObject *receiver, const char *slot);
    static void disconnect(QObject *sender, const char *signal, RemoteObject *receiver, const char *slot);

    // QObject's own connect and disconnect stay at hand.
    using QObject::connect;
    using QObject::disconnect;

    // The deadline, in milliseconds, that each call and link made from now on
    // starts with, as if given to its handle's setTimeout(); 0, the default,
    // gives none.
    void setDefaultTimeout(int milliseconds);
    int defaultTimeout() const;

    // Off by default: when the object is lost, handles still waiting for an
    // answer never report, and later calls and links are ignored. On: when
    // the object is lost, each of them fails once with the error that
    // error() carries, after error(), and later calls and links fail at once
    // with it, from the event loop. Deleting the remote object then fails
    // them with ConnectionDropped. Handles that have already reported, and
    // links already made, are not told; dropped handles never are.
    void setSettleOnLoss(bool settle);
    bool settlesOnLoss() const;

    // Off by default. On, a loss that another attempt may mend (the
    // connection dropped, refused or timed out, the host not found, a
    // handshake failed, the peer stopped answering, the server went away or
    // lost the object) starts reconnecting, spaced by reconnectPolicy():
    // reconnecting() tells of each attempt before it is made. Each attempt
    // opens a connection, which remote objects of the same server share as
    // before, and asks the server for the class again with the same
    // argument; once it exists, every link made before the loss is made
    // again, silently, then the calls and links made meanwhile are sent in
    // order, and reconnected() follows. Calls and links waiting for an answer
    // at the loss fail with its error: they may or may not have run, and are
    // never sent twice. Requests made before the first connection wait for
    // it in the same way. error() comes only when reconnecting gives up: on
    // a loss that no attempt can mend (the class or path unknown, too many
    // objects, a certificate or other TLS failure, an argument that cannot
    // travel), or beyond the policy's limits; with it, every handle still
    // waiting fails, as with setSettleOnLoss(true). The object on the server
    // is new after each reconnection, its state the one its constructor
    // gives.
    void setReconnectEnabled(bool enabled);
    bool reconnectEnabled() const;
    void setReconnectPolicy(const ReconnectPolicy &policy);
    ReconnectPolicy reconnectPolicy() const;

Q_SIGNALS:
    void connected();
    void error(ErrorInfo errorInfo);
    // The connection is lost for the reason given, and attempt (from 1) is
    // made in delayInMilliseconds.
    void reconnecting(ErrorInfo cause, int attempt, int delayInMilliseconds);
    // The object is back, with its links, after an outage of that long.
    void reconnected(int outageInMilliseconds);

protected:
    RemoteObjectPrivate *d_func();
    const RemoteObjectPrivate *d_func() const;

private:
    QSharedPointer<IRemoteSlotResponse> callRemoteSlotInternal(const char *slot, const QVector<QVariant> &arguments);

    RemoteObjectPrivate *d;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTEOBJECT_H
