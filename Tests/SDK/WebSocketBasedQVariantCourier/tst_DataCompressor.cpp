#include "WebSocketBasedQVariantCourier/DataCompressor.h"

#include <QtCore/QFile>
#include <QtCore/QRandomGenerator>
#include <QtCore/QThread>
#include <QtCore/QtEndian>
#include <QtTest/QtTest>

#define ZLIB_CONST
#include <zlib.h>

#include <memory>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

using Zeto::DataCompressor;

namespace {

const QString ZlibFailure = QStringLiteral("Failed to compress/uncompress data. Internal zlib error.");
constexpr int Mebibyte = 1 << 20;

// Collects the critical messages logged while it lives.
class CriticalLog
{
public:
    CriticalLog() : m_previous(qInstallMessageHandler(record)) { messages().clear(); }
    ~CriticalLog() { qInstallMessageHandler(m_previous); }

    static QStringList &messages()
    {
        static QStringList list;
        return list;
    }

private:
    static void record(QtMsgType type, const QMessageLogContext &, const QString &text)
    {
        if (type == QtCriticalMsg)
            messages().append(text);
    }

    QtMessageHandler m_previous;
};

QByteArray compressible(int size)
{
    QByteArray data;
    data.reserve(size);
    for (int line = 0; data.size() < size; ++line)
        data += "line " + QByteArray::number(line) + " of a well-compressible message\n";
    data.truncate(size);
    return data;
}

QByteArray incompressible(int size, quint32 seed)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
    return data;
}

QByteArray compressed(const QByteArray &data, int level = DataCompressor::DefaultLevel)
{
    QByteArray output;
    DataCompressor(level).compress(data, output);
    return output;
}

QByteArray deflateZeros(z_stream &stream, int size, int flush)
{
    const QByteArray zeros(size, '\0');
    QByteArray output(int(deflateBound(&stream, uLong(size))) + 64, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<const Bytef *>(zeros.constData());
    stream.avail_in = uInt(size);
    stream.next_out = reinterpret_cast<Bytef *>(output.data());
    stream.avail_out = uInt(output.size());
    deflate(&stream, flush);
    output.chop(int(stream.avail_out));
    return output;
}

// A zlib stream of count (at least one) zero bytes, made at once whatever the
// count: once the window holds zeros, a flushed block of a mebibyte of zeros
// can follow itself any number of times, and the checksum of zeros is known.
QByteArray zlibStreamOfZeros(qint64 count)
{
    const int repeats = int((count - 1) / Mebibyte);
    z_stream stream{};
    deflateInit(&stream, Z_BEST_COMPRESSION);
    QByteArray result = deflateZeros(stream, int(count - qint64(repeats) * Mebibyte), Z_SYNC_FLUSH);
    if (repeats > 0)
        result += deflateZeros(stream, Mebibyte, Z_SYNC_FLUSH).repeated(repeats);
    result += deflateZeros(stream, 0, Z_FINISH);
    deflateEnd(&stream);
    qToBigEndian(quint32(count % 65521) << 16 | 1, result.data() + result.size() - 4);
    return result;
}

#ifdef Q_OS_LINUX
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    statm.open(QIODevice::ReadOnly);
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

qint64 peakResidentBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}
#endif

} // namespace

class tst_DataCompressor : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyInputGivesEmptyOutput();
    void roundTrip_data();
    void roundTrip();
    void levels_data();
    void levels();
    void messagesStandAlone();
    void badInputFailsAndSpoilsNothing_data();
    void badInputFailsAndSpoilsNothing();
    void inflatedSizeIsLimited_data();
    void inflatedSizeIsLimited();
    void decompressionBombStaysBounded();
    void compressRefusesInputAboveLimit();
    void threadsUseBuffersOfTheirOwn();
};

