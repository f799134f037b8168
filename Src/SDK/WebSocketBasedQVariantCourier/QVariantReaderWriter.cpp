#include "QVariantReaderWriter.h"

#include "WorkBuffer.h"

namespace Zeto {

namespace {

constexpr char PlainFlag = 0x00;
constexpr char CompressedFlag = 0x01;

// Looks at every byte whatever the first difference, so that the time taken
// tells a forger nothing about how much of a guess was right.
bool equalInConstantTime(const char *expected, const char *actual, int size)
{
    unsigned char difference = 0;
    for (int i = 0; i < size; ++i)
        difference |= static_cast<unsigned char>(expected[i] ^ actual[i]);
    return difference == 0;
}

bool reachesThreshold(const FrameSettings &settings, int size)
{
    return quint32(size) >= quint32(settings.compressMinSizeInBytes);
}

} // namespace

QVariantReaderWriter::QVariantReaderWriter()
    : m_serialized(WorkBuffer::reserved()),
      m_compressed(WorkBuffer::reserved()),
      m_decompressed(WorkBuffer::reserved()),
      m_writeBuffer(&m_serialized),
      m_writeStream(&m_writeBuffer),
      m_readStream(&m_readBuffer)
{
    m_writeBuffer.open(QIODevice::ReadWrite);
    m_readBuffer.setBuffer(&m_received);
}

QVariantReaderWriter::~QVariantReaderWriter() = default;

QVariantReaderWriter &QVariantReaderWriter::forCurrentThread()
{
    // Freed when its thread ends, the main thread included.
    thread_local QVariantReaderWriter codec;
    return codec;
}

int QVariantReaderWriter::hmacHexLength(QCryptographicHash::Algorithm algorithm)
{
    return HmacCalculator::hexLength(algorithm);
}

bool QVariantReaderWriter::write(QByteArray &out, const FrameSettings &settings, const QVariant &value)
{
    out.resize(0);
    const bool written = serialize(value, settings.dataStreamVersion) && frame(out, settings, m_serialized);
    releaseWorkBuffers();
    return written;
}

bool QVariantReaderWriter::writeStreamForm(QByteArray &out, const QVariant &value)
{
    const bool written = serialize(value, DataStream::DefaultVersion);
    // A copy of its own: the work buffer is written again by the next value.
    out = written ? QByteArray(m_serialized.constData(), m_serialized.size()) : QByteArray();
    releaseWorkBuffers();
    return written;
}

bool QVariantReaderWriter::writeFrame(QByteArray &out, const FrameSettings &settings, const QByteArray &streamForm)
{
    out.resize(0);
    const bool written = frame(out, settings, streamForm);
    releaseWorkBuffers();
    return written;
}

bool QVariantReaderWriter::frame(QByteArray &out, const FrameSettings &settings, const QByteArray &serialized)
{
    const int hexLength = hmacHexLength(settings.hmacAlgorithm);
    if (hexLength == 0)
        return false;
    const bool compressed = compress(settings, serialized);
    const QByteArray &data = compressed ? m_compressed : serialized;
    if (data.size() > MaxMessageSize - hexLength - 1)
        return false;
    const char flag = compressed ? CompressedFlag : PlainFlag;
    char hex[HmacCalculator::MaxHexLength];
    if (!m_hmac.hexDigest(settings.hmacAlgorithm, settings.hmacKey, flag, data.constData(), data.size(), hex))
        return false;
    out.reserve(hexLength + 1 + data.size());
    out.append(hex, hexLength);
    out.append(flag);
    out.append(data);
    return true;
}

bool QVariantReaderWriter::read(QVariant &out, const FrameSettings &settings, const QByteArray &frame)
{
    const bool valid = readFrame(out, settings, frame);
    releaseWorkBuffers();
    return valid;
}

bool QVariantReaderWriter::readFrame(QVariant &out, const FrameSettings &settings, const QByteArray &frame)
{
    out.clear();
    const int hexLength = hmacHexLength(settings.hmacAlgorithm);
    if (hexLength == 0 || frame.size() <= hexLength || frame.size() > MaxMessageSize)
        return false;
    const char flag = frame.at(hexLength);
    const char *data = frame.constData() + hexLength + 1;
    const int size = frame.size() - hexLength - 1;
    char hex[HmacCalculator::MaxHexLength];
    if (!m_hmac.hexDigest(settings.hmacAlgorithm, settings.hmacKey, flag, data, size, hex)
        || !equalInConstantTime(hex, frame.constData(), hexLength))
        return false;
    switch (flag) {
    case PlainFlag:
        return deserialize(out, settings.dataStreamVersion, data, size);
    case CompressedFlag:
        // Raw data: the compressor only reads its input, so the frame is not copied.
        return m_compressor.uncompress(QByteArray::fromRawData(data, size), m_decompressed)
            && deserialize(out, settings.dataStreamVersion, m_decompressed.constData(), m_decompressed.size());
    default:
        return false;
    }
}

void QVariantReaderWriter::releaseWorkBuffers()
{
    WorkBuffer::releaseIfGrown(m_serialized);
    WorkBuffer::releaseIfGrown(m_compressed);
    WorkBuffer::releaseIfGrown(m_decompressed);
}

bool QVariantReaderWriter::serialize(const QVariant &value, DataStream::Version version)
{
    m_serialized.resize(0);
    m_writeBuffer.seek(0);
    m_writeStream.setVersion(version);
    m_writeStream << value;
    if (!m_writeStream.isValid()) {
        m_writeStream.resetStatus();
        return false;
    }
    // The receiver inflates no further than this, so a larger value could
    // never be read even when it compresses well.
    return m_serialized.size() <= MaxMessageSize;
}

bool QVariantReaderWriter::compress(const FrameSettings &settings, const QByteArray &serialized)
{
    return settings.compress && reachesThreshold(settings, serialized.size())
        && m_compressor.compress(serialized, m_compressed);
}

bool QVariantReaderWriter::deserialize(QVariant &out, DataStream::Version version, const char *data, int size)
{
    // Reads straight from the received bytes, which nothing read refers to.
    m_received.setRawData(data, uint(size));
    m_readBuffer.open(QIODevice::ReadOnly);
    m_readStream.setVersion(version);
    m_readStream >> out;
    const bool valid = m_readStream.isValid();
    if (!valid) {
        m_readStream.resetStatus();
        out.clear();
    }
    m_readBuffer.close();
    return valid;
}

} // namespace Zeto
