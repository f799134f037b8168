#include "ScriptedWebSocketPeer.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QtEndian>
#include <QtNetwork/QSslSocket>
#include <QtTest/QTest>

#include <algorithm>
#include <utility>

namespace Zeto {
namespace Testing {

namespace {

const QByteArray HeaderEnd("\r\n\r\n");
const QByteArray KeyHeader("sec-websocket-key:");
const QByteArray AcceptGuid("258EAFA5-E914-47DA-95CA-C5AB0DC85B11");

constexpr quint8 FinalBit = 0x80;
constexpr quint8 MaskBit = 0x80;
// What the socket keeps of its input while the peer does not read.
constexpr qint64 UnreadBufferSize = 1;

QByteArray webSocketKey(const QByteArray &request)
{
    const QList<QByteArray> lines = request.split('\n');
    for (const QByteArray &line : lines) {
        if (line.toLower().startsWith(KeyHeader))
            return line.mid(KeyHeader.size()).trimmed();
    }
    return QByteArray();
}

QByteArray frameHeader(quint8 opcode, quint64 payloadLength, bool final = true)
{
    QByteArray header;
    header.append(char((final ? FinalBit : 0) | opcode));
    if (payloadLength < 126) {
        header.append(char(payloadLength));
    } else if (payloadLength <= 0xFFFF) {
        header.append(char(126));
        char length[2];
        qToBigEndian(quint16(payloadLength), length);
        header.append(length, 2);
    } else {
        header.append(char(127));
        char length[8];
        qToBigEndian(payloadLength, length);
        header.append(length, 8);
    }
    return header;
}

} // namespace

ScriptedWebSocketPeer::Server::Server(const QSslConfiguration &tls)
    : m_tls(tls)
{
}

void ScriptedWebSocketPeer::Server::incomingConnection(qintptr socketDescriptor)
{
    if (m_tls.localCertificate().isNull()) {
        QTcpServer::incomingConnection(socketDescriptor);
        return;
    }
    auto *socket = new QSslSocket(this);
    socket->setSocketDescriptor(socketDescriptor);
    socket->setSslConfiguration(m_tls);
    socket->startServerEncryption();
    addPendingConnection(socket);
}

ScriptedWebSocketPeer::ScriptedWebSocketPeer(const QSslConfiguration &tls)
    : m_server(tls)
{
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedWebSocketPeer::onNewConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

ScriptedWebSocketPeer::~ScriptedWebSocketPeer()
{
    if (m_socket)
        m_socket->disconnect(this);
}

QUrl ScriptedWebSocketPeer::url(const QString &scheme) const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2/objects").arg(scheme).arg(port()));
}

quint16 ScriptedWebSocketPeer::port() const
{
    return m_server.serverPort();
}

void ScriptedWebSocketPeer::setAnswersPings(bool answersPings)
{
    m_answersPings = answersPings;
}

void ScriptedWebSocketPeer::setReading(bool reading)
{
    m_reading = reading;
    if (!m_socket)
        return;
    m_socket->setReadBufferSize(reading ? 0 : UnreadBufferSize);
    if (reading)
        onReadyRead();
}

void ScriptedWebSocketPeer::sendBinary(const QByteArray &payload)
{
    sendFrame(Binary, payload);
}

void ScriptedWebSocketPeer::sendText(const QByteArray &payload)
{
    sendFrame(Text, payload);
}

void ScriptedWebSocketPeer::sendFrame(Opcode opcode, const QByteArray &payload, bool final)
{
    write(frameHeader(opcode, quint64(payload.size()), final) + payload);
}

void ScriptedWebSocketPeer::sendFrameHeader(Opcode opcode, quint64 payloadLength)
{
    write(frameHeader(opcode, payloadLength));
}

void ScriptedWebSocketPeer::sendRaw(const QByteArray &bytes)
{
    write(bytes);
}

void ScriptedWebSocketPeer::sendClose(quint16 closeCode)
{
    char code[2];
    qToBigEndian(closeCode, code);
    sendFrame(Close, QByteArray(code, 2));
}

void ScriptedWebSocketPeer::abort()
{
    if (m_socket)
        m_socket->abort();
}

bool ScriptedWebSocketPeer::waitForUpgrade(int timeoutInMs)
{
    return QTest::qWaitFor([this] { return m_upgraded; }, timeoutInMs);
}

bool ScriptedWebSocketPeer::waitForBinaryMessages(int count, int timeoutInMs)
{
    return QTest::qWaitFor([this, count] { return this->count(Binary) >= count; }, timeoutInMs);
}

bool ScriptedWebSocketPeer::waitForPings(int count, int timeoutInMs)
{
    return QTest::qWaitFor([this, count] { return this->count(Ping) >= count; }, timeoutInMs);
}

bool ScriptedWebSocketPeer::waitForDisconnected(int timeoutInMs)
{
    return QTest::qWaitFor([this] { return m_disconnected; }, timeoutInMs);
}

QByteArray ScriptedWebSocketPeer::upgradeRequest() const
{
    return m_upgradeRequest;
}

bool ScriptedWebSocketPeer::isUpgraded() const
{
    return m_upgraded;
}

const QList<ScriptedWebSocketPeer::Received> &ScriptedWebSocketPeer::received() const
{
    return m_received;
}

QList<QByteArray> ScriptedWebSocketPeer::binaryMessages() const
{
    QList<QByteArray> messages;
    for (const Received &received : m_received) {
        if (received.opcode == Binary)
            messages.append(received.payload);
    }
    return messages;
}

int ScriptedWebSocketPeer::count(Opcode opcode) const
{
    return int(std::count_if(m_received.cbegin(), m_received.cend(),
                             [opcode](const Received &received) { return received.opcode == opcode; }));
}

bool ScriptedWebSocketPeer::isDisconnected() const
{
    return m_disconnected;
}

bool ScriptedWebSocketPeer::wasAborted() const
{
    return m_disconnected && count(Close) == 0;
}

QAbstractSocket *ScriptedWebSocketPeer::socket() const
{
    return m_socket;
}

qint64 ScriptedWebSocketPeer::bytesQueued() const
{
    if (!m_socket)
        return 0;
    const auto *sslSocket = qobject_cast<const QSslSocket *>(m_socket);
    return m_socket->bytesToWrite() + (sslSocket ? sslSocket->encryptedBytesToWrite() : 0);
}

void ScriptedWebSocketPeer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_socket) {
            socket->abort();
            continue;
        }
        m_socket = socket;
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_socket->setReadBufferSize(m_reading ? 0 : UnreadBufferSize);
        connect(m_socket, &QTcpSocket::readyRead, this, &ScriptedWebSocketPeer::onReadyRead);
        connect(m_socket, &QTcpSocket::disconnected, this, &ScriptedWebSocketPeer::onDisconnected);
    }
}

