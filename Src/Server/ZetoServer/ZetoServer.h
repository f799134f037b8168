#ifndef ZETO_SERVER_ZETOSERVER_H
#define ZETO_SERVER_ZETOSERVER_H

#include "../../SDK/RemoteObjects/IQObjectFactory.h"
#include "../../SDK/RemoteObjects/QObjectFactory.h"

#include <QtCore/QObject>
#include <QtCore/QScopedPointer>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>
#include <QtNetwork/QHostAddress>
#include <QtNetwork/QSslConfiguration>

#include <functional>
#include <utility>

namespace Zeto {

class IConnectionInformation;

namespace Server {

class ZetoServerPrivate;

// Serves QObjects to remote objects: every accepted WebSocket connection,
// plain (zeto://) or over TLS (zetos://), may instantiate the classes
// registered here, call their REMOTE_SLOTs and link their REMOTE_SIGNALs.
//
// Each instantiation request creates one object, which is deleted when the
// client's remote object or its connection goes. Connection errors are
// logged through Qt's message handler and passed, with the connection's
// description, to the SDK's error handler (Zeto::setErrorHandler).
//
// Registrations and settings apply to connections accepted after them;
// compression, TLS and the handshake settings take effect at the next
// listen(). Everything happens on the thread the server lives in, which
// needs an event loop.
class ZetoServer : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ZetoServer)
    Q_DECLARE_PRIVATE(ZetoServer)

public:
    // Connections served at once; more are closed as soon as they are made.
    static constexpr int DefaultMaxConnections = 10000;
    // A connection has this long from accept to finish TLS, the WebSocket
    // upgrade and the handshake; otherwise it is closed.
    static constexpr int DefaultHandshakeTimeoutInMs = 10 * 1000;
    // Connections still in that handshake; more are closed at accept, so
    // that silent clients cannot take every descriptor.
    static constexpr int DefaultMaxPendingHandshakes = 1024;
    // Remote objects one connection may have at once; a client's request
    // beyond them is refused with TooManyRemoteObjects.
    static constexpr int DefaultMaxRemoteObjectsPerConnection = 4096;
    // Signal-slot links one connection may have at once; a client's request
    // beyond them is refused with TooManyRemoteSignalSlotConnections.
    static constexpr int DefaultMaxLinksPerConnection = 16384;
    // Linked emissions that may wait for one client's answers. A client that
    // lets more wait is not responding: its connection is closed.
    static constexpr int DefaultMaxWaitingCallsPerConnection = 65536;
    // Bytes queued for a client that does not read. Above them the server
    // stops reading from that client until a quarter of them is left; a
    // client that stays above them for 60 s is dropped.
    static constexpr qint64 DefaultMaxQueuedBytesPerConnection = 64 * 1024 * 1024;
    // How long drain() lets clients take to close by default.
    static constexpr int DefaultDrainDeadlineInMs = 10 * 1000;

    template <typename T>
    using Factory = std::function<T *(const QSharedPointer<IConnectionInformation> &)>;

    explicit ZetoServer(QObject *parent = nullptr);
    ~ZetoServer() override;

    // Offers class T under the URL path, on any host or, with a host, on
    // that host alone; a host-specific registration wins over a path-only
    // one. The factory receives the connection information (the
    // connection's addresses and the client's constructor argument). Without
    // a factory, T is built from the connection information if it has such
    // a constructor, and default-constructed otherwise; with a factory,
    // nothing is asked of T's constructors. A null object, or an exception,
    // refuses the request.
    template <typename T>
    void registerClass(const QString &path)
    {
        registerClass(path, QSharedPointer<IQObjectFactory>(new QObjectFactory<T>));
    }
    template <typename T>
    void registerClass(const QString &path, Factory<T> factory, const QString &host = QString())
    {
        registerClass(path, factoryOf<T>(std::move(factory)), host);
    }
    void registerClass(const QString &path, const QSharedPointer<IQObjectFactory> &factory,
                       const QString &host = QString());

    // Serves zetos:// with the configuration's local certificate and key.
    void setSslConfiguration(const QSslConfiguration &sslConfiguration);
    // Compression is off by default: over fast links deflating costs more
    // than the bytes it saves (a 64 KiB map of texts shrinks eightfold but
    // takes 1.5 ms more, against a loopback round trip of about 0.2 ms). It
    // pays off on links slower than about 300 Mbit/s, for values that
    // compress well. From now on, values of at least this many bytes are
    // compressed in both directions; a negative number turns compression off
    // again.
    void setCompressionThreshold(int bytes);
    void setMaxConnections(int maxConnections);
    void setHandshakeTimeout(int milliseconds);
    void setMaxPendingHandshakes(int maxPendingHandshakes);
    void setMaxRemoteObjectsPerConnection(int maxRemoteObjects);
    void setMaxLinksPerConnection(int maxLinks);
    void setMaxWaitingCallsPerConnection(int maxWaitingCalls);
    void setMaxQueuedBytesPerConnection(qint64 maxQueuedBytes);

    // False, with errorString(), when the address or port cannot be had.
    bool listen(const QHostAddress &address = QHostAddress::Any, quint16 port = 0);
    bool isListening() const;
    // The port listened on, 0 when not listening.
    quint16 serverPort() const;
    QString errorString() const;
    // Aborts every connection without a closing handshake; the objects made
    // for its clients go with the connections. New clients are still
    // accepted.
    void abortConnections();
    // Stops listening and aborts every connection, as a server that shuts
    // down.
    void close();
    // Shuts down gracefully, as before a restart or a deploy: stops
    // listening, refuses new instantiations (with ConnectionDropped, which a
    // reconnecting client takes as a reason to try again), answers what the
    // clients have sent, then closes every connection with the WebSocket
    // close code 1001 (going away). A connection still open when the
    // deadline passes is aborted. drained() follows once the last one has
    // gone, from the event loop.
    void drain(int deadlineInMs = DefaultDrainDeadlineInMs);
    bool isDraining() const;

    // Connections being served now.
    int connectionCount() const;

Q_SIGNALS:
    void drained();

private:
    // A null factory stands for T's own constructors, where T has one.
    template <typename T>
    static QSharedPointer<IQObjectFactory> factoryOf(Factory<T> factory)
    {
        if (factory)
            return QSharedPointer<IQObjectFactory>(new QObjectFactory<T>(std::move(factory)));
        if constexpr (QObjectFactory<T>::IsConstructible)
            return QSharedPointer<IQObjectFactory>(new QObjectFactory<T>);
        qFatal("A class without a constructor the server can call needs a factory.");
    }

    const QScopedPointer<ZetoServerPrivate> d_ptr;
};

} // namespace Server
} // namespace Zeto

#endif // ZETO_SERVER_ZETOSERVER_H
