#include "MessageLog.h"
#include "ScriptedWebSocketPeer.h"
#include "StreamForm.h"
#include "TestCertificates.h"
#include "TestObjects.h"
#include "WebSocketBasedQVariantCourier/HmacCalculator.h"
#include "WebSocketBasedQVariantCourier/QVariantReaderWriter.h"
#include "WebSocketBasedQVariantCourier/WebSocketBasedQVariantCourier.h"
#include "WebSocketBasedQVariantCourier/ZetoHandshake.h"

#include <QtCore/QBuffer>
#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QMessageAuthenticationCode>
#include <QtCore/QRandomGenerator>
#include <QtCore/QRegularExpression>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QSslSocket>
#include <QtNetwork/QTcpServer>
#include <malloc.h>
#include <openssl/err.h>

#include <QtTest/QtTest>

#include <zlib.h>

#include <memory>

using Zeto::CourierTiming;
using Zeto::ErrorInfo;
using Zeto::FrameSettings;
using Zeto::HmacCalculator;
using Zeto::QVariantReaderWriter;
using Zeto::WebSocketBasedQVariantCourier;
using Zeto::WriteQueueLimits;
using Zeto::Testing::CountedWrites;
using Zeto::Testing::MessageLog;
using Zeto::Testing::ScriptedWebSocketPeer;

namespace {

// Bytes the allocator has handed out and not got back; 0 where it does not say.
size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

constexpr char PlainFlag = 0x00;
constexpr char CompressedFlag = 0x01;
constexpr int Sha1 = QCryptographicHash::Sha1;
constexpr int Sha256 = QCryptographicHash::Sha256;
constexpr int Sha512 = QCryptographicHash::Sha512;
const QString ServerToken = QStringLiteral("server-token");
// Small enough to fill quickly, a quarter of the high-water mark apart.
constexpr qint64 TestHighWaterMark = 256 * 1024;
constexpr int ChunkSize = 16 * 1024;

// The wire format, written out here apart from the code under test.

QByteArray hello(int algorithm, bool compress, int threshold, int version = 1, const QString &token = ServerToken)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("dataStreamVersion"), version},
                                     {QStringLiteral("hmacAlgorithm"), algorithm},
                                     {QStringLiteral("token"), token},
                                     {QStringLiteral("compress"), compress},
                                     {QStringLiteral("compressMinSizeInBytes"), threshold}})
        .toJson(QJsonDocument::Compact);
}

QByteArray keyFor(const QString &serverToken, const QString &clientToken)
{
    QCryptographicHash hash(QCryptographicHash::Sha512);
    hash.addData(serverToken.toLatin1().toHex());
    hash.addData(clientToken.toLatin1().toHex());
    return hash.result().toHex();
}

QByteArray hmacHex(int algorithm, const QByteArray &key, const QByteArray &payload)
{
    return QMessageAuthenticationCode::hash(payload, key, QCryptographicHash::Algorithm(algorithm)).toHex();
}

QByteArray frame(int algorithm, const QByteArray &key, char flag, const QByteArray &data)
{
    const QByteArray payload = flag + data;
    return hmacHex(algorithm, key, payload) + payload;
}

QByteArray serialized(const QVariant &value) { return Zeto::Testing::streamForm(value); }

QByteArray zlibCompressed(const QByteArray &data)
{
    QByteArray output(int(compressBound(uLong(data.size()))), Qt::Uninitialized);
    uLongf length = uLongf(output.size());
    compress(reinterpret_cast<Bytef *>(output.data()), &length, reinterpret_cast<const Bytef *>(data.constData()),
             uLong(data.size()));
    output.resize(int(length));
    return output;
}

QByteArray zlibUncompressed(const QByteArray &data, int expectedSize)
{
    QByteArray output(expectedSize + 1, Qt::Uninitialized);
    uLongf length = uLongf(output.size());
    if (uncompress(reinterpret_cast<Bytef *>(output.data()), &length, reinterpret_cast<const Bytef *>(data.constData()),
                   uLong(data.size())) != Z_OK)
        return QByteArray();
    output.resize(int(length));
    return output;
}

// A byte array whose QVariant stream form has exactly this size.
QVariant valueOfSerializedSize(int size)
{
    const int overhead = serialized(QByteArray(16, 'x')).size() - 16;
    return QByteArray(size - overhead, 'x');
}

// Numbered so that order shows; random so that nothing compresses it.
QVariant numberedChunk(int number)
{
    QByteArray bytes(ChunkSize, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(bytes.data()), ChunkSize / 4);
    return QVariantList{number, bytes};
}

CourierTiming smallWriteQueue(int drainDeadlineInMs)
{
    CourierTiming timing;
    timing.writeQueue = WriteQueueLimits{TestHighWaterMark, TestHighWaterMark / 4, drainDeadlineInMs,
                                         2 * TestHighWaterMark};
    return timing;
}

// TLS keeps what it has encrypted in a buffer of its own.
qint64 queuedBytes(const QAbstractSocket *socket)
{
    const auto *sslSocket = qobject_cast<const QSslSocket *>(socket);
    return socket->bytesToWrite() + (sslSocket ? sslSocket->encryptedBytesToWrite() : 0);
}

QVariant sampleValue()
{
    return QVariantMap{{QStringLiteral("text"), QStringLiteral("zeto")},
                       {QStringLiteral("number"), 42},
                       {QStringLiteral("list"), QVariantList{1, 2.5, QStringLiteral("x")}}};
}

ErrorInfo connectionError(Zeto::ConnectionError code)
{
    return Zeto::makeErrorInfo(code);
}

