#include "AbstractWebSocketQVariantCourier.h"

#include <QtCore/QThreadStorage>
#include <QtWebSockets/QWebSocket>

#include <utility>

namespace Zeto {

namespace {

constexpr int OutputBufferSize = 0x100000;
// A peer that never answers our close frame must not keep the socket forever.
constexpr int CloseTimeoutInMs = 10 * 1000;

QByteArray &threadOutputBuffer()
{
    static QThreadStorage<QByteArray> buffers;
    if (!buffers.hasLocalData()) {
        QByteArray buffer;
        buffer.reserve(OutputBufferSize);
        buffers.setLocalData(buffer);
    }
    return buffers.localData();
}

ErrorInfo socketErrorInfo(QAbstractSocket::SocketError socketError)
{
    if (socketError == QAbstractSocket::RemoteHostClosedError)
        return makeErrorInfo(ConnectionDropped);
    return makeErrorInfo(socketError);
}

void logFailedSend()
{
    qCritical("Failed to send message to peer. Could not convert QVariant to QByteArray or compression failed.");
}

} // namespace

void AbstractWebSocketQVariantCourier::ClosingDeleter::operator()(QWebSocket *webSocket) const
{
    if (webSocket->state() != QAbstractSocket::ConnectedState) {
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
}

AbstractWebSocketQVariantCourier::~AbstractWebSocketQVariantCourier()
{
    detach();
}

void AbstractWebSocketQVariantCourier::sendQVariant(const QVariant &qVariant)
{
    switch (m_state) {
    case State::Handshaking:
        if (m_webSocket->state() != QAbstractSocket::UnconnectedState)
            m_pendingQVariants.append(qVariant);
        break;
    case State::Running:
        sendFrame(qVariant);
        break;
    case State::Failed:
        break;
    }
}

QAbstractSocket *AbstractWebSocketQVariantCourier::tcpSocket() const
{
    // QWebSocket keeps its TCP socket as a child and offers no other way to it.
    return m_webSocket->findChild<QAbstractSocket *>(QString(), Qt::FindDirectChildrenOnly);
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
    const QList<QVariant> pending = std::exchange(m_pendingQVariants, {});
    for (const QVariant &qVariant : pending)
        sendFrame(qVariant);
}

void AbstractWebSocketQVariantCourier::failHandshake()
{
    fail(makeErrorInfo(ZetoHandshakeFailed), SocketFate::Aborted);
}

void AbstractWebSocketQVariantCourier::fail(const ErrorInfo &errorInfo, SocketFate socketFate)
{
    detach();
    if (socketFate == SocketFate::Aborted)
        m_webSocket->abort();
    // Receivers may delete this courier: nothing may follow the emission.
    Q_EMIT error(errorInfo);
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
        fail(makeErrorInfo(MessageIntegrityCheckFailed), SocketFate::Aborted);
        return;
    }
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
    m_pendingQVariants.clear();
    m_keepAliveTimer->stop();
    m_keepAliveTimer->disconnect(this);
    m_webSocket->disconnect(this);
}

void AbstractWebSocketQVariantCourier::sendFrame(const QVariant &qVariant)
{
    QByteArray &frame = threadOutputBuffer();
    if (!QVariantReaderWriter::forCurrentThread().write(frame, m_frameSettings, qVariant)) {
        logFailedSend();
        return;
    }
    m_webSocket->sendBinaryMessage(frame);
}

} // namespace Zeto
