#ifndef ZETO_FUZZSUPPORT_H
#define ZETO_FUZZSUPPORT_H

#include <DataStream/DataStream.h>

#include <QtCore/QBuffer>
#include <QtCore/QByteArray>

namespace ZetoFuzz {

// Silences Qt's messages (the stream warns about every rejected type, which
// would drown libFuzzer's report) and fixes the hash seed, so that a hash's
// bytes and a crashing input replay the same way in every run.
void initialise();

// Reports a broken expectation, such as an asymmetry between reader and
// writer, and stops the run, so that libFuzzer keeps the input as a crash.
[[noreturn]] void fail(const char *what, const QByteArray &bytes);

// One stream over one reusable buffer, as a courier keeps it: constructing a
// stream enumerates the system's time zones, far too costly per input.
class BufferStream
{
public:
    BufferStream();

    Zeto::DataStream &reading(const QByteArray &bytes);
    Zeto::DataStream &writing();
    QByteArray bytes() const;
    qint64 position() const;

private:
    void reopen(const QByteArray &bytes, QIODevice::OpenMode mode);

    QBuffer m_buffer;
    Zeto::DataStream m_stream;
};

// The stream that round trips go through, apart from the one reading input.
BufferStream &codec();

// Whether the stream reported a type without a stream form since the last
// call to forget. A record that says "null" reads as the default value of any
// type Qt knows, but Qt calls some of those values (a QModelIndex, a QFont in a
// process without the GUI module) not null, so they cannot be written back.
void forgetUnstreamableType();
bool metUnstreamableType();

// A float or qfloat16 read from a double beyond its range is infinite; the
// reader rightly refuses that infinity when it comes back as a double.
bool holdsInfinity(const QByteArray &bytes);

template <typename T>
bool encode(const T &value, QByteArray &bytes)
{
    forgetUnstreamableType();
    Zeto::DataStream &stream = codec().writing();
    stream << value;
    bytes = codec().bytes();
    return stream.isValid();
}

// Reads one T that must take exactly the given bytes.
template <typename T>
bool decodeWhole(const QByteArray &bytes, T &value)
{
    Zeto::DataStream &stream = codec().reading(bytes);
    stream >> value;
    return stream.isValid() && codec().position() == bytes.size();
}

// The stream form, through which the DataStream targets round-trip values.
// Another form (a frame, say) offers the same three operations.
struct StreamForm
{
    template <typename T>
    bool write(const T &value, QByteArray &bytes) const
    {
        return encode(value, bytes);
    }

    template <typename T>
    bool read(const QByteArray &bytes, T &value) const
    {
        return decodeWhole(bytes, value);
    }

    // Called after a failed write: whether the value may rightly have none.
    template <typename T>
    bool mayFailToWrite(const T &) const
    {
        return metUnstreamableType();
    }
};

template <typename T>
bool streamFormHoldsInfinity(const T &value)
{
    QByteArray bytes;
    return encode(value, bytes) && holdsInfinity(bytes);
}

// A value that the reader accepted must be written, read back, and written
// again to the same bytes. The second generation is compared with the third
// because the first read may still narrow a value: a float read from a tiny
// double is cut to zero only once it returns as a double.
template <typename T, typename Form = StreamForm>
void checkRoundTrip(const T &value, const Form &form = Form())
{
    QByteArray first;
    if (!form.write(value, first)) {
        if (form.mayFailToWrite(value))
            return;
        fail("a value that was read cannot be written", first);
    }
    T second{};
    if (!form.read(first, second)) {
        if (streamFormHoldsInfinity(value))
            return;
        fail("written bytes do not read back whole", first);
    }
    QByteArray secondBytes;
    T third{};
    if (!form.write(second, secondBytes) || !form.read(secondBytes, third))
        fail("re-written bytes do not read back whole", secondBytes);
    QByteArray thirdBytes;
    if (!form.write(third, thirdBytes) || thirdBytes != secondBytes)
        fail("a value changes on a second round trip", secondBytes + "\n" + thirdBytes);
}

// Reads values of T from the input until it ends or the stream fails, and
// round-trips each value that was read.
template <typename T>
void readEach(const QByteArray &input)
{
    static BufferStream source;
    Zeto::DataStream &stream = source.reading(input);
    while (!stream.atEnd()) {
        const qint64 before = source.position();
        T value{};
        stream >> value;
        if (!stream.isValid())
            return;
        if (source.position() == before)
            fail("a read succeeded without consuming input", input);
        checkRoundTrip(value);
    }
}

} // namespace ZetoFuzz

#endif // ZETO_FUZZSUPPORT_H