// A client courier talking to a scripted peer.
class Connection
{
public:
    explicit Connection(const CourierTiming &timing = CourierTiming(), bool tls = false)
        : peer(tls ? Zeto::Testing::testServerSslConfiguration() : QSslConfiguration()),
          courier(
              new WebSocketBasedQVariantCourier(peer.url(tls ? QStringLiteral("zetos") : QStringLiteral("zeto")),
                                                tls ? Zeto::Testing::testClientSslConfiguration() : QSslConfiguration(),
                                                QNetworkProxy(QNetworkProxy::NoProxy), timing)),
          received(courier.get(), &WebSocketBasedQVariantCourier::receivedQVariant),
          errors(courier.get(), &WebSocketBasedQVariantCourier::error)
    {
    }

    // Sends the hello and reads the reply; false if there is none.
    bool handshake(int algorithm, bool compress, int threshold)
    {
        this->algorithm = algorithm;
        if (!peer.waitForUpgrade())
            return false;
        peer.sendBinary(hello(algorithm, compress, threshold));
        if (!peer.waitForBinaryMessages(1))
            return false;
        reply = QJsonDocument::fromJson(peer.binaryMessages().first()).object();
        key = keyFor(ServerToken, reply.value(QStringLiteral("token")).toString());
        return true;
    }

    bool reach(bool handshaken) { return handshaken ? handshake(Sha1, false, 0) : peer.waitForUpgrade(); }

    // Exactly this one error, with the socket aborted.
    bool failedWithAbort(Zeto::ConnectionError code)
    {
        return waitForError() && onlyError() == connectionError(code) && peer.waitForDisconnected()
            && peer.wasAborted();
    }

    // The frames the courier sent after its reply.
    QList<QByteArray> frames() const { return peer.binaryMessages().mid(1); }

    // Sends numbered chunks until the courier's queue reaches the high-water mark.
    bool fillWriteQueue(QVariantList *sent)
    {
        return QTest::qWaitFor(
            [this, sent] {
                for (int i = 0; i < 8; ++i) {
                    sent->append(numberedChunk(sent->size()));
                    courier->sendQVariant(sent->last());
                    if (queuedBytes(courier->tcpSocket()) >= TestHighWaterMark)
                        return true;
                }
                return false;
            },
            10000);
    }

    // The frames the courier sends for these values.
    QList<QByteArray> framesFor(const QVariantList &values) const
    {
        QList<QByteArray> frames;
        for (const QVariant &value : values)
            frames.append(frame(algorithm, key, PlainFlag, serialized(value)));
        return frames;
    }

    QVariantList receivedValues() const
    {
        QVariantList values;
        for (const QList<QVariant> &arguments : received)
            values.append(arguments.first());
        return values;
    }

    bool waitForError() { return QTest::qWaitFor([this] { return !errors.isEmpty(); }, 5000); }

    ErrorInfo onlyError() const
    {
        return errors.size() == 1 ? errors.first().first().value<ErrorInfo>() : ErrorInfo();
    }

    ScriptedWebSocketPeer peer;
    std::unique_ptr<WebSocketBasedQVariantCourier> courier;
    QSignalSpy received;
    QSignalSpy errors;
    int algorithm = Sha1;
    QJsonObject reply;
    QByteArray key;
};

} // namespace

class tst_WebSocketBasedQVariantCourier : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase_data();
    void initTestCase();

    void mapsSchemes_data();
    void mapsSchemes();
    void opensTheUrlAndWaitsForTheHello();
    void answersHello_data();
    void answersHello();
    void rejectsHello_data();
    void rejectsHello();

    void exchangesFrames_data();
    void exchangesFrames();
    void compressesFromThreshold();
    void rejectsFrame_data();
    void rejectsFrame();
    void rejectsText_data();
    void rejectsText();
    void deliversQueuedValuesInOrder();
    void writesEachValueOnce_data();
    void writesEachValueOnce();

    void reportsDroppedConnection_data();
    void reportsDroppedConnection();
    void reportsSocketError();
    void closesWithItsReason_data();
    void closesWithItsReason();
    void dropsPeerThatStopsAnsweringPings();
    void keepsPeerThatAnswersPings();

    void refusesIncomingMessageAboveLimit();
    void refusesToSendAboveLimit();
    void setsLowDelayOnceConnected();

    void holdsBackPeerThatDoesNotRead_data();
    void holdsBackPeerThatDoesNotRead();
    void dropsPeerThatKeepsQueueFull_data();
    void dropsPeerThatKeepsQueueFull();
    void releasesQuietlyAfterPeerAborts_data();
    void releasesQuietlyAfterPeerAborts();
    void reportsFailedWriteAfterSendReturns();

    void codecKeepsSettingsPerCaller();
    void hmacLeavesNoLibcryptoErrors_data();
    void hmacLeavesNoLibcryptoErrors();
    void hmacMatchesReference_data();
    void hmacMatchesReference();
    void codecReadsLargeCompressedValue();
    void codecRecoversAfterBadCompressedFrame();
};

void tst_WebSocketBasedQVariantCourier::initTestCase_data()
{
    QTest::addColumn<bool>("compress");
    QTest::newRow("plain") << false;
    QTest::newRow("compressed") << true;
}

void tst_WebSocketBasedQVariantCourier::initTestCase()
{
    qRegisterMetaType<ErrorInfo>();
    CountedWrites::registerType();
    // The first look at the algorithms asks libcrypto for each, once per process.
    ERR_clear_error();
    HmacCalculator::isSupported(QCryptographicHash::Sha1);
    QCOMPARE(ERR_peek_error(), 0ul);
}

void tst_WebSocketBasedQVariantCourier::mapsSchemes_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QUrl>("expected");
    QTest::newRow("zeto") << QUrl(QStringLiteral("zeto://Example.org:1234/a/b")) << QUrl(QStringLiteral("ws://Example.org:1234/a/b"));
    QTest::newRow("zetos") << QUrl(QStringLiteral("zetos://example.org:1234/a")) << QUrl(QStringLiteral("wss://example.org:1234/a"));
    QTest::newRow("upper-case zeto") << QUrl(QStringLiteral("ZETO://example.org:1")) << QUrl(QStringLiteral("ws://example.org:1"));
    QTest::newRow("ws") << QUrl(QStringLiteral("ws://example.org:1234/a")) << QUrl(QStringLiteral("ws://example.org:1234/a"));
    QTest::newRow("wss") << QUrl(QStringLiteral("wss://example.org:1234/a")) << QUrl(QStringLiteral("wss://example.org:1234/a"));
}

