#ifndef ZETO_ABSTRACTWEBSOCKETQVARIANTCOURIER_H
#define ZETO_ABSTRACTWEBSOCKETQVARIANTCOURIER_H

#include "../ZetoGlobal.h"
#include "IQVariantCourier.h"
#include "QVariantReaderWriter.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QList>
#include <QtCore/QPointer>
#include <QtCore/QScopedPointer>
#include <QtCore/QTimer>
#include <QtNetwork/QAbstractSocket>

#include <memory>

QT_BEGIN_NAMESPACE
class QWebSocket;
QT_END_NAMESPACE

namespace Zeto {

// How much may wait in the socket for a peer that does not read. Above the
// high-water mark the courier stops reading from the peer, so that TCP holds
// the peer back in turn, and reads again once the queue is below the
// low-water mark. A peer that keeps the queue above the high-water mark past
// the drain deadline is dropped, and so is one whose queue reaches the hard
// limit meanwhile: the application's sends cannot grow it without bound while
// the deadline runs. The hard limit leaves room for two of the largest
// messages above the high-water mark, so that a sender of large values to a
// slow but reading peer is held back rather than dropped.
struct WriteQueueLimits
{
    qint64 highWaterMarkInBytes = 64 * 1024 * 1024;
    qint64 lowWaterMarkInBytes = 16 * 1024 * 1024;
    int drainDeadlineInMs = 60 * 1000;
    qint64 hardLimitInBytes = 192 * 1024 * 1024;
};

// How often the peer is pinged, and how long it may go without answering
// before it counts as gone. The deadline also bounds connecting and the
// handshake.
struct CourierTiming
{
    int pingIntervalInMs = 20 * 1000;
    int peerDeadlineInMs = 300 * 1000;
    WriteQueueLimits writeQueue;
};

// Everything a courier does once it has a WebSocket, whichever side opened
// it: the handshake messages go through the subclass, then every binary
// message is one frame. Any failure detaches the courier from its socket and
// is reported once through error().
class ZETO_PRIVATE_EXPORT AbstractWebSocketQVariantCourier : public IQVariantCourier
{
    Q_OBJECT
    Q_DISABLE_COPY(AbstractWebSocketQVariantCourier)

public:
    ~AbstractWebSocketQVariantCourier() override;

    // Values sent before the handshake completes are queued and go out, in
    // order, right after it.
    // Ends the connection with a closing handshake that says this side goes
    // away (WebSocket close code 1001), once what the peer has sent by now
    // is read and answered. error() follows as the end comes: the peer's
    // answer, or the socket's abort after the close timeout.
    void closeGoingAway();
    bool sendQVariant(const QVariant &qVariant) override;

    // The TCP socket under the WebSocket, null while there is none.
    QAbstractSocket *tcpSocket() const;

protected:
    // Takes ownership of the socket.
    AbstractWebSocketQVariantCourier(QWebSocket *webSocket, const CourierTiming &timing);

    QWebSocket *webSocket() const;
    bool isHandshaking() const;

    // Receives every binary message until completeHandshake() or a failure.
    virtual void handleHandshakeMessage(const QByteArray &message) = 0;

    void sendHandshakeMessage(const QByteArray &message);
    void completeHandshake(const FrameSettings &frameSettings);
    void failHandshake();

    enum class SocketFate { Kept, Aborted };
    void fail(const ErrorInfo &errorInfo, SocketFate socketFate);

    void enableLowDelay();

private:
    struct ClosingDeleter
    {
        void operator()(QWebSocket *webSocket) const;
    };

    enum class State { Handshaking, Running, Failed };

    void onBinaryMessageReceived(const QByteArray &message);
    void onTextReceived();
    void onDisconnected();
    void onSocketError(QAbstractSocket::SocketError socketError);
    void onPong();
    void onKeepAliveTick();
    void failAfterReturn(const ErrorInfo &errorInfo, SocketFate socketFate);
    void leaveSocket(SocketFate socketFate);
    void detach();
    bool queueStreamForm(const QVariant &qVariant);
    bool sendFrame(const QVariant &qVariant);
    void sendQueuedFrame(const QByteArray &streamForm);
    QString peerName() const;
    bool transmitFrame(bool framed);
    qint64 queuedBytes() const;
    void watchWriteQueue();
    void writeFirstOfTurnNow();
    void flushSocket();
    void holdBackPeer();
    void onDrainCheck();
    void releasePeer();
    void setPeerHeldBack(bool heldBack);

    State m_state = State::Handshaking;
    const std::unique_ptr<QWebSocket, ClosingDeleter> m_webSocket;
    // Released with deleteLater: the courier may go inside the timer's own timeout.
    const QScopedPointer<QTimer, QScopedPointerDeleteLater> m_keepAliveTimer;
    // Runs only while the peer is held back: the socket's own signals are blocked then.
    const QScopedPointer<QTimer, QScopedPointerDeleteLater> m_drainTimer;
    const CourierTiming m_timing;
    QDeadlineTimer m_peerDeadline;
    QDeadlineTimer m_drainDeadline;
    QPointer<QAbstractSocket> m_tcpSocket;
    bool m_peerHeldBack = false;
    quint64 m_lastFlushedTurn = 0;
    bool m_flushing = false;
    FrameSettings m_frameSettings;
    // Framed once the handshake has agreed on the HMAC and compression.
    QList<QByteArray> m_pendingStreamForms;
};

} // namespace Zeto

#endif // ZETO_ABSTRACTWEBSOCKETQVARIANTCOURIER_H
