// The courier against Qt-only baselines on the same values:
// - frame encode+decode (stream, HMAC, compression above the threshold) against
//   QDataStream plus QMessageAuthenticationCode;
// - a courier echo over loopback against a bare QWebSocket echo of messages of
//   the same size, both with TCP_NODELAY.
// Ratios are baseline time / our time: above 1.0 we are faster.
// Each is measured twice: with the server's default compression (zlib at its
// default level from 256 bytes) and without compression, because deflate
// alone costs about as much as the whole uncompressed baseline at 1 KiB.

#include "BenchmarkProcess.h"

#include <WebSocketBasedQVariantCourier/QVariantReaderWriter.h>
#include <WebSocketBasedQVariantCourier/WebSocketBasedQVariantCourier.h>
#include <WebSocketBasedQVariantCourier/ZetoWebSocketServer.h>

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QBuffer>
#include <QtCore/QCoreApplication>
#include <QtCore/QDataStream>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QMessageAuthenticationCode>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTimer>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QSslConfiguration>
#include <QtNetwork/QTcpServer>
#include <QtWebSockets/QWebSocket>
#include <QtWebSockets/QWebSocketServer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>

namespace {

constexpr int Rounds = 5;
constexpr qint64 RoundNanoseconds = 50 * 1000 * 1000;
constexpr int EchoRoundTrips = 200;
constexpr int EchoBurst = 200;
const QByteArray Key = QByteArray(128, 'k');

enum class Shape { TextMap, Bytes };

struct Size
{
    const char *name;
    int bytes;
    Shape shape;
    double frameGoal;
    // 0: reported only.
    double echoGoal;
};

struct Compression
{
    const char *name;
    bool enabled;
};

constexpr int DefaultCompressMinSizeInBytes = 256;

// Goals missed with and without compression.
struct Misses
{
    int compressed = 0;
    int plain = 0;

    void count(const Compression &compression, bool met)
    {
        if (!met)
            ++(compression.enabled ? compressed : plain);
    }
};

[[noreturn]] void abortWith(const char *what, const char *size)
{
    std::fprintf(stderr, "bench_Courier: %s for %s\n", what, size);
    std::exit(EXIT_FAILURE);
}

// A map of text fields, as an application's values often are, of about this
// many bytes in stream form.
QVariant mapOfAbout(int bytes, int &serializedSize)
{
    QVariantMap map;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Zeto::DataStream stream(&buffer);
    for (int i = 0; buffer.size() < bytes; ++i) {
        map.insert(QStringLiteral("field%1").arg(i),
                   QStringLiteral("reading %1 of sensor %2").arg(i * 7919).arg(i % 13));
        buffer.buffer().clear();
        buffer.seek(0);
        stream << QVariant(map);
    }
    serializedSize = int(buffer.size());
    return map;
}

// Bytes that do not compress, as media or encrypted payloads.
QVariant bytesOfAbout(int bytes, int &serializedSize)
{
    QByteArray data(bytes, Qt::Uninitialized);
    QRandomGenerator generator(bytes);
    generator.fillRange(reinterpret_cast<quint32 *>(data.data()), bytes / int(sizeof(quint32)));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Zeto::DataStream(&buffer) << QVariant(data);
    serializedSize = int(buffer.size());
    return data;
}

QVariant valueOfAbout(const Size &size, int &serializedSize)
{
    return size.shape == Shape::TextMap ? mapOfAbout(size.bytes, serializedSize)
                                        : bytesOfAbout(size.bytes, serializedSize);
}

qint64 timeOf(const std::function<void()> &operation, int iterations)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < iterations; ++i)
        operation();
    return timer.nsecsElapsed();
}

int calibrate(const std::function<void()> &operation)
{
    int iterations = 4;
    qint64 elapsed = 0;
    while ((elapsed = timeOf(operation, iterations)) < RoundNanoseconds / 10)
        iterations *= 2;
    return int(std::max<qint64>(1, iterations * RoundNanoseconds / std::max<qint64>(1, elapsed)));
}

// Best ns per operation, the two sides taking turns so that both see the same load.
QPair<double, double> bestOf(const std::function<void()> &ours, const std::function<void()> &theirs)
{
    const int oursIterations = calibrate(ours);
    const int theirsIterations = calibrate(theirs);
    qint64 oursBest = std::numeric_limits<qint64>::max();
    qint64 theirsBest = std::numeric_limits<qint64>::max();
    for (int round = 0; round < Rounds; ++round) {
        oursBest = std::min(oursBest, timeOf(ours, oursIterations));
        theirsBest = std::min(theirsBest, timeOf(theirs, theirsIterations));
    }
    return {double(oursBest) / oursIterations, double(theirsBest) / theirsIterations};
}