void tst_WebSocketBasedQVariantCourier::mapsSchemes()
{
    QFETCH(QUrl, url);
    QFETCH(QUrl, expected);
    QCOMPARE(WebSocketBasedQVariantCourier::webSocketUrl(url), expected);
}

void tst_WebSocketBasedQVariantCourier::opensTheUrlAndWaitsForTheHello()
{
    Connection connection;
    QVERIFY(connection.peer.waitForUpgrade());
    QVERIFY(connection.peer.upgradeRequest().startsWith("GET /objects HTTP/1.1\r\n"));
    QVERIFY(!QTest::qWaitFor([&] { return !connection.peer.received().isEmpty(); }, 100));
    QVERIFY(connection.errors.isEmpty());
}

void tst_WebSocketBasedQVariantCourier::answersHello_data()
{
    QTest::addColumn<QByteArray>("hello");
    QTest::addColumn<int>("algorithm");
    QTest::newRow("version 1, SHA-1") << hello(Sha1, false, 0) << Sha1;
    QTest::newRow("version 7, SHA-256") << hello(Sha256, true, 10, 7) << Sha256;
    QTest::newRow("fractional version, SHA-512")
        << QByteArray(R"({"compress":false,"compressMinSizeInBytes":0,"dataStreamVersion":1.9,"hmacAlgorithm":6,"token":"t"})")
        << Sha512;
    QTest::newRow("SHA3-256") << hello(QCryptographicHash::RealSha3_256, false, 0) << int(QCryptographicHash::RealSha3_256);
    QTest::newRow("negative threshold") << hello(Sha1, true, -1) << Sha1;
    QTest::newRow("token of 1 KiB") << hello(Sha1, false, 0, 1, QString(1024, QLatin1Char('t'))) << Sha1;
    QByteArray padded = hello(Sha1, false, 0);
    padded.insert(1, QByteArray(Zeto::MaxHandshakeMessageSize - padded.size(), ' '));
    QTest::newRow("hello of 4 KiB") << padded << Sha1;
}

void tst_WebSocketBasedQVariantCourier::answersHello()
{
    QFETCH(QByteArray, hello);
    QFETCH(int, algorithm);
    Connection connection;
    QVERIFY(connection.peer.waitForUpgrade());
    connection.peer.sendBinary(hello);
    QVERIFY(connection.peer.waitForBinaryMessages(1));
    const QString expected = QStringLiteral(R"(^\{"dataStreamVersion":1,"hmacAlgorithm":%1,"token":"[0-9a-f]{128}"\}$)")
                                 .arg(algorithm);
    QVERIFY2(QRegularExpression(expected).match(QString::fromLatin1(connection.peer.binaryMessages().first())).hasMatch(),
             connection.peer.binaryMessages().first().constData());
    QVERIFY(connection.errors.isEmpty());
}

void tst_WebSocketBasedQVariantCourier::rejectsHello_data()
{
    QTest::addColumn<QByteArray>("hello");
    QTest::newRow("not JSON") << QByteArray("hello");
    QTest::newRow("array") << QByteArray("[1,2,3,4,5]");
    QTest::newRow("sixth key")
        << QByteArray(R"({"compress":false,"compressMinSizeInBytes":0,"dataStreamVersion":1,"hmacAlgorithm":2,"token":"t","x":1})");
    // A repeated key whose first value is a container leaks in Qt's parser.
    QTest::newRow("nested container under a repeated key")
        << QByteArray(R"({"compress":false,"compressMinSizeInBytes":0,"dataStreamVersion":1,"hmacAlgorithm":2,)"
                      R"("token":{"x":1},"token":"t"})");
    QTest::newRow("missing key") << QByteArray(R"({"compress":false,"dataStreamVersion":1,"hmacAlgorithm":2,"token":"t"})");
    QTest::newRow("Keccak, which libcrypto lacks") << hello(QCryptographicHash::Keccak_256, false, 0);
    QTest::newRow("empty token") << hello(Sha1, false, 0, 1, QString());
    QTest::newRow("token over 1 KiB") << hello(Sha1, false, 0, 1, QString(1025, QLatin1Char('t')));
    QTest::newRow("token a number")
        << QByteArray(R"({"compress":false,"compressMinSizeInBytes":0,"dataStreamVersion":1,"hmacAlgorithm":2,"token":5})");
    QTest::newRow("compress given as 1")
        << QByteArray(R"({"compress":1,"compressMinSizeInBytes":0,"dataStreamVersion":1,"hmacAlgorithm":2,"token":"t"})");
    QTest::newRow("version 0") << hello(Sha1, false, 0, 0);
    QTest::newRow("version -3") << hello(Sha1, false, 0, -3);
    QTest::newRow("version 0.5")
        << QByteArray(R"({"compress":false,"compressMinSizeInBytes":0,"dataStreamVersion":0.5,"hmacAlgorithm":2,"token":"t"})");
    QTest::newRow("version 1e300")
        << QByteArray(R"({"compress":false,"compressMinSizeInBytes":0,"dataStreamVersion":1e300,"hmacAlgorithm":2,"token":"t"})");
    QTest::newRow("version a string")
        << QByteArray(R"({"compress":false,"compressMinSizeInBytes":0,"dataStreamVersion":"1","hmacAlgorithm":2,"token":"t"})");
    QTest::newRow("threshold 1e300")
        << QByteArray(R"({"compress":true,"compressMinSizeInBytes":1e300,"dataStreamVersion":1,"hmacAlgorithm":2,"token":"t"})");
    QTest::newRow("threshold 2^31")
        << QByteArray(R"({"compress":true,"compressMinSizeInBytes":2147483648,"dataStreamVersion":1,"hmacAlgorithm":2,"token":"t"})");
    QTest::newRow("unknown algorithm 99") << hello(99, false, 0);
    QTest::newRow("algorithm -1") << hello(-1, false, 0);
    QTest::newRow("algorithm 2.5")
        << QByteArray(R"({"compress":false,"compressMinSizeInBytes":0,"dataStreamVersion":1,"hmacAlgorithm":2.5,"token":"t"})");
    QTest::newRow("algorithm 1e300")
        << QByteArray(R"({"compress":false,"compressMinSizeInBytes":0,"dataStreamVersion":1,"hmacAlgorithm":1e300,"token":"t"})");
    QByteArray padded = hello(Sha1, false, 0);
    padded.insert(1, QByteArray(Zeto::MaxHandshakeMessageSize + 1 - padded.size(), ' '));
    QTest::newRow("hello over 4 KiB") << padded;
}

