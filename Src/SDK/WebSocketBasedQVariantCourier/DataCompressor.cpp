#include "DataCompressor.h"
#include "../LoggingCategories_p.h"

#include <QtCore/QThreadStorage>
#include <QtCore/QVector>
#include <QtCore/QtGlobal>

#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>

namespace Zeto {

struct DataCompressor::ZlibStreams
{
    z_stream deflater{};
    z_stream inflater{};
};

namespace {

static_assert(DataCompressor::DefaultLevel == Z_DEFAULT_COMPRESSION, "the default level is zlib's own");

constexpr int ScratchBufferSize = 0x100000;
constexpr int WindowBits = 15;
constexpr int MemoryLevel = 9;

using ZlibStep = int (*)(z_streamp, int);
using ZlibReset = int (*)(z_streamp);

void logZlibFailure() { qCCritical(lcZetoTransport, "Failed to compress/uncompress data. Internal zlib error."); }

int effectiveLevel(int level)
{
    const bool known = level >= Z_NO_COMPRESSION && level <= Z_BEST_COMPRESSION;
    return known ? level : DataCompressor::DefaultLevel;
}

// zlib writes here and the result is copied out, so that the size of a
// message decides only the size of its output, never that of this buffer.
char *threadScratchBuffer()
{
    static QThreadStorage<QVector<char>> buffers;
    QVector<char> &buffer = buffers.localData();
    if (buffer.isEmpty())
        buffer.resize(ScratchBufferSize);
    return buffer.data();
}

// Grows by doubling like QByteArray itself, but never past the message limit,
// so that a rejected message has not reserved more than that.
void appendBounded(QByteArray &output, const char *data, int size)
{
    const int needed = output.size() + size;
    if (needed > output.capacity())
        output.reserve(std::min(std::max(needed, 2 * output.capacity()), DataCompressor::MaxMessageSize));
    output.append(data, size);
}

// Steps through the scratch buffer, so that any message that fits the limit
// passes whatever its size.
bool pump(z_stream &stream, ZlibStep step, int flush, const QByteArray &input, QByteArray &output)
{
    char *const scratch = threadScratchBuffer();
    stream.next_in = reinterpret_cast<const Bytef *>(input.constData());
    stream.avail_in = uInt(input.size());
    for (;;) {
        const int room = DataCompressor::MaxMessageSize - output.size();
        stream.next_out = reinterpret_cast<Bytef *>(scratch);
        stream.avail_out = uInt(ScratchBufferSize);
        const int result = step(&stream, flush);
        const int produced = ScratchBufferSize - int(stream.avail_out);
        if ((result != Z_OK && result != Z_STREAM_END) || produced > room)
            return false;
        appendBounded(output, scratch, produced);
        if (result == Z_STREAM_END)
            return stream.avail_in == 0; // a message is exactly one stream
    }
}

// The stream is reset after failures too, so that one bad message does not
// spoil the next.
bool runWholeStream(z_stream &stream, ZlibStep step, ZlibReset reset, int flush,
                    const QByteArray &input, QByteArray &output)
{
    Q_ASSERT(&input != &output);
    output.resize(0);
    if (input.isEmpty())
        return true;
    const bool pumped = input.size() <= DataCompressor::MaxMessageSize && pump(stream, step, flush, input, output);
    const bool wasReset = reset(&stream) == Z_OK;
    if (pumped && wasReset)
        return true;
    output.resize(0);
    logZlibFailure();
    return false;
}

} // namespace

DataCompressor::DataCompressor(int level)
    : m_streams(std::make_unique<ZlibStreams>())
{
    if (deflateInit2(&m_streams->deflater, effectiveLevel(level), Z_DEFLATED, WindowBits, MemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        logZlibFailure();
    if (inflateInit2(&m_streams->inflater, WindowBits) != Z_OK)
        logZlibFailure();
}

DataCompressor::~DataCompressor()
{
    deflateEnd(&m_streams->deflater);
    inflateEnd(&m_streams->inflater);
}

bool DataCompressor::compress(const QByteArray &input, QByteArray &output)
{
    return runWholeStream(m_streams->deflater, deflate, deflateReset, Z_FINISH, input, output);
}

bool DataCompressor::uncompress(const QByteArray &input, QByteArray &output)
{
    return runWholeStream(m_streams->inflater, inflate, inflateReset, Z_NO_FLUSH, input, output);
}

} // namespace Zeto
