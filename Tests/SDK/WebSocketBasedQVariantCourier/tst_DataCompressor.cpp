#include "WebSocketBasedQVariantCourier/DataCompressor.h"
#include "ConcurrentRun.h"
#include "MessageLog.h"

#include <QtCore/QFile>
#include <QtCore/QRandomGenerator>
#include <QtCore/QtEndian>
#include <QtTest/QtTest>

#define ZLIB_CONST
#include <zlib.h>


#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

using Zeto::DataCompressor;
using Zeto::Testing::MessageLog;
using Zeto::Testing::runTogether;

namespace {

const QString ZlibFailure = QStringLiteral("Failed to compress/uncompress data. Internal zlib error.");
constexpr int Mebibyte = 1 << 20;

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
    MessageLog log;
    DataCompressor compressor;
    QByteArray output("stale");
    QVERIFY(compressor.compress(QByteArray(), output));
    QVERIFY(output.isEmpty());
    output = "stale";
    QVERIFY(compressor.uncompress(QByteArray(), output));
    QVERIFY(output.isEmpty());
    QVERIFY(log.criticals().isEmpty());
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
    MessageLog log;
    DataCompressor compressor;
    QByteArray packed("stale");
    QVERIFY(compressor.compress(data, packed));
    QVERIFY(packed.startsWith("\x78\x9c"));
    QByteArray unpacked("stale");
    QVERIFY(compressor.uncompress(packed, unpacked));
    QCOMPARE(unpacked, data);
    QVERIFY(log.criticals().isEmpty());
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
        MessageLog log;
        QVERIFY(!compressor.uncompress(input, output));
        QCOMPARE(log.criticals(), QStringList{ZlibFailure});
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
    MessageLog log;
    QByteArray output;
    QCOMPARE(DataCompressor().uncompress(zlibStreamOfZeros(size), output), accepted);
    QCOMPARE(output.size(), accepted ? int(size) : 0);
    QCOMPARE(output.count('\0'), output.size());
    QCOMPARE(log.criticals().size(), accepted ? 0 : 1);
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
        MessageLog log;
        QVERIFY(!compressor.uncompress(bomb, output));
        QCOMPARE(log.criticals(), QStringList{ZlibFailure});
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
    MessageLog log;
    QByteArray output("stale");
    QVERIFY(!DataCompressor().compress(QByteArray(DataCompressor::MaxMessageSize + 1, 'a'), output));
    QVERIFY(output.isEmpty());
    QCOMPARE(log.criticals(), QStringList{ZlibFailure});
}

void tst_DataCompressor::threadsUseBuffersOfTheirOwn()
{
    // Each message passes twice through the work buffer in each direction, so
    // a buffer shared between the threads would mix their bytes.
    bool allEqual[2] = {false, false};
    const bool inTime = runTogether(2, [&allEqual](int thread) {
        const QByteArray data = incompressible(2 * Mebibyte, quint32(3 + thread));
        DataCompressor compressor;
        QByteArray packed, unpacked;
        allEqual[thread] = true;
        for (int i = 0; i < 10; ++i) {
            allEqual[thread] = allEqual[thread] && compressor.compress(data, packed)
                               && compressor.uncompress(packed, unpacked) && unpacked == data;
        }
    }, 120000);
    QVERIFY(inTime);
    QVERIFY(allEqual[0]);
    QVERIFY(allEqual[1]);
}

QTEST_GUILESS_MAIN(tst_DataCompressor)

#include "tst_DataCompressor.moc"