void tst_WebSocketBasedQVariantCourier::rejectsHello()
{
    QFETCH(QByteArray, hello);
    Connection connection;
    QVERIFY(connection.peer.waitForUpgrade());
    connection.peer.sendBinary(hello);
    QVERIFY(connection.failedWithAbort(Zeto::ZetoHandshakeFailed));
    QVERIFY(connection.onlyError().description().endsWith(QLatin1String("Zeto handshake failed.")));
    QVERIFY(connection.peer.binaryMessages().isEmpty());
}

void tst_WebSocketBasedQVariantCourier::exchangesFrames_data()
{
    QTest::addColumn<int>("algorithm");
    QTest::addColumn<int>("hexLength");
    QTest::newRow("MD5") << int(QCryptographicHash::Md5) << 32;
    QTest::newRow("SHA-1") << Sha1 << 40;
    QTest::newRow("SHA-224") << int(QCryptographicHash::Sha224) << 56;
    QTest::newRow("SHA-256") << Sha256 << 64;
    QTest::newRow("SHA-512") << Sha512 << 128;
    QTest::newRow("SHA3-384") << int(QCryptographicHash::RealSha3_384) << 96;
}

void tst_WebSocketBasedQVariantCourier::exchangesFrames()
{
    QFETCH_GLOBAL(bool, compress);
    QFETCH(int, algorithm);
    QFETCH(int, hexLength);
    Connection connection;
    QVERIFY(connection.handshake(algorithm, compress, 0));

    connection.courier->sendQVariant(sampleValue());
    QVERIFY(connection.peer.waitForBinaryMessages(2));
    const QByteArray sent = connection.frames().first();
    const QByteArray payload = sent.mid(hexLength);
    QCOMPARE(sent.left(hexLength), hmacHex(algorithm, connection.key, payload));
    QCOMPARE(payload.at(0), compress ? CompressedFlag : PlainFlag);
    const QByteArray expected = serialized(sampleValue());
    QCOMPARE(compress ? zlibUncompressed(payload.mid(1), expected.size()) : payload.mid(1), expected);

    const QVariant answer = QVariantList{QStringLiteral("answer"), 7};
    const QByteArray data = serialized(answer);
    connection.peer.sendBinary(compress ? frame(algorithm, connection.key, CompressedFlag, zlibCompressed(data))
                                        : frame(algorithm, connection.key, PlainFlag, data));
    QVERIFY(connection.received.wait());
    QCOMPARE(connection.received.first().first(), answer);
    QVERIFY(connection.errors.isEmpty());
}

void tst_WebSocketBasedQVariantCourier::compressesFromThreshold()
{
    QFETCH_GLOBAL(bool, compress);
    if (!compress)
        QSKIP("The threshold applies with compression on only.");
    Connection connection;
    QVERIFY(connection.handshake(Sha1, true, 100));
    connection.courier->sendQVariant(valueOfSerializedSize(99));
    connection.courier->sendQVariant(valueOfSerializedSize(100));
    QVERIFY(connection.peer.waitForBinaryMessages(3));
    QCOMPARE(connection.frames().at(0).at(40), PlainFlag);
    QCOMPARE(connection.frames().at(0).size(), 40 + 1 + 99);
    QCOMPARE(connection.frames().at(1).at(40), CompressedFlag);
}

