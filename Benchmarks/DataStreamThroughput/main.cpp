// Encode and decode throughput of Zeto::DataStream against QDataStream on the
// same QVariants. Each side keeps one stream over one QBuffer and rewinds it
// per value, as a courier does. Prints ns per value and QDataStream's time
// over ours, so 2.0x means we stream twice as many values per second.

#include <DataStream/DataStream.h>
#include <DataStream/StreamHelper.h>

#include <QtCore/QBuffer>
#include <QtCore/QDataStream>
#include <QtCore/QElapsedTimer>
#include <QtCore/QPair>
#include <QtCore/QVector>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace Bench {

// An application type as an application would register it on both streams.
struct Reading
{
    QString sensor;
    qint64 timestamp = 0;
    double value = 0.0;

    bool operator==(const Reading &other) const
    {
        return sensor == other.sensor && timestamp == other.timestamp && value == other.value;
    }
};

template <typename Stream>
Stream &writeReading(Stream &stream, const Reading &reading)
{
    stream << reading.sensor << reading.timestamp << reading.value;
    return stream;
}

template <typename Stream>
Stream &readReading(Stream &stream, Reading &reading)
{
    stream >> reading.sensor >> reading.timestamp >> reading.value;
    return stream;
}

Zeto::DataStream &operator<<(Zeto::DataStream &stream, const Reading &reading) { return writeReading(stream, reading); }
Zeto::DataStream &operator>>(Zeto::DataStream &stream, Reading &reading) { return readReading(stream, reading); }
QDataStream &operator<<(QDataStream &stream, const Reading &reading) { return writeReading(stream, reading); }
QDataStream &operator>>(QDataStream &stream, Reading &reading) { return readReading(stream, reading); }

} // namespace Bench

Q_DECLARE_METATYPE(Bench::Reading)

namespace {

constexpr int Rounds = 5;
constexpr qint64 RoundNanoseconds = 50 * 1000 * 1000;

bool streamIsGood(const Zeto::DataStream &stream) { return stream.isValid(); }
bool streamIsGood(const QDataStream &stream) { return stream.status() == QDataStream::Ok; }

void prepare(QDataStream &stream) { stream.setVersion(QDataStream::Qt_5_15); }
void prepare(Zeto::DataStream &) {}

[[noreturn]] void abortWith(const char *what, const char *kind)
{
    std::fprintf(stderr, "bench_DataStream: %s for kind %s\n", what, kind);
    std::exit(EXIT_FAILURE);
}

// One stream over one reused buffer, rewound for every value.
template <typename Stream>
class Courier
{
public:
    Courier()
        : m_stream(&m_buffer)
    {
        prepare(m_stream);
        m_buffer.open(QIODevice::ReadWrite);
    }

    void encode(const QVariant &value)
    {
        m_buffer.seek(0);
        m_stream << value;
    }

    void decode(const QByteArray &bytes)
    {
        m_buffer.buffer() = bytes;
        m_buffer.seek(0);
        m_stream >> m_decoded;
    }

    QByteArray encoded(const QVariant &value)
    {
        m_buffer.buffer().clear();
        encode(value);
        return m_buffer.data().left(int(m_buffer.pos()));
    }

    bool decodedWhole(const QByteArray &bytes, const QVariant &expected)
    {
        decode(bytes);
        return streamIsGood(m_stream) && m_buffer.pos() == bytes.size() && m_decoded == expected;
    }

    bool isGood() const { return streamIsGood(m_stream); }

private:
    QBuffer m_buffer;
    Stream m_stream;
    QVariant m_decoded;
};

struct Kind
{
    const char *name;
    QVector<QVariant> values;
    double goal;
};

QVariantMap tenEntryMap()
{
    QVariantMap map;
    for (int i = 0; i < 10; ++i) {
        const QString key = QStringLiteral("key%1").arg(i);
        map.insert(key, i % 2 ? QVariant(QStringLiteral("value %1").arg(i)) : QVariant(i * 1000));
    }
    return map;
}

QVector<Kind> kinds()
{
    QVariantList tenInts;
    for (int i = 0; i < 10; ++i)
        tenInts.append(i * 7919);
    const QVector<QVariant> single = {
        QVariant(123456789),
        QVariant(3.141592653589793),
        QVariant(QStringLiteral("Remote object method")),
        QVariant(QByteArray(1024, 'z')),
        QVariant(tenInts),
        QVariant(tenEntryMap()),
        QVariant::fromValue(Bench::Reading{QStringLiteral("thermometer-7"), 1700000000000, 21.5}),
    };
    const char *names[] = {"int", "double", "QString(20)", "QByteArray(1K)", "list(10)", "map(10)",
                           "custom"};
    const double goals[] = {1.0, 1.0, 1.0, 1.0, 1.5, 1.5, 1.0};
    QVector<Kind> result;
    for (int i = 0; i < single.size(); ++i)
        result.append({names[i], {single[i]}, goals[i]});
    result.append({"mix", single, 1.5});
    return result;
}

template <typename Operation>
qint64 timeOf(Operation &operation, int iterations)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < iterations; ++i)
        operation(i);
    return timer.nsecsElapsed();
}

