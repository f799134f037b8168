#ifndef ZETO_SCRIPTEDWEBSOCKETPEER_H
#define ZETO_SCRIPTEDWEBSOCKETPEER_H

#include <QtCore/QByteArray>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QUrl>
#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

namespace Zeto {
namespace Testing {

// The serving end of one WebSocket on 127.0.0.1, speaking the wire format by
// hand so that a test controls every byte: it sends whatever frames the test
// asks for, records every message and control frame it receives, answers
// pings only when told to, and can tell a closed connection from an aborted one.
class ScriptedWebSocketPeer : public QObject
{
    Q_OBJECT

public:
    enum Opcode : quint8 {
        Continuation = 0x0,
        Text = 0x1,
        Binary = 0x2,
        Close = 0x8,
        Ping = 0x9,
        Pong = 0xA
    };

    // A whole message (continuations joined) or a control frame.
    struct Received
    {
        Opcode opcode;
        QByteArray payload;
    };

    // Listens on 127.0.0.1, port 0; serves the first connection only, over
    // TLS when given a configuration with a certificate.
    explicit ScriptedWebSocketPeer(const QSslConfiguration &tls = QSslConfiguration());
    ~ScriptedWebSocketPeer() override;

    QUrl url(const QString &scheme) const;
    quint16 port() const;

    void setAnswersPings(bool answersPings);
    // A peer that stops reading leaves the client's bytes in the kernel, so
    // TCP stops the client's writes; reading again takes in what waited.
    void setReading(bool reading);

    void sendBinary(const QByteArray &payload);
    void sendText(const QByteArray &payload);
    // An unfinished frame leaves its message to continuation frames.
    void sendFrame(Opcode opcode, const QByteArray &payload, bool final = true);
    // A frame header announcing a payload that never follows.
    void sendFrameHeader(Opcode opcode, quint64 payloadLength);
    // Bytes as they are, such as the payload for a header sent alone.
    void sendRaw(const QByteArray &bytes);
    void sendClose(quint16 closeCode);
    // Ends the TCP connection without a close frame.
    void abort();

    bool waitForUpgrade(int timeoutInMs = 5000);
    bool waitForBinaryMessages(int count, int timeoutInMs = 5000);
    bool waitForPings(int count, int timeoutInMs = 5000);
    bool waitForDisconnected(int timeoutInMs = 5000);

    QByteArray upgradeRequest() const;
    bool isUpgraded() const;
    const QList<Received> &received() const;
    QList<QByteArray> binaryMessages() const;
    int count(Opcode opcode) const;
    bool isDisconnected() const;
    // The connection ended without the client's close frame.
    bool wasAborted() const;
    QAbstractSocket *socket() const;
    // What the peer has written that has not reached the network yet.
    qint64 bytesQueued() const;

Q_SIGNALS:
    void receivedSomething();
    void disconnected();

private:
    void onNewConnection();
    void onReadyRead();
    void onDisconnected();
    bool answerUpgrade();
    bool takeFrame();
    void onFrame(quint8 opcode, bool final, const QByteArray &payload);
    void record(Opcode opcode, const QByteArray &payload);
    void write(const QByteArray &bytes);

    class Server : public QTcpServer
    {
    public:
        explicit Server(const QSslConfiguration &tls);

    protected:
        void incomingConnection(qintptr socketDescriptor) override;

    private:
        const QSslConfiguration m_tls;
    };

    Server m_server;
    QTcpSocket *m_socket = nullptr;
    QByteArray m_input;
    QByteArray m_upgradeRequest;
    bool m_upgraded = false;
    bool m_answersPings = false;
    bool m_reading = true;
    bool m_disconnected = false;
    Opcode m_fragmentOpcode = Continuation;
    QByteArray m_fragments;
    QList<Received> m_received;
};

} // namespace Testing
} // namespace Zeto

#endif // ZETO_SCRIPTEDWEBSOCKETPEER_H