void tst_WebSocketBasedQVariantCourier::rejectsFrame_data()
{
    QTest::addColumn<QString>("fault");
    for (const char *fault : {"upper-case hex", "flag 0x02", "exactly H bytes", "shorter than H", "wrong key",
                              "altered data", "compressed garbage", "undecodable data", "invalid QVariant"})
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void tst_WebSocketBasedQVariantCourier::rejectsFrame()
{
    QFETCH(QString, fault);
    Connection connection;
    QVERIFY(connection.handshake(Sha256, false, 0));
    const QByteArray data = serialized(sampleValue());
    const QByteArray good = frame(Sha256, connection.key, PlainFlag, data);
    const QHash<QString, QByteArray> frames{
        {QStringLiteral("upper-case hex"), good.left(64).toUpper() + good.mid(64)},
        {QStringLiteral("flag 0x02"), frame(Sha256, connection.key, 0x02, data)},
        {QStringLiteral("exactly H bytes"), hmacHex(Sha256, connection.key, QByteArray())},
        {QStringLiteral("shorter than H"), good.left(10)},
        {QStringLiteral("wrong key"), frame(Sha256, "wrong key", PlainFlag, data)},
        {QStringLiteral("altered data"), good.left(good.size() - 1) + char(good.back() ^ 1)},
        {QStringLiteral("compressed garbage"), frame(Sha256, connection.key, CompressedFlag, "not zlib")},
        {QStringLiteral("undecodable data"), frame(Sha256, connection.key, PlainFlag, "\xff\xff\xff")},
        {QStringLiteral("invalid QVariant"), frame(Sha256, connection.key, PlainFlag, serialized(QVariant()))},
    };
    QVERIFY(good.left(64) != good.left(64).toUpper());
    if (fault == QLatin1String("compressed garbage"))
        QTest::ignoreMessage(QtCriticalMsg, "Failed to compress/uncompress data. Internal zlib error.");
    connection.peer.sendBinary(frames.value(fault));
    QVERIFY(connection.failedWithAbort(Zeto::MessageIntegrityCheckFailed));
    QVERIFY(connection.onlyError().description().endsWith(QLatin1String("Message integrity check failed.")));
    QVERIFY(connection.received.isEmpty());
}

void tst_WebSocketBasedQVariantCourier::rejectsText_data()
{
    QTest::addColumn<bool>("final");
    QTest::addColumn<bool>("afterHandshake");
    QTest::newRow("text message during the handshake") << true << false;
    QTest::newRow("text message") << true << true;
    QTest::newRow("first frame of a text message") << false << true;
}

void tst_WebSocketBasedQVariantCourier::rejectsText()
{
    QFETCH(bool, final);
    QFETCH(bool, afterHandshake);
    Connection connection;
    QVERIFY(connection.reach(afterHandshake));
    connection.peer.sendFrame(ScriptedWebSocketPeer::Text, "hello", final);
    QVERIFY(connection.failedWithAbort(Zeto::InvalidMessage));
}

void tst_WebSocketBasedQVariantCourier::deliversQueuedValuesInOrder()
{
    Connection connection;
    connection.courier->sendQVariant(1);
    QVERIFY(connection.peer.waitForUpgrade());
    connection.courier->sendQVariant(2);
    connection.courier->sendQVariant(3);
    QVERIFY(connection.handshake(Sha1, false, 0));
    connection.courier->sendQVariant(4);
    QVERIFY(connection.peer.waitForBinaryMessages(5));
    QCOMPARE(connection.peer.binaryMessages().first().at(0), '{');
    const QList<QByteArray> frames = connection.frames();
    for (int i = 0; i < frames.size(); ++i)
        QCOMPARE(frames.at(i), frame(Sha1, connection.key, PlainFlag, serialized(i + 1)));
}

void tst_WebSocketBasedQVariantCourier::writesEachValueOnce_data()
{
    QTest::addColumn<bool>("afterHandshake");
    QTest::addColumn<bool>("writable");
    QTest::newRow("queued while connecting") << false << true;
    QTest::newRow("sent") << true << true;
    QTest::newRow("cannot be written while connecting") << false << false;
    QTest::newRow("cannot be written") << true << false;
}

// A value's sender learns at once whether it can travel, before the
// handshake too, and the value is not written again when it goes.
void tst_WebSocketBasedQVariantCourier::writesEachValueOnce()
{
    QFETCH(bool, afterHandshake);
    QFETCH(bool, writable);
    const QVariant value =
        writable ? QVariant::fromValue(CountedWrites{7}) : QVariant::fromValue(Zeto::Testing::Unwritable());
    Connection connection;
    QVERIFY(connection.reach(afterHandshake));
    if (!writable) {
        Zeto::Testing::expectUnwritableWarnings();
        QTest::ignoreMessage(QtCriticalMsg,
                             "Failed to send message to peer. Could not convert QVariant to "
                             "QByteArray or compression failed.");
    }
    CountedWrites::writes = 0;

    QCOMPARE(connection.courier->sendQVariant(value), writable);
    QVERIFY(connection.courier->sendQVariant(1));
    QVERIFY(afterHandshake || connection.handshake(Sha1, false, 0));
    QVERIFY(connection.peer.waitForBinaryMessages(writable ? 3 : 2));

    QCOMPARE(CountedWrites::writes, writable ? 1 : 0);
    QList<QByteArray> expected{frame(Sha1, connection.key, PlainFlag, serialized(1))};
    if (writable)
        expected.prepend(frame(Sha1, connection.key, PlainFlag, serialized(value)));
    QCOMPARE(connection.frames(), expected);
}

void tst_WebSocketBasedQVariantCourier::reportsDroppedConnection_data()
{
    QTest::addColumn<bool>("peerCloses");
    QTest::addColumn<bool>("afterHandshake");
    QTest::newRow("peer aborts during the handshake") << false << false;
    QTest::newRow("peer aborts") << false << true;
    QTest::newRow("peer closes") << true << true;
}

void tst_WebSocketBasedQVariantCourier::reportsDroppedConnection()
{
    QFETCH(bool, peerCloses);
    QFETCH(bool, afterHandshake);
    Connection connection;
    QVERIFY(connection.reach(afterHandshake));
    if (peerCloses)
        connection.peer.sendClose(1000);
    else
        connection.peer.abort();
    QVERIFY(connection.waitForError());
    QCOMPARE(connection.onlyError(), connectionError(Zeto::ConnectionDropped));
    connection.courier->sendQVariant(1);
    QVERIFY(!connection.errors.wait(100));
    QCOMPARE(connection.errors.size(), 1);
}

void tst_WebSocketBasedQVariantCourier::reportsSocketError()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    WebSocketBasedQVariantCourier courier(QUrl(QStringLiteral("zeto://127.0.0.1:%1").arg(port)), QSslConfiguration(),
                                          QNetworkProxy(QNetworkProxy::NoProxy));
    QSignalSpy errors(&courier, &WebSocketBasedQVariantCourier::error);
    QVERIFY(errors.wait());
    QCOMPARE(errors.first().first().value<ErrorInfo>().description(), Zeto::makeErrorInfo(QAbstractSocket::ConnectionRefusedError).description());
    courier.sendQVariant(1);
    QVERIFY(!errors.wait(100));
}