// Enough iterations for one round to take about RoundNanoseconds.
template <typename Operation>
int calibrate(Operation &operation)
{
    int iterations = 16;
    qint64 elapsed = 0;
    while ((elapsed = timeOf(operation, iterations)) < RoundNanoseconds / 10)
        iterations *= 2;
    return int(std::max<qint64>(1, iterations * RoundNanoseconds / std::max<qint64>(1, elapsed)));
}

// Best ns per operation over several rounds, the two sides taking turns so
// that both see the same load of a shared machine.
template <typename Ours, typename Theirs>
QPair<double, double> bestOf(Ours &ours, Theirs &theirs)
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

struct Figures
{
    QPair<double, double> encode;
    QPair<double, double> decode;
    int oursBytes = 0;
    int theirsBytes = 0;

    double encodeRatio() const { return encode.second / encode.first; }
    double decodeRatio() const { return decode.second / decode.first; }
    double bothRatio() const { return (encode.second + decode.second) / (encode.first + decode.first); }
};

template <typename Stream>
QVector<QByteArray> encodeAndVerify(Courier<Stream> &courier, const Kind &kind, int &totalBytes)
{
    QVector<QByteArray> encoded;
    totalBytes = 0;
    for (const QVariant &value : kind.values) {
        encoded.append(courier.encoded(value));
        if (!courier.isGood())
            abortWith("encoding failed", kind.name);
        if (!courier.decodedWhole(encoded.last(), value))
            abortWith("decoding does not give back the value", kind.name);
        totalBytes += encoded.last().size();
    }
    return encoded;
}

Figures measure(const Kind &kind, Courier<Zeto::DataStream> &ours, Courier<QDataStream> &theirs)
{
    Figures figures;
    const QVector<QByteArray> oursBytes = encodeAndVerify(ours, kind, figures.oursBytes);
    const QVector<QByteArray> theirsBytes = encodeAndVerify(theirs, kind, figures.theirsBytes);
    const int count = kind.values.size();

    auto oursEncode = [&](int i) { ours.encode(kind.values[i % count]); };
    auto theirsEncode = [&](int i) { theirs.encode(kind.values[i % count]); };
    figures.encode = bestOf(oursEncode, theirsEncode);

    auto oursDecode = [&](int i) { ours.decode(oursBytes[i % count]); };
    auto theirsDecode = [&](int i) { theirs.decode(theirsBytes[i % count]); };
    figures.decode = bestOf(oursDecode, theirsDecode);

    if (!ours.isGood() || !theirs.isGood())
        abortWith("a stream failed while measuring", kind.name);
    return figures;
}

} // namespace

int main()
{
    Zeto::registerType<Bench::Reading>();
    qRegisterMetaTypeStreamOperators<Bench::Reading>();
    QMetaType::registerEqualsComparator<Bench::Reading>();

    Courier<Zeto::DataStream> ours;
    Courier<QDataStream> theirs;

    std::printf("Zeto::DataStream against QDataStream (Qt %s), ns per value, best of %d rounds.\n"
                "Ratio = QDataStream time / our time (our throughput over QDataStream's).\n\n",
                qVersion(), Rounds);
    std::printf("%-15s %8s %8s %6s | %8s %8s %6s | %6s %5s | %s\n", "kind", "enc ours", "enc Qt",
                "ratio", "dec ours", "dec Qt", "ratio", "both", "goal", "bytes ours/Qt");
    int goalsMet = 0;
    const QVector<Kind> all = kinds();
    for (const Kind &kind : all) {
        const Figures f = measure(kind, ours, theirs);
        const bool met = f.encodeRatio() >= kind.goal && f.decodeRatio() >= kind.goal;
        goalsMet += met ? 1 : 0;
        std::printf("%-15s %8.1f %8.1f %5.2fx | %8.1f %8.1f %5.2fx | %5.2fx %4.1fx%s | %d/%d\n",
                    kind.name, f.encode.first, f.encode.second, f.encodeRatio(), f.decode.first,
                    f.decode.second, f.decodeRatio(), f.bothRatio(), kind.goal, met ? " " : "!",
                    f.oursBytes, f.theirsBytes);
        std::fflush(stdout);
    }
    std::printf("\n%d of %d kinds reach their goal in both directions (! marks a miss).\n",
                goalsMet, int(all.size()));
    return EXIT_SUCCESS;
}