void tst_DataCompressor::emptyInputGivesEmptyOutput()
{
    CriticalLog log;
    DataCompressor compressor;
    QByteArray output("stale");
    QVERIFY(compressor.compress(QByteArray(), output));
    QVERIFY(output.isEmpty());
    output = "stale";
    QVERIFY(compressor.uncompress(QByteArray(), output));
    QVERIFY(output.isEmpty());
    QVERIFY(log.messages().isEmpty());
}

void tst_DataCompressor::roundTrip_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("abc") << QByteArray("abc");
    QTest::newRow("one byte") << QByteArray(1, '\0');
    QTest::newRow("5 MiB, well compressible") << compressible(5 * Mebibyte);
    QTest::newRow("3 MiB, incompressible") << incompressible(3 * Mebibyte, 1);
}

void tst_DataCompressor::roundTrip()
{
    QFETCH(QByteArray, data);
    CriticalLog log;
    DataCompressor compressor;
    QByteArray packed("stale");
    QVERIFY(compressor.compress(data, packed));
    QVERIFY(packed.startsWith("\x78\x9c"));
    QByteArray unpacked("stale");
    QVERIFY(compressor.uncompress(packed, unpacked));
    QCOMPARE(unpacked, data);
    QVERIFY(log.messages().isEmpty());
}

void tst_DataCompressor::levels_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("stored");
    QTest::newRow("default") << -1 << QByteArray("\x78\x9c") << false;
    QTest::newRow("above nine") << 10 << QByteArray("\x78\x9c") << false;
    QTest::newRow("negative") << -5 << QByteArray("\x78\x9c") << false;
    QTest::newRow("none") << 0 << QByteArray("\x78\x01") << true;
    QTest::newRow("best") << 9 << QByteArray("\x78\xda") << false;
}

void tst_DataCompressor::levels()
{
    QFETCH(int, level);
    QFETCH(QByteArray, header);
    QFETCH(bool, stored);
    const QByteArray data = compressible(4096);
    const QByteArray packed = compressed(data, level);
    QVERIFY(packed.startsWith(header));
    QCOMPARE(packed.size() > data.size(), stored);
    QByteArray unpacked;
    QVERIFY(DataCompressor().uncompress(packed, unpacked));
    QCOMPARE(unpacked, data);
}

void tst_DataCompressor::messagesStandAlone()
{
    const QByteArray first = compressible(10000);
    const QByteArray second = incompressible(10000, 2);
    DataCompressor compressor;
    QByteArray firstPacked, secondPacked, firstPackedAgain, unpacked;
    QVERIFY(compressor.compress(first, firstPacked));
    QVERIFY(compressor.compress(second, secondPacked));
    QVERIFY(compressor.compress(first, firstPackedAgain));
    QCOMPARE(firstPackedAgain, firstPacked);
    QVERIFY(DataCompressor().uncompress(secondPacked, unpacked));
    QCOMPARE(unpacked, second);
    QVERIFY(compressor.uncompress(secondPacked, unpacked));
    QVERIFY(compressor.uncompress(firstPacked, unpacked));
    QCOMPARE(unpacked, first);
}

void tst_DataCompressor::badInputFailsAndSpoilsNothing_data()
{
    const QByteArray valid = compressed(compressible(10000));
    QByteArray wrongChecksum = valid;
    wrongChecksum[wrongChecksum.size() - 1] = char(wrongChecksum.back() ^ 1);

    QTest::addColumn<QByteArray>("input");
    QTest::newRow("not a zlib stream") << QByteArray("plain text, not compressed");
    QTest::newRow("header only") << valid.left(2);
    QTest::newRow("cut in half") << valid.left(valid.size() / 2);
    QTest::newRow("checksum missing") << valid.chopped(4);
    QTest::newRow("last byte missing") << valid.chopped(1);
    QTest::newRow("wrong checksum") << wrongChecksum;
    QTest::newRow("trailing byte") << valid + 'x';
    QTest::newRow("two streams") << valid + valid;
}