// QDataStream and an HMAC over its bytes, with the same buffers reused.
class QtFrameCodec
{
public:
    QtFrameCodec() : m_stream(&m_buffer) { m_stream.setVersion(QDataStream::Qt_5_15); }

    void encode(const QVariant &value)
    {
        m_buffer.open(QIODevice::WriteOnly | QIODevice::Truncate);
        m_stream << value;
        m_buffer.close();
        m_frame =
            QMessageAuthenticationCode::hash(m_buffer.data(), Key, QCryptographicHash::Sha1).toHex() + m_buffer.data();
    }

    bool decode()
    {
        const QByteArray data = m_frame.mid(40);
        if (QMessageAuthenticationCode::hash(data, Key, QCryptographicHash::Sha1).toHex() != m_frame.left(40))
            return false;
        QDataStream in(data);
        in.setVersion(QDataStream::Qt_5_15);
        in >> m_decoded;
        return in.status() == QDataStream::Ok;
    }

private:
    QBuffer m_buffer;
    QDataStream m_stream;
    QByteArray m_frame;
    QVariant m_decoded;
};

double measureFrames(const Size &size, const Compression &compression, const QVariant &value)
{
    Zeto::FrameSettings settings;
    settings.hmacKey = Key;
    settings.compress = compression.enabled;
    settings.compressMinSizeInBytes = DefaultCompressMinSizeInBytes;
    Zeto::QVariantReaderWriter &codec = Zeto::QVariantReaderWriter::forCurrentThread();
    QByteArray frame;
    QVariant decoded;
    if (!codec.write(frame, settings, value) || !codec.read(decoded, settings, frame) || decoded != value)
        abortWith("the frame does not round-trip", size.name);
    QtFrameCodec qt;
    const auto figures = bestOf(
        [&] {
            codec.write(frame, settings, value);
            codec.read(decoded, settings, frame);
        },
        [&] {
            qt.encode(value);
            qt.decode();
        });
    const double ratio = figures.second / figures.first;
    std::printf("%-12s %-5s frame encode+decode %10.1f us %10.1f us %6.2fx %5.1fx%s (%d B on the wire)\n", size.name,
                compression.name, figures.first / 1000, figures.second / 1000, ratio, size.frameGoal,
                ratio >= size.frameGoal ? " " : "!", frame.size());
    return ratio;
}

void enableLowDelay(QWebSocket *socket)
{
    if (auto *tcp = socket->findChild<QAbstractSocket *>(QString(), Qt::FindDirectChildrenOnly))
        tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

// One echo side: send() puts a message on the way, received counts the answers.
struct EchoFigures
{
    double medianMicroseconds = 0;
    double messagesPerSecond = 0;
};

EchoFigures measureEcho(const std::function<void()> &send, const int &received, const char *name)
{
    QVector<qint64> roundTrips;
    for (int i = 0; i < EchoRoundTrips; ++i) {
        const int expected = received + 1;
        QElapsedTimer clock;
        clock.start();
        send();
        if (!Bench::runUntil([&] { return received >= expected; }))
            abortWith("an echo did not come back", name);
        roundTrips.append(clock.nsecsElapsed());
    }
    std::sort(roundTrips.begin(), roundTrips.end());
    const int expected = received + EchoBurst;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < EchoBurst; ++i)
        send();
    if (!Bench::runUntil([&] { return received >= expected; }))
        abortWith("a burst did not come back", name);
    return {roundTrips.at(roundTrips.size() / 2) / 1000.0, EchoBurst * 1e9 / double(clock.nsecsElapsed())};
}

EchoFigures courierEcho(const Compression &compression, const QVariant &value, const char *name)
{
    Zeto::ServingCourierSettings settings;
    settings.compress = compression.enabled;
    settings.compressMinSizeInBytes = DefaultCompressMinSizeInBytes;
    Zeto::ZetoWebSocketServer server(settings);
    QSharedPointer<Zeto::ServingWebSocketBasedQVariantCourier> serving;
    QObject::connect(&server, &Zeto::ZetoWebSocketServer::newCourier, &server,
                     [&serving](const QSharedPointer<Zeto::ServingWebSocketBasedQVariantCourier> &courier) {
                         serving = courier;
                         QObject::connect(
                             courier.data(), &Zeto::IQVariantCourier::receivedQVariant, courier.data(),
                             [courier = courier.data()](const QVariant &echo) { courier->sendQVariant(echo); });
                     });
    server.listen(QHostAddress::LocalHost, 0);
    Zeto::WebSocketBasedQVariantCourier client(QUrl(QStringLiteral("zeto://127.0.0.1:%1").arg(server.serverPort())),
                                               QSslConfiguration(), QNetworkProxy(QNetworkProxy::NoProxy));
    int received = 0;
    QObject::connect(&client, &Zeto::IQVariantCourier::receivedQVariant, [&received] { ++received; });
    client.sendQVariant(value);
    if (!Bench::runUntil([&] { return received == 1; }))
        abortWith("the courier echo does not start", name);
    return measureEcho([&] { client.sendQVariant(value); }, received, name);
}

