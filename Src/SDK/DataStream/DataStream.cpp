// Construction, status and raw access to the device.

#include "DataStream_p.h"
#include "../LoggingCategories_p.h"

#include <QtCore/QTimeZone>

namespace Zeto {

namespace {

constexpr int DefaultContainerReserveLimit = 4096;

} // namespace

DataStream::DataStream(QIODevice *device)
    : m_version(DefaultVersion),
      m_containerReserveLimit(DefaultContainerReserveLimit),
      m_device(device),
      m_byteOrder(0),
      m_valid(true),
      m_availableTimeZoneIds(QTimeZone::availableTimeZoneIds()),
      m_creationTimeUtc(QDateTime::currentDateTimeUtc()),
      m_buffer(qobject_cast<QBuffer *>(device))
{
    StreamDetail::registerStandardStreamHelpers();
}

// The original may be in the middle of a value: its device is brought up to
// date first, so that both streams see the same position.
DataStream::DataStream(const DataStream &other)
    : m_version(Access::upToDate(other).m_version),
      m_containerReserveLimit(other.m_containerReserveLimit),
      m_device(other.m_device),
      m_byteOrder(other.m_byteOrder),
      m_valid(other.m_valid),
      m_availableTimeZoneIds(other.m_availableTimeZoneIds),
      m_creationTimeUtc(other.m_creationTimeUtc),
      m_buffer(other.m_buffer)
{
}

DataStream::~DataStream() = default;

QIODevice *DataStream::device() const
{
    // Whoever takes the device may use it directly: bring it up to date.
    const_cast<DataStream *>(this)->leaveFastPath();
    return m_device;
}

bool DataStream::isValid() const
{
    return m_device && m_valid;
}

void DataStream::setValid(bool valid)
{
    m_valid = valid;
}

void DataStream::resetStatus()
{
    leaveFastPath();
    if (m_device)
        m_device->reset();
    m_valid = true;
}

bool DataStream::atEnd() const
{
    if (m_readCursor)
        return m_readCursor == m_readEnd;
    return m_device && m_device->atEnd();
}

DataStream::Version DataStream::version()
{
    return m_version;
}

void DataStream::setVersion(Version version)
{
    m_version = version;
}

int DataStream::containerReserveLimit() const
{
    return m_containerReserveLimit;
}

void DataStream::setContainerReserveLimit(int limit)
{
    if (limit <= 0)
        zetoFatal(lcZetoStream, "Container reserve limit must be a positive integer.");
    m_containerReserveLimit = limit;
}

qint64 DataStream::readData(char *data, qint64 len)
{
    if (!m_valid)
        return -1;
    if (!m_device || !data || len < 0)
        return -1;
    if (len == 0)
        return 0;
    return readBytes(data, len) ? len : -1;
}

qint64 DataStream::writeData(const char *data, qint64 len)
{
    if (!m_valid)
        return -1;
    if (!m_device || !data || len < 0)
        return -1;
    if (len == 0)
        return 0;
    writeBytes(data, len);
    return m_valid ? len : -1;
}

qint64 DataStream::reserveFor(qint64 count, qint64 smallestElementSize) const
{
    return qMin(qMin(count, qint64(m_containerReserveLimit)), bytesAvailable() / smallestElementSize);
}

} // namespace Zeto
