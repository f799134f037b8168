#include "AbstractWebSocketQVariantCourier.h"
#include "../LoggingCategories_p.h"

#include "WorkBuffer.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QPointer>
#include <QtCore/QThreadStorage>
#include <QtNetwork/QSslSocket>
#include <QtWebSockets/QWebSocket>

#include <sys/ioctl.h>

#include <utility>

namespace Zeto {

namespace {

// A peer that never answers our close frame must not keep the socket forever.
constexpr int CloseTimeoutInMs = 10 * 1000;
// While the peer is held back its socket keeps no more of its input than this,
// so the rest waits in the kernel and TCP stops the peer.
constexpr qint64 HeldBackReadBufferSize = 0x10000;
// The socket's own signals are blocked while the peer is held back, so its
// queue is looked at this often instead.
constexpr int DrainCheckIntervalInMs = 20;

static_assert(WriteQueueLimits().hardLimitInBytes
                  == WriteQueueLimits().highWaterMarkInBytes + 2 * QVariantReaderWriter::MaxMessageSize,
              "two of the largest messages fit above the high-water mark");

// Counts the times this thread's event loop has woken up.
quint64 currentLoopTurn()
{
    thread_local quint64 turns = 0;
    thread_local QPointer<QAbstractEventDispatcher> watched;
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher)
        return ++turns;
    if (watched != dispatcher) {
        watched = dispatcher;
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [] { ++turns; });
    }
    return turns;
}

QByteArray &threadOutputBuffer()
{
    static QThreadStorage<QByteArray> buffers;
    if (!buffers.hasLocalData())
        buffers.setLocalData(WorkBuffer::reserved());
    return buffers.localData();
}

ErrorInfo socketErrorInfo(QAbstractSocket::SocketError socketError)
{
    if (socketError == QAbstractSocket::RemoteHostClosedError)
        return makeErrorInfo(ConnectionDropped);
    return makeErrorInfo(socketError);
}

QAbstractSocket *tcpSocketOf(const QWebSocket *webSocket)
{
    // QWebSocket keeps its TCP socket as a child and offers no other way to it.
    return webSocket->findChild<QAbstractSocket *>(QString(), Qt::FindDirectChildrenOnly);
}

// The socket's error counts too: the connection may already be gone while
// the socket is still reporting it.
bool isConnectionAlive(const QAbstractSocket *socket)
{
    return socket && socket->state() == QAbstractSocket::ConnectedState
        && socket->error() == QAbstractSocket::UnknownSocketError;
}

// What the system has received for the socket and Qt has not read yet.
bool hasUnreadInput(const QAbstractSocket *socket)
{
    int pending = 0;
    return socket && socket->socketDescriptor() >= 0
        && ::ioctl(int(socket->socketDescriptor()), FIONREAD, &pending) == 0 && pending > 0;
}

// QWebSocket gives up on a frame whose rest does not arrive within seconds;
// while the courier holds the input back the wait is not the peer's doing.
QList<QTimer *> frameWaitTimers(const QWebSocket *webSocket, const QAbstractSocket *tcpSocket)
{
    QList<QTimer *> timers;
    for (const QObject *child : webSocket->children()) {
        if (child != tcpSocket)
            timers += child->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    }
    return timers;
}

void logFailedSend()
{
    qCCritical(lcZetoTransport,
               "Failed to send message to peer. Could not convert QVariant to QByteArray or compression failed.");
}

} // namespace

void AbstractWebSocketQVariantCourier::ClosingDeleter::operator()(QWebSocket *webSocket) const
{
    // A connection the peer dropped may still look open to QWebSocket, and a
    // close frame written to it would reach a socket that is gone.
    if (webSocket->state() != QAbstractSocket::ConnectedState || !isConnectionAlive(tcpSocketOf(webSocket))) {
        webSocket->abort();
        webSocket->deleteLater();
        return;
    }
    QObject::connect(webSocket, &QWebSocket::disconnected, webSocket, &QObject::deleteLater);
    QTimer::singleShot(CloseTimeoutInMs, webSocket, &QWebSocket::abort);
    webSocket->close(QWebSocketProtocol::CloseCodeNormal, QString());
}