EchoFigures rawEcho(const QByteArray &message, const char *name)
{
    QTcpServer tcpServer;
    QWebSocketServer webSocketServer(QStringLiteral("bench"), QWebSocketServer::NonSecureMode);
    std::unique_ptr<QWebSocket> serving;
    QObject::connect(&tcpServer, &QTcpServer::newConnection, [&] {
        QTcpSocket *socket = tcpServer.nextPendingConnection();
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        webSocketServer.handleConnection(socket);
    });
    QObject::connect(&webSocketServer, &QWebSocketServer::newConnection, [&] {
        serving.reset(webSocketServer.nextPendingConnection());
        QObject::connect(serving.get(), &QWebSocket::binaryMessageReceived, serving.get(),
                         [&serving](const QByteArray &echo) { serving->sendBinaryMessage(echo); });
    });
    tcpServer.listen(QHostAddress::LocalHost, 0);
    QWebSocket client;
    int received = 0;
    QObject::connect(&client, &QWebSocket::connected, [&client] { enableLowDelay(&client); });
    QObject::connect(&client, &QWebSocket::binaryMessageReceived, [&received] { ++received; });
    client.setProxy(QNetworkProxy::NoProxy);
    client.open(QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(tcpServer.serverPort())));
    if (!Bench::runUntil([&] { return client.state() == QAbstractSocket::ConnectedState && serving; }))
        abortWith("the raw echo does not connect", name);
    return measureEcho([&] { client.sendBinaryMessage(message); }, received, name);
}

// The bare echo carries messages as large as the value's stream form.
bool measureEchoes(const Size &size, const Compression &compression, const QVariant &value, int serializedSize)
{
    const EchoFigures ours = courierEcho(compression, value, size.name);
    const EchoFigures theirs = rawEcho(QByteArray(serializedSize, 'm'), size.name);
    const double ratio = ours.medianMicroseconds / theirs.medianMicroseconds;
    const bool met = size.echoGoal == 0 || ratio <= size.echoGoal;
    std::printf("%-12s %-5s echo median        %10.1f us %10.1f us %6.2fx %5.2fx%s | %8.0f %8.0f msg/s\n", size.name,
                compression.name, ours.medianMicroseconds, theirs.medianMicroseconds, ratio, size.echoGoal,
                met ? " " : "!", ours.messagesPerSecond, theirs.messagesPerSecond);
    return met;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    std::printf("Courier against Qt-only baselines (Qt %s, event dispatcher %s).\n"
                "Frames: ours / QDataStream+HMAC time, ratio = theirs / ours, goal: at least the ratio given.\n"
                "Echo: ours / bare QWebSocket median round trip, ratio = ours / theirs, goal: at most the ratio given.\n\n",
                qVersion(), QAbstractEventDispatcher::instance()->metaObject()->className());
    std::printf("%-12s %-5s %-19s %13s %13s %7s %6s\n", "size", "zlib", "measure", "ours", "Qt", "ratio", "goal");
    // The 64 KiB map of about 1,500 texts is reported only: writing and
    // reading that many records, not the transport, takes its time.
    const Size sizes[] = {{"150 B", 150, Shape::TextMap, 1.2, 1.15},
                          {"1 KiB", 1024, Shape::TextMap, 1.2, 1.2},
                          {"64 KiB", 64 * 1024, Shape::TextMap, 1.2, 0},
                          {"64 KiB bytes", 64 * 1024, Shape::Bytes, 1.2, 2.0}};
    const Compression compressions[] = {{"on", true}, {"off", false}};
    Misses misses;
    for (const Size &size : sizes) {
        int serializedSize = 0;
        const QVariant value = valueOfAbout(size, serializedSize);
        for (const Compression &compression : compressions) {
            misses.count(compression, measureFrames(size, compression, value) >= size.frameGoal);
            misses.count(compression, measureEchoes(size, compression, value, serializedSize));
            std::fflush(stdout);
        }
    }
    std::printf("\nGoals missed (! marks a miss): %d with compression, %d without.\n", misses.compressed, misses.plain);
    return EXIT_SUCCESS;
}