void tst_WebSocketBasedQVariantCourier::closesWithItsReason_data()
{
    QTest::addColumn<bool>("goingAway");
    QTest::addColumn<QByteArray>("closeCode");
    QTest::newRow("destroyed: normal closure") << false << QByteArray("\x03\xe8");
    QTest::newRow("going away") << true << QByteArray("\x03\xe9");
}

void tst_WebSocketBasedQVariantCourier::closesWithItsReason()
{
    QFETCH(bool, goingAway);
    QFETCH(QByteArray, closeCode);
    Connection connection;
    QVERIFY(connection.handshake(Sha1, false, 0));
    if (goingAway)
        connection.courier->closeGoingAway();
    else
        connection.courier.reset();
    QVERIFY(connection.peer.waitForDisconnected());
    QCOMPARE(connection.peer.count(ScriptedWebSocketPeer::Close), 1);
    QCOMPARE(connection.peer.received().last().payload.left(2), closeCode);
    if (goingAway)
        QTRY_COMPARE(connection.errors.size(), 1);
}

void tst_WebSocketBasedQVariantCourier::dropsPeerThatStopsAnsweringPings()
{
    const CourierTiming timing{20, 300, {}};
    QElapsedTimer clock;
    clock.start();
    Connection connection(timing);
    QVERIFY(connection.handshake(Sha1, false, 0));
    QVERIFY(connection.peer.waitForPings(2));
    QVERIFY(connection.peer.received().last().payload.isEmpty());
    QVERIFY(connection.failedWithAbort(Zeto::PeerNotResponding));
    QVERIFY(clock.elapsed() >= timing.peerDeadlineInMs * 9 / 10);
}

void tst_WebSocketBasedQVariantCourier::keepsPeerThatAnswersPings()
{
    // A deadline generous enough for a loaded machine, passed twice over.
    const CourierTiming timing{20, 400, {}};
    Connection connection(timing);
    connection.peer.setAnswersPings(true);
    QVERIFY(connection.handshake(Sha1, false, 0));
    QVERIFY(!connection.errors.wait(2 * timing.peerDeadlineInMs + 100));
    QVERIFY(connection.peer.count(ScriptedWebSocketPeer::Ping) >= 10);

    connection.peer.setAnswersPings(false);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(connection.waitForError());
    QVERIFY(clock.elapsed() >= timing.peerDeadlineInMs / 2);
    QCOMPARE(connection.onlyError(), connectionError(Zeto::PeerNotResponding));
}

void tst_WebSocketBasedQVariantCourier::refusesIncomingMessageAboveLimit()
{
    Connection connection;
    QVERIFY(connection.handshake(Sha1, false, 0));
    connection.peer.sendFrameHeader(ScriptedWebSocketPeer::Binary, quint64(QVariantReaderWriter::MaxMessageSize) + 1);
    QVERIFY(connection.waitForError());
    // The socket drops the connection itself, before any byte of the payload.
    QCOMPARE(connection.onlyError(), connectionError(Zeto::ConnectionDropped));
    QVERIFY(connection.received.isEmpty());
    QVERIFY(connection.peer.waitForDisconnected());
}

void tst_WebSocketBasedQVariantCourier::refusesToSendAboveLimit()
{
    QFETCH_GLOBAL(bool, compress);
    Connection connection;
    QVERIFY(connection.handshake(Sha1, compress, 0));
    QTest::ignoreMessage(QtCriticalMsg,
                         "Failed to send message to peer. Could not convert QVariant to QByteArray or compression failed.");
    // Well compressible, but the receiver could never inflate it.
    connection.courier->sendQVariant(QByteArray(QVariantReaderWriter::MaxMessageSize, 'z'));
    connection.courier->sendQVariant(1);
    QVERIFY(connection.peer.waitForBinaryMessages(2));
    QCOMPARE(connection.frames().size(), 1);
    QVERIFY(connection.frames().first().size() < 100);
    QVERIFY(connection.errors.isEmpty());
}

void tst_WebSocketBasedQVariantCourier::setsLowDelayOnceConnected()
{
    Connection connection;
    QVERIFY(connection.handshake(Sha1, false, 0));
    QVERIFY(connection.courier->tcpSocket());
    QCOMPARE(connection.courier->tcpSocket()->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);
}

void tst_WebSocketBasedQVariantCourier::holdsBackPeerThatDoesNotRead_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<int>("heldBackInMs");
    QTest::newRow("plain") << false << 500;
    QTest::newRow("TLS") << true << 500;
    // QWebSocket gives up on a frame whose rest takes more than 5 s.
    QTest::newRow("plain, longer than a frame may take") << false << 6000;
}

void tst_WebSocketBasedQVariantCourier::holdsBackPeerThatDoesNotRead()
{
    QFETCH_GLOBAL(bool, compress);
    QFETCH(bool, tls);
    QFETCH(int, heldBackInMs);
    if (compress)
        QSKIP("Random chunks do not compress.");
    Connection connection(smallWriteQueue(30 * 1000), tls);
    QVERIFY(connection.handshake(Sha1, false, 0));
    // The courier is inside this frame when it stops reading.
    QVariantList answers{numberedChunk(0)};
    const QByteArray split = frame(Sha1, connection.key, PlainFlag, serialized(answers.first()));
    connection.peer.sendFrameHeader(ScriptedWebSocketPeer::Binary, quint64(split.size()));
    connection.peer.sendRaw(split.left(split.size() / 2));
    connection.peer.setReading(false);
    QVariantList sent;
    QVERIFY(connection.fillWriteQueue(&sent));

    connection.peer.sendRaw(split.mid(split.size() / 2));
    // More than the kernel buffers on both ends can take.
    while (answers.size() < 512) {
        answers.append(numberedChunk(answers.size()));
        connection.peer.sendBinary(frame(Sha1, connection.key, PlainFlag, serialized(answers.last())));
    }
    QVERIFY(!connection.received.wait(heldBackInMs));
    QVERIFY(connection.peer.bytesQueued() > 0);
    QVERIFY(connection.courier->tcpSocket()->bytesAvailable() < TestHighWaterMark);

    connection.peer.setReading(true);
    QTRY_VERIFY_WITH_TIMEOUT(connection.received.size() == answers.size(), 20000);
    QCOMPARE(connection.receivedValues(), answers);
    QVERIFY(connection.peer.waitForBinaryMessages(1 + sent.size()));
    QCOMPARE(connection.frames(), connection.framesFor(sent));
    QVERIFY(connection.errors.isEmpty());
}