AbstractWebSocketQVariantCourier::AbstractWebSocketQVariantCourier(QWebSocket *webSocket, const CourierTiming &timing)
    : m_webSocket(webSocket),
      m_keepAliveTimer(new QTimer),
      m_drainTimer(new QTimer),
      m_timing(timing),
      m_peerDeadline(timing.peerDeadlineInMs, Qt::CoarseTimer)
{
    m_webSocket->setMaxAllowedIncomingMessageSize(QVariantReaderWriter::MaxMessageSize);
    m_webSocket->setMaxAllowedIncomingFrameSize(QVariantReaderWriter::MaxMessageSize);
    connect(webSocket, &QWebSocket::binaryMessageReceived, this, &AbstractWebSocketQVariantCourier::onBinaryMessageReceived);
    connect(webSocket, &QWebSocket::textMessageReceived, this, &AbstractWebSocketQVariantCourier::onTextReceived);
    connect(webSocket, &QWebSocket::textFrameReceived, this, &AbstractWebSocketQVariantCourier::onTextReceived);
    connect(webSocket, &QWebSocket::disconnected, this, &AbstractWebSocketQVariantCourier::onDisconnected);
    connect(webSocket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error),
            this, &AbstractWebSocketQVariantCourier::onSocketError);
    connect(webSocket, &QWebSocket::pong, this, &AbstractWebSocketQVariantCourier::onPong);
    connect(m_keepAliveTimer.data(), &QTimer::timeout, this, &AbstractWebSocketQVariantCourier::onKeepAliveTick);
    m_keepAliveTimer->start(timing.pingIntervalInMs);
    connect(m_drainTimer.data(), &QTimer::timeout, this, &AbstractWebSocketQVariantCourier::onDrainCheck);
}

AbstractWebSocketQVariantCourier::~AbstractWebSocketQVariantCourier()
{
    detach();
}

bool AbstractWebSocketQVariantCourier::sendQVariant(const QVariant &qVariant)
{
    return m_state == State::Running ? sendFrame(qVariant) : queueStreamForm(qVariant);
}

// Bytes the system holds for the socket are read when the event loop next
// serves it; the WebSocket then decodes them in a posted call, so the close
// is posted behind that.
void AbstractWebSocketQVariantCourier::closeGoingAway()
{
    if (m_webSocket->state() != QAbstractSocket::ConnectedState)
        return;
    if (hasUnreadInput(tcpSocket())) {
        QTimer::singleShot(0, this, &AbstractWebSocketQVariantCourier::closeGoingAway);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_webSocket->state() != QAbstractSocket::ConnectedState)
                return;
            QTimer::singleShot(CloseTimeoutInMs, m_webSocket.get(), &QWebSocket::abort);
            m_webSocket->close(QWebSocketProtocol::CloseCodeGoingAway, QString());
        },
        Qt::QueuedConnection);
}

QAbstractSocket *AbstractWebSocketQVariantCourier::tcpSocket() const
{
    return tcpSocketOf(m_webSocket.get());
}

QWebSocket *AbstractWebSocketQVariantCourier::webSocket() const
{
    return m_webSocket.get();
}

bool AbstractWebSocketQVariantCourier::isHandshaking() const
{
    return m_state == State::Handshaking;
}

void AbstractWebSocketQVariantCourier::sendHandshakeMessage(const QByteArray &message)
{
    m_webSocket->sendBinaryMessage(message);
}

void AbstractWebSocketQVariantCourier::completeHandshake(const FrameSettings &frameSettings)
{
    m_frameSettings = frameSettings;
    m_state = State::Running;
    m_tcpSocket = tcpSocket();
    const QList<QByteArray> pending = std::exchange(m_pendingStreamForms, {});
    // Any of them may fail the courier, and the rest must not follow.
    for (const QByteArray &streamForm : pending) {
        if (m_state != State::Running)
            return;
        sendQueuedFrame(streamForm);
    }
}

void AbstractWebSocketQVariantCourier::failHandshake()
{
    fail(makeErrorInfo(ZetoHandshakeFailed), SocketFate::Aborted);
}

void AbstractWebSocketQVariantCourier::fail(const ErrorInfo &errorInfo, SocketFate socketFate)
{
    if (m_flushing) {
        failAfterReturn(errorInfo, socketFate);
        return;
    }
    leaveSocket(socketFate);
    // Receivers may delete this courier: nothing may follow the emission.
    Q_EMIT error(errorInfo);
}

// For failures found inside sendQVariant(): its caller must not see the
// courier deleted under it.
void AbstractWebSocketQVariantCourier::failAfterReturn(const ErrorInfo &errorInfo, SocketFate socketFate)
{
    leaveSocket(socketFate);
    QMetaObject::invokeMethod(this, [this, errorInfo] { Q_EMIT error(errorInfo); }, Qt::QueuedConnection);
}

void AbstractWebSocketQVariantCourier::leaveSocket(SocketFate socketFate)
{
    detach();
    if (socketFate == SocketFate::Aborted)
        m_webSocket->abort();
}