void ScriptedWebSocketPeer::onReadyRead()
{
    if (!m_reading)
        return;
    m_input.append(m_socket->readAll());
    if (!m_upgraded && !answerUpgrade())
        return;
    while (takeFrame()) {
    }
}

void ScriptedWebSocketPeer::onDisconnected()
{
    m_disconnected = true;
    Q_EMIT disconnected();
}

bool ScriptedWebSocketPeer::answerUpgrade()
{
    const int end = m_input.indexOf(HeaderEnd);
    if (end < 0)
        return false;
    m_upgradeRequest = m_input.left(end + HeaderEnd.size());
    m_input.remove(0, m_upgradeRequest.size());
    const QByteArray accept = QCryptographicHash::hash(webSocketKey(m_upgradeRequest) + AcceptGuid,
                                                       QCryptographicHash::Sha1).toBase64();
    write("HTTP/1.1 101 Switching Protocols\r\n"
          "Upgrade: websocket\r\n"
          "Connection: Upgrade\r\n"
          "Sec-WebSocket-Accept: " + accept + "\r\n\r\n");
    m_upgraded = true;
    return true;
}

// Parses one frame from the front of the input, if it is complete.
bool ScriptedWebSocketPeer::takeFrame()
{
    const auto *bytes = reinterpret_cast<const uchar *>(m_input.constData());
    const int available = m_input.size();
    if (available < 2)
        return false;
    int offset = 2;
    quint64 length = bytes[1] & 0x7F;
    if (length == 126) {
        if (available < 4)
            return false;
        length = qFromBigEndian<quint16>(bytes + 2);
        offset = 4;
    } else if (length == 127) {
        if (available < 10)
            return false;
        length = qFromBigEndian<quint64>(bytes + 2);
        offset = 10;
    }
    const bool masked = bytes[1] & MaskBit;
    const int maskOffset = offset;
    if (masked)
        offset += 4;
    if (quint64(available) < quint64(offset) + length)
        return false;
    QByteArray payload = m_input.mid(offset, int(length));
    if (masked) {
        for (int i = 0; i < payload.size(); ++i)
            payload[i] = char(payload.at(i) ^ bytes[maskOffset + i % 4]);
    }
    const quint8 first = bytes[0];
    m_input.remove(0, offset + int(length));
    onFrame(first & 0x0F, first & FinalBit, payload);
    return true;
}

void ScriptedWebSocketPeer::onFrame(quint8 opcode, bool final, const QByteArray &payload)
{
    switch (opcode) {
    case Continuation:
        m_fragments.append(payload);
        if (final)
            record(m_fragmentOpcode, std::exchange(m_fragments, QByteArray()));
        return;
    case Ping:
        record(Ping, payload);
        if (m_answersPings)
            sendFrame(Pong, payload);
        return;
    case Close:
        record(Close, payload);
        sendFrame(Close, payload);
        m_socket->disconnectFromHost();
        return;
    default:
        if (final) {
            record(Opcode(opcode), payload);
        } else {
            m_fragmentOpcode = Opcode(opcode);
            m_fragments = payload;
        }
    }
}

void ScriptedWebSocketPeer::record(Opcode opcode, const QByteArray &payload)
{
    m_received.append(Received{opcode, payload});
    Q_EMIT receivedSomething();
}

void ScriptedWebSocketPeer::write(const QByteArray &bytes)
{
    if (m_socket)
        m_socket->write(bytes);
}

} // namespace Testing
} // namespace Zeto