void tst_WebSocketBasedQVariantCourier::dropsPeerThatKeepsQueueFull_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<int>("drainDeadlineInMs");
    QTest::addColumn<qint64>("sentWhileHeldBack");
    QTest::addColumn<int>("earliestErrorInMs");
    for (const bool tls : {false, true}) {
        const QByteArray transport = tls ? "TLS" : "plain";
        QTest::newRow(transport + ", drain deadline passes") << tls << 500 << qint64(0) << 450;
        // Long before the deadline.
        QTest::newRow(transport + ", queue reaches twice the high-water mark")
            << tls << 60 * 1000 << 2 * TestHighWaterMark << 0;
    }
}

void tst_WebSocketBasedQVariantCourier::dropsPeerThatKeepsQueueFull()
{
    QFETCH_GLOBAL(bool, compress);
    QFETCH(bool, tls);
    QFETCH(int, drainDeadlineInMs);
    QFETCH(qint64, sentWhileHeldBack);
    QFETCH(int, earliestErrorInMs);
    if (compress)
        QSKIP("Random chunks do not compress.");
    Connection connection(smallWriteQueue(drainDeadlineInMs), tls);
    QVERIFY(connection.handshake(Sha1, false, 0));
    connection.peer.setReading(false);
    QVariantList sent;
    QVERIFY(connection.fillWriteQueue(&sent));
    QElapsedTimer clock;
    clock.start();
    for (qint64 bytes = 0; bytes < sentWhileHeldBack; bytes += ChunkSize)
        connection.courier->sendQVariant(numberedChunk(0));
    QVERIFY(connection.errors.isEmpty());
    QVERIFY(connection.waitForError());
    QVERIFY(clock.elapsed() >= earliestErrorInMs);
    QCOMPARE(connection.onlyError(), connectionError(Zeto::PeerNotResponding));
    // Reading again, the peer finds the connection aborted, once it has read
    // what was queued: slow over TLS in a sanitized build.
    connection.peer.setReading(true);
    QVERIFY(connection.peer.waitForDisconnected(30 * 1000));
    QVERIFY(connection.peer.wasAborted());
}

void tst_WebSocketBasedQVariantCourier::releasesQuietlyAfterPeerAborts_data()
{
    QTest::addColumn<bool>("heldBack");
    QTest::newRow("peer aborts") << false;
    QTest::newRow("peer aborts while held back") << true;
}

// The courier still holding a vanished connection must not write to it.
void tst_WebSocketBasedQVariantCourier::releasesQuietlyAfterPeerAborts()
{
    QFETCH(bool, heldBack);
    Connection connection(smallWriteQueue(60 * 1000));
    QVERIFY(connection.handshake(Sha1, false, 0));
    QVariantList sent;
    if (heldBack) {
        connection.peer.setReading(false);
        QVERIFY(connection.fillWriteQueue(&sent));
    }
    const MessageLog log;
    // The WebSocket is the TCP socket's parent and goes once the courier has done with it.
    QSignalSpy released(connection.courier->tcpSocket()->parent(), &QObject::destroyed);
    QObject::connect(connection.courier.get(), &WebSocketBasedQVariantCourier::error,
                     [&] { connection.courier.reset(); });
    connection.peer.abort();
    QTRY_COMPARE(released.size(), 1);
    QCOMPARE(connection.onlyError(), connectionError(Zeto::ConnectionDropped));
    QCOMPARE(log.entries(), QStringList());
}

// Messages are written at once; when a write fails, the report must still
// wait until sendQVariant() has returned, for its receiver may delete the courier.
void tst_WebSocketBasedQVariantCourier::reportsFailedWriteAfterSendReturns()
{
    Connection connection(smallWriteQueue(60 * 1000));
    QVERIFY(connection.handshake(Sha1, false, 0));
    bool sending = false;
    bool reportedWhileSending = false;
    QObject::connect(connection.courier.get(), &WebSocketBasedQVariantCourier::error, [&] {
        reportedWhileSending = sending;
        connection.courier.reset();
    });
    connection.peer.abort();
    // The first write draws the peer's reset and a later one fails, all
    // before the event loop could notice the connection gone.
    for (int i = 0; i < 3 && connection.courier; ++i) {
        sending = true;
        connection.courier->sendQVariant(QByteArray(TestHighWaterMark / 2, 'x'));
        sending = false;
    }
    QTRY_VERIFY(!connection.courier);
    QVERIFY(!reportedWhileSending);
}

void tst_WebSocketBasedQVariantCourier::codecKeepsSettingsPerCaller()
{
    QVariantReaderWriter &codec = QVariantReaderWriter::forCurrentThread();
    FrameSettings compressing;
    compressing.compress = true;
    compressing.hmacKey = "first";
    FrameSettings plain;
    plain.hmacAlgorithm = QCryptographicHash::Sha512;
    plain.hmacKey = "second";
    FrameSettings otherKey;
    otherKey.hmacKey = "third";
    QByteArray first;
    QByteArray second;
    QByteArray third;
    QVERIFY(codec.write(first, compressing, sampleValue()));
    QVERIFY(codec.write(third, otherKey, sampleValue()));
    QVERIFY(codec.write(second, plain, sampleValue()));
    QCOMPARE(first.at(40), CompressedFlag);
    QCOMPARE(first.left(40), hmacHex(Sha1, "first", first.mid(40)));
    QCOMPARE(third, frame(Sha1, "third", PlainFlag, serialized(sampleValue())));
    QCOMPARE(second, frame(Sha512, "second", PlainFlag, serialized(sampleValue())));
    QVariant read;
    QVERIFY(codec.read(read, compressing, first));
    QVERIFY(!codec.read(read, otherKey, first));
}