// Qt asks for TCP_NODELAY before its socket exists, so it never takes effect;
// without it every frame larger than a segment waits for the peer's delayed ACK.
void AbstractWebSocketQVariantCourier::enableLowDelay()
{
    if (QAbstractSocket *socket = tcpSocket())
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void AbstractWebSocketQVariantCourier::onBinaryMessageReceived(const QByteArray &message)
{
    if (m_state == State::Handshaking) {
        handleHandshakeMessage(message);
        return;
    }
    QVariant qVariant;
    if (!QVariantReaderWriter::forCurrentThread().read(qVariant, m_frameSettings, message) || !qVariant.isValid()) {
        qCDebug(lcZetoTrace).nospace() << "received " << message.size() << " bytes from " << qUtf8Printable(peerName())
                                       << " that fail their check";
        fail(makeErrorInfo(MessageIntegrityCheckFailed), SocketFate::Aborted);
        return;
    }
    qCDebug(lcZetoTrace).nospace() << "received " << message.size() << " bytes from " << qUtf8Printable(peerName())
                                   << ": " << qVariant;
    Q_EMIT receivedQVariant(qVariant);
}

// The protocol uses binary messages only.
void AbstractWebSocketQVariantCourier::onTextReceived()
{
    fail(makeErrorInfo(InvalidMessage), SocketFate::Aborted);
}

// Qt reports a failed attempt to connect as a disconnection before its error,
// so the socket's error, if it has one, tells a refused connection from a dropped one.
void AbstractWebSocketQVariantCourier::onDisconnected()
{
    const QAbstractSocket::SocketError cause = webSocket()->error();
    fail(cause == QAbstractSocket::UnknownSocketError ? makeErrorInfo(ConnectionDropped) : socketErrorInfo(cause),
         SocketFate::Kept);
}

void AbstractWebSocketQVariantCourier::onSocketError(QAbstractSocket::SocketError socketError)
{
    fail(socketErrorInfo(socketError), SocketFate::Kept);
}

void AbstractWebSocketQVariantCourier::onPong()
{
    m_peerDeadline.setRemainingTime(m_timing.peerDeadlineInMs, Qt::CoarseTimer);
}

void AbstractWebSocketQVariantCourier::onKeepAliveTick()
{
    if (m_peerDeadline.hasExpired()) {
        fail(makeErrorInfo(PeerNotResponding), SocketFate::Aborted);
        return;
    }
    // A ping written while the socket still connects would precede the
    // WebSocket upgrade request on the wire.
    if (m_webSocket->state() == QAbstractSocket::ConnectedState)
        m_webSocket->ping();
}

void AbstractWebSocketQVariantCourier::detach()
{
    m_state = State::Failed;
    m_pendingStreamForms.clear();
    m_keepAliveTimer->stop();
    m_keepAliveTimer->disconnect(this);
    m_webSocket->disconnect(this);
    if (m_peerHeldBack) {
        m_drainTimer->stop();
        setPeerHeldBack(false);
    }
}

// The stream form does not wait for the handshake, so its sender learns at
// once whether the value can travel. One that can reaches nobody once the
// courier has failed or while its socket is unconnected.
bool AbstractWebSocketQVariantCourier::queueStreamForm(const QVariant &qVariant)
{
    QByteArray streamForm;
    if (!QVariantReaderWriter::forCurrentThread().writeStreamForm(streamForm, qVariant)) {
        logFailedSend();
        return false;
    }
    if (m_state == State::Handshaking && m_webSocket->state() != QAbstractSocket::UnconnectedState)
        m_pendingStreamForms.append(streamForm);
    return true;
}

bool AbstractWebSocketQVariantCourier::sendFrame(const QVariant &qVariant)
{
    const bool framed = QVariantReaderWriter::forCurrentThread().write(threadOutputBuffer(), m_frameSettings, qVariant);
    if (framed) {
        qCDebug(lcZetoTrace).nospace() << "sent " << threadOutputBuffer().size() << " bytes to "
                                       << qUtf8Printable(peerName()) << ": " << qVariant;
    }
    return transmitFrame(framed);
}

void AbstractWebSocketQVariantCourier::sendQueuedFrame(const QByteArray &streamForm)
{
    const bool framed =
        QVariantReaderWriter::forCurrentThread().writeFrame(threadOutputBuffer(), m_frameSettings, streamForm);
    if (framed) {
        qCDebug(lcZetoTrace).nospace() << "sent " << threadOutputBuffer().size() << " bytes to "
                                       << qUtf8Printable(peerName()) << ": a value queued before the handshake";
    }
    transmitFrame(framed);
}

// The peer's address and port, as the trace names it.
QString AbstractWebSocketQVariantCourier::peerName() const
{
    const QAbstractSocket *socket = tcpSocket();
    return socket ? socket->peerAddress().toString() + QLatin1Char(':') + QString::number(socket->peerPort())
                  : QStringLiteral("a closed socket");
}

// Sends what the codec has just framed into this thread's output buffer.
bool AbstractWebSocketQVariantCourier::transmitFrame(bool framed)
{
    if (!framed) {
        logFailedSend();
        return false;
    }
    QByteArray &frame = threadOutputBuffer();
    m_webSocket->sendBinaryMessage(frame);
    WorkBuffer::releaseIfGrown(frame);
    writeFirstOfTurnNow();
    watchWriteQueue();
    return true;
}

// The socket writes only once the event loop comes round again; the first
// message of a turn goes out at once, so that a lone call does not wait for
// that, while a burst still leaves in one write. flush() does not block.
void AbstractWebSocketQVariantCourier::writeFirstOfTurnNow()
{
    const quint64 turn = currentLoopTurn();
    if (turn == m_lastFlushedTurn)
        return;
    m_lastFlushedTurn = turn;
    flushSocket();
}

// A write that fails here is reported by the socket at once, and the
// caller of sendQVariant() must not see the courier deleted under it.
void AbstractWebSocketQVariantCourier::flushSocket()
{
    m_flushing = true;
    m_webSocket->flush();
    m_flushing = false;
}

qint64 AbstractWebSocketQVariantCourier::queuedBytes() const
{
    // TLS keeps what it has encrypted already in a buffer of its own.
    const auto *sslSocket = qobject_cast<const QSslSocket *>(m_tcpSocket.data());
    return m_webSocket->bytesToWrite() + (sslSocket ? sslSocket->encryptedBytesToWrite() : 0);
}

// Below the low-water mark the socket writes whenever the event loop lets it.
void AbstractWebSocketQVariantCourier::watchWriteQueue()
{
    const WriteQueueLimits &limits = m_timing.writeQueue;
    // A failed flush, the one in sendFrame() or the one below, has failed the courier.
    if (m_state != State::Running || queuedBytes() < limits.lowWaterMarkInBytes)
        return;
    // Input that keeps arriving must not starve our writes; flush() does not block.
    flushSocket();
    if (m_state != State::Running)
        return;
    const qint64 queued = queuedBytes();
    if (queued >= limits.hardLimitInBytes)
        failAfterReturn(makeErrorInfo(PeerNotResponding), SocketFate::Aborted);
    else if (!m_peerHeldBack && queued >= limits.highWaterMarkInBytes)
        holdBackPeer();
}

void AbstractWebSocketQVariantCourier::holdBackPeer()
{
    setPeerHeldBack(true);
    m_drainDeadline.setRemainingTime(m_timing.writeQueue.drainDeadlineInMs, Qt::CoarseTimer);
    m_drainTimer->start(DrainCheckIntervalInMs);
}

// Errors the socket met while its signals were blocked were never reported.
void AbstractWebSocketQVariantCourier::onDrainCheck()
{
    if (!isConnectionAlive(m_tcpSocket)) {
        fail(makeErrorInfo(ConnectionDropped), SocketFate::Kept);
        return;
    }
    if (queuedBytes() < m_timing.writeQueue.lowWaterMarkInBytes)
        releasePeer();
    else if (m_drainDeadline.hasExpired())
        fail(makeErrorInfo(PeerNotResponding), SocketFate::Aborted);
}

void AbstractWebSocketQVariantCourier::releasePeer()
{
    m_drainTimer->stop();
    setPeerHeldBack(false);
    // What arrived meanwhile waits in the socket, and its readyRead was blocked.
    QMetaObject::invokeMethod(m_tcpSocket, "readyRead", Qt::QueuedConnection);
}

// QWebSocket reads all its socket has on every readyRead, through a
// connection of its own; only keeping the signal from it stops the reading.
void AbstractWebSocketQVariantCourier::setPeerHeldBack(bool heldBack)
{
    m_peerHeldBack = heldBack;
    if (!m_tcpSocket)
        return;
    m_tcpSocket->setReadBufferSize(heldBack ? HeldBackReadBufferSize : 0);
    m_tcpSocket->blockSignals(heldBack);
    for (QTimer *timer : frameWaitTimers(m_webSocket.get(), m_tcpSocket))
        timer->blockSignals(heldBack);
}

} // namespace Zeto
