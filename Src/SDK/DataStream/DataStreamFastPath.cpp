// The fast path over a QBuffer: reads straight from its memory, writes
// gathered, the buffer brought up to date once per top-level value.

#include "DataStream_p.h"

namespace Zeto {

DataStream::BufferSession::BufferSession(DataStream &stream, Direction direction)
    : m_stream(stream)
{
    if (m_stream.m_sessionDepth++ == 0)
        m_stream.enterFastPath(direction);
}

DataStream::BufferSession::~BufferSession()
{
    if (--m_stream.m_sessionDepth == 0)
        m_stream.leaveFastPath();
}

void DataStream::enterFastPath(BufferSession::Direction direction)
{
    if (!m_buffer || !canRead() || m_buffer->isTransactionStarted())
        return;
    if (direction == BufferSession::Reading)
        enterFastReading();
    else
        enterFastWriting();
}

void DataStream::enterFastReading()
{
    if (!m_buffer->isReadable())
        return;
    const QByteArray &data = m_buffer->data();
    const qint64 position = m_buffer->pos();
    if (position > data.size() || m_buffer->bytesAvailable() != data.size() - position)
        return;
    m_readBegin = data.constData() + position;
    m_readCursor = m_readBegin;
    m_readEnd = data.constData() + data.size();
}

void DataStream::enterFastWriting()
{
    if (!m_buffer->isWritable())
        return;
    m_gatheringWrites = true;
}

void DataStream::leaveFastPath()
{
    if (m_readCursor) {
        const qint64 consumed = m_readCursor - m_readBegin;
        m_readBegin = m_readCursor = m_readEnd = nullptr;
        if (consumed > 0)
            m_buffer->seek(m_buffer->pos() + consumed);
    }
    if (m_gatheringWrites) {
        m_gatheringWrites = false;
        flushGatheredWrites();
    }
}

// Bytes written before a failure reach the device as they would have
// without gathering.
void DataStream::flushGatheredWrites()
{
    constexpr int MaxRetainedCapacity = 256 * 1024;
    if (m_gatheredSize > 0 && m_device->write(m_gatherStorage, m_gatheredSize) != m_gatheredSize)
        m_valid = false;
    m_gatheredSize = 0;
    if (m_gatheredWrites.size() > MaxRetainedCapacity) {
        m_gatheredWrites = QByteArray();
        m_gatherStorage = nullptr;
    }
}

// Gathers into storage that only grows, so steady-state writes are a copy.
// Writes too large to gather go to the device after what was gathered.
bool DataStream::gather(const char *data, qint64 len)
{
    char *space = gatherSpace(len);
    if (!space) {
        m_gatheringWrites = false;
        flushGatheredWrites();
        return false;
    }
    std::memcpy(space, data, size_t(len));
    return true;
}

bool DataStream::growGatheredWrites(qint64 needed)
{
    constexpr qint64 MaxGathered = 64 * 1024 * 1024;
    if (needed > MaxGathered)
        return false;
    m_gatheredWrites.resize(int(qMax(needed, qMin(2 * qint64(m_gatheredWrites.size()), MaxGathered))));
    m_gatherStorage = m_gatheredWrites.data();
    return true;
}

} // namespace Zeto