// Well-compressible values inflate beyond the 1 MiB work buffers.
void tst_WebSocketBasedQVariantCourier::hmacLeavesNoLibcryptoErrors_data()
{
    QTest::addColumn<int>("algorithm");
    QTest::addColumn<bool>("supported");
    QTest::newRow("SHA-1") << Sha1 << true;
    QTest::newRow("MD4, a legacy digest") << int(QCryptographicHash::Md4) << HmacCalculator::isSupported(QCryptographicHash::Md4);
    QTest::newRow("Keccak, unknown to libcrypto") << int(QCryptographicHash::Keccak_256) << false;
}

// Qt's TLS reads the thread's libcrypto error queue after its own calls: an
// error of ours left there fails the next TLS operation (see initTestCase too).
void tst_WebSocketBasedQVariantCourier::hmacLeavesNoLibcryptoErrors()
{
    QFETCH(int, algorithm);
    QFETCH(bool, supported);
    ERR_clear_error();
    HmacCalculator hmac;
    char hex[HmacCalculator::MaxHexLength];
    const auto hashAlgorithm = QCryptographicHash::Algorithm(algorithm);
    QCOMPARE(HmacCalculator::isSupported(hashAlgorithm), supported);
    QCOMPARE(hmac.hexDigest(hashAlgorithm, "key", PlainFlag, "data", 4, hex), supported);
    QCOMPARE(ERR_peek_error(), 0ul);
}

// Keys around each digest's block size (64 bytes, 128 for SHA-384/512):
// shorter ones are padded, longer ones hashed first. The calculator keeps
// the last key's states, so each row also switches algorithm and key.
void tst_WebSocketBasedQVariantCourier::hmacMatchesReference_data()
{
    QTest::addColumn<int>("algorithm");
    QTest::addColumn<QByteArray>("key");
    const QVector<QPair<const char *, int>> algorithms{
        {"MD5", QCryptographicHash::Md5},       {"SHA-1", Sha1},
        {"SHA-224", QCryptographicHash::Sha224}, {"SHA-256", Sha256},
        {"SHA-384", QCryptographicHash::Sha384}, {"SHA-512", Sha512},
        {"SHA3-256", QCryptographicHash::RealSha3_256}};
    for (const auto &algorithm : algorithms) {
        for (const int keySize : {0, 5, 64, 65, 128, 129}) {
            QTest::addRow("%s, %d-byte key", algorithm.first, keySize)
                << algorithm.second << QByteArray(keySize, char('a' + keySize % 26));
        }
    }
}

void tst_WebSocketBasedQVariantCourier::hmacMatchesReference()
{
    QFETCH(int, algorithm);
    QFETCH(QByteArray, key);
    static HmacCalculator hmac;
    const auto hashAlgorithm = QCryptographicHash::Algorithm(algorithm);
    const int hexLength = HmacCalculator::hexLength(hashAlgorithm);
    for (const int dataSize : {0, 54, 55, 200}) {
        const QByteArray data(dataSize, 'd');
        for (int repeat = 0; repeat < 2; ++repeat) {
            char hex[HmacCalculator::MaxHexLength];
            QVERIFY(hmac.hexDigest(hashAlgorithm, key, PlainFlag, data.constData(), data.size(), hex));
            QCOMPARE(QByteArray(hex, hexLength), hmacHex(algorithm, key, PlainFlag + data));
        }
    }
}

// The memory a large value took is given back once the value is gone.
void tst_WebSocketBasedQVariantCourier::codecReadsLargeCompressedValue()
{
    QVariantReaderWriter &codec = QVariantReaderWriter::forCurrentThread();
    FrameSettings settings;
    settings.hmacKey = "key";
    settings.compress = true;
    QByteArray warmUp;
    QVERIFY(codec.write(warmUp, settings, sampleValue())); // the compressor's lasting buffers
    const size_t heapBefore = heapInUse();
    {
        const QVariant value = QByteArray(8 << 20, 'a');
        const QByteArray sent = frame(Sha1, settings.hmacKey, CompressedFlag, zlibCompressed(serialized(value)));
        QVERIFY(sent.size() < (1 << 20));
        QVariant read;
        QVERIFY(codec.read(read, settings, sent));
        QCOMPARE(read, value);
        QByteArray written;
        QVERIFY(codec.write(written, settings, value));
    }
    QVERIFY2(heapInUse() < heapBefore + (1 << 20), qPrintable(QString::number(heapInUse() - heapBefore)));
}

void tst_WebSocketBasedQVariantCourier::codecRecoversAfterBadCompressedFrame()
{
    FrameSettings settings;
    settings.hmacKey = "key";
    const QByteArray compressed = zlibCompressed(serialized(sampleValue()));
    QVariant read;
    QTest::ignoreMessage(QtCriticalMsg, "Failed to compress/uncompress data. Internal zlib error.");
    QVERIFY(!QVariantReaderWriter::forCurrentThread().read(
        read, settings, frame(Sha1, settings.hmacKey, CompressedFlag, compressed.left(compressed.size() / 2))));
    QVERIFY(!read.isValid());
    QVERIFY(QVariantReaderWriter::forCurrentThread().read(read, settings,
                                                          frame(Sha1, settings.hmacKey, CompressedFlag, compressed)));
    QCOMPARE(read, sampleValue());
}

QTEST_GUILESS_MAIN(tst_WebSocketBasedQVariantCourier)
#include "tst_WebSocketBasedQVariantCourier.moc"