void tst_DataCompressor::badInputFailsAndSpoilsNothing()
{
    QFETCH(QByteArray, input);
    DataCompressor compressor;
    QByteArray output("stale");
    {
        CriticalLog log;
        QVERIFY(!compressor.uncompress(input, output));
        QCOMPARE(log.messages(), QStringList{ZlibFailure});
    }
    QVERIFY(output.isEmpty());

    QVERIFY(compressor.uncompress(compressed("abc"), output));
    QCOMPARE(output, QByteArray("abc"));
}

void tst_DataCompressor::inflatedSizeIsLimited_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("exactly the limit") << qint64(DataCompressor::MaxMessageSize) << true;
    QTest::newRow("one byte more") << qint64(DataCompressor::MaxMessageSize) + 1 << false;
}

void tst_DataCompressor::inflatedSizeIsLimited()
{
    QFETCH(qint64, size);
    QFETCH(bool, accepted);
    CriticalLog log;
    QByteArray output;
    QCOMPARE(DataCompressor().uncompress(zlibStreamOfZeros(size), output), accepted);
    QCOMPARE(output.size(), accepted ? int(size) : 0);
    QCOMPARE(output.count('\0'), output.size());
    QCOMPARE(log.messages().size(), accepted ? 0 : 1);
}

void tst_DataCompressor::decompressionBombStaysBounded()
{
    const QByteArray bomb = zlibStreamOfZeros(qint64(1) << 30);
    QVERIFY(bomb.size() < 2 * Mebibyte);
#ifdef Q_OS_LINUX
    const qint64 residentBefore = residentBytes();
#endif
    DataCompressor compressor;
    QByteArray output;
    {
        CriticalLog log;
        QVERIFY(!compressor.uncompress(bomb, output));
        QCOMPARE(log.messages(), QStringList{ZlibFailure});
    }
    QVERIFY(output.capacity() <= DataCompressor::MaxMessageSize);
#ifdef Q_OS_LINUX
    // Room for the doubling output and for allocators that keep what was freed.
    const qint64 growth = peakResidentBytes() - residentBefore;
    QVERIFY2(growth < 4 * qint64(DataCompressor::MaxMessageSize), QByteArray::number(growth).constData());
#endif
    QVERIFY(compressor.uncompress(compressed("abc"), output));
    QCOMPARE(output, QByteArray("abc"));
}

void tst_DataCompressor::compressRefusesInputAboveLimit()
{
    CriticalLog log;
    QByteArray output("stale");
    QVERIFY(!DataCompressor().compress(QByteArray(DataCompressor::MaxMessageSize + 1, 'a'), output));
    QVERIFY(output.isEmpty());
    QCOMPARE(log.messages(), QStringList{ZlibFailure});
}

void tst_DataCompressor::threadsUseBuffersOfTheirOwn()
{
    // Each message passes twice through the work buffer in each direction, so
    // a buffer shared between the threads would mix their bytes.
    auto roundTrips = [](quint32 seed, bool *allEqual) {
        return QThread::create([seed, allEqual] {
            const QByteArray data = incompressible(2 * Mebibyte, seed);
            DataCompressor compressor;
            QByteArray packed, unpacked;
            *allEqual = true;
            for (int i = 0; i < 10; ++i) {
                *allEqual = *allEqual && compressor.compress(data, packed)
                            && compressor.uncompress(packed, unpacked) && unpacked == data;
            }
        });
    };
    bool firstEqual = false;
    bool secondEqual = false;
    const std::unique_ptr<QThread> first(roundTrips(3, &firstEqual));
    const std::unique_ptr<QThread> second(roundTrips(4, &secondEqual));
    first->start();
    second->start();
    QVERIFY(first->wait(120000));
    QVERIFY(second->wait(120000));
    QVERIFY(firstEqual);
    QVERIFY(secondEqual);
}

QTEST_GUILESS_MAIN(tst_DataCompressor)

#include "tst_DataCompressor.moc"
