#ifndef ZETO_DATASTREAM_P_H
#define ZETO_DATASTREAM_P_H

// Shared by the files that implement DataStream and by the library's
// messages, which define its hook and read their fields through it, by
// nothing else: the limits of the
// encodings, private access for their templates, and the raw access that
// every encoding calls per value, inline so that the split into files costs
// no calls.

#include "DataStream.h"
#include "RecentByteArrays.h"

#include <QtCore/QBuffer>
#include <QtCore/QVarLengthArray>
#include <QtCore/QtEndian>

#include <cstring>
#include <limits>

namespace Zeto {

namespace StreamDetail {

constexpr quint64 EmptyStdStringLength = std::numeric_limits<quint64>::max();

// The smallest encoded forms, which bound how much a reader may reserve for
// a peer-given count: a QVariant record, a map entry (key length + record),
// and a length-prefixed string or byte array.
constexpr qint64 MinVariantRecordSize = 6;
constexpr qint64 MinMapEntrySize = 8 + MinVariantRecordSize;
constexpr qint64 MinLengthPrefixedSize = 8;

// What a Qt 5 container can hold; longer peer-given lengths fail the stream.
constexpr qint64 MaxByteArraySize = std::numeric_limits<int>::max() - 32;
constexpr qint64 MaxStringSize = MaxByteArraySize / 2;
constexpr qint64 MaxContainerCount = std::numeric_limits<int>::max();

template <typename T>
T fromBigEndianBytes(const char *bytes)
{
    return qFromBigEndian<T>(bytes);
}

template <>
inline bool fromBigEndianBytes<bool>(const char *bytes)
{
    return bytes[0] != 0;
}

// The ids whose values the stream encodes itself.
bool isNativeTypeId(int typeId);

// Makes the library's own value and message types streamable, once.
void registerStandardStreamHelpers();

// Registers the library's message types, so that a stream reads a message
// before one of its type was built on this side. Defined beside the messages:
// the stream names none of them.
void registerLibraryMessageTypes();

} // namespace StreamDetail

// Private access for the templates and helpers of the stream's files.
class DataStreamAccess
{
public:
    static const DataStream &upToDate(const DataStream &stream)
    {
        const_cast<DataStream &>(stream).leaveFastPath();
        return stream;
    }

    template <typename T>
    static void writeNumber(DataStream &stream, T value)
    {
        if (char *space = stream.gatherSpace(sizeof(T))) {
            qToBigEndian<T>(value, space);
            return;
        }
        char bytes[sizeof(T)];
        qToBigEndian<T>(value, bytes);
        stream.writeBytes(bytes, sizeof(T));
    }

    // Leaves the destination alone unless the whole value was read.
    template <typename T>
    static bool readNumber(DataStream &stream, T &value)
    {
        if (stream.m_readCursor && stream.m_valid && stream.m_readEnd - stream.m_readCursor >= qint64(sizeof(T))) {
            value = StreamDetail::fromBigEndianBytes<T>(stream.m_readCursor);
            stream.m_readCursor += sizeof(T);
            return true;
        }
        if (!stream.canRead())
            return false;
        char bytes[sizeof(T)];
        if (!stream.readBytes(bytes, sizeof(T)))
            return false;
        value = StreamDetail::fromBigEndianBytes<T>(bytes);
        return true;
    }

    // Reads as operator>>(QByteArray &) does; a short array wholly in memory
    // comes from, and is remembered in, the recent ones.
    static void readRepeatable(DataStream &stream, QByteArray &value, RecentByteArrays &recent)
    {
        const char *const cursor = stream.m_readCursor;
        constexpr qint64 LengthSize = sizeof(qint64);
        if (cursor && stream.m_valid && stream.m_readEnd - cursor >= LengthSize) {
            const auto length = StreamDetail::fromBigEndianBytes<qint64>(cursor);
            if (length > 0 && length <= RecentByteArrays::MaxSize && stream.m_readEnd - cursor - LengthSize >= length) {
                value = recent.shared(cursor + LengthSize, int(length));
                stream.m_readCursor = cursor + LengthSize + length;
                return;
            }
        }
        stream >> value;
    }

    template <typename T>
    static void readNumberOrZero(DataStream &stream, T &value)
    {
        if (!readNumber(stream, value))
            value = T(0);
    }

    template <int UnitSize>
    static void writeCodeUnits(DataStream &stream, const void *units, qint64 count)
    {
        if (!stream.canWrite() || count == 0)
            return;
        if constexpr (UnitSize == 1) {
            stream.writeBytes(static_cast<const char *>(units), count);
            return;
        }
        if (char *space = stream.gatherSpace(count * UnitSize)) {
            qbswapUnits<UnitSize>(units, count, space);
            return;
        }
        QByteArray bigEndian(int(count * UnitSize), Qt::Uninitialized);
        qbswapUnits<UnitSize>(units, count, bigEndian.data());
        stream.writeBytes(bigEndian.constData(), bigEndian.size());
    }

    // Reads count code units straight into place, then fixes their order.
    template <int UnitSize>
    static bool readCodeUnits(DataStream &stream, void *units, qint64 count)
    {
        if (!stream.readBytes(static_cast<char *>(units), count * UnitSize))
            return false;
        qbswapUnits<UnitSize>(units, count, units);
        return true;
    }

    // The standard strings cannot tell null from empty: both are written
    // with the all-ones length, and both lengths read back as empty.
    template <typename String>
    static void writeStdString(DataStream &stream, const String &value)
    {
        if (!stream.canWrite())
            return;
        stream << (value.empty() ? StreamDetail::EmptyStdStringLength : quint64(value.size()));
        writeCodeUnits<sizeof(typename String::value_type)>(stream, value.data(), qint64(value.size()));
    }

    template <typename String>
    static void readStdString(DataStream &stream, String &value)
    {
        constexpr int UnitSize = sizeof(typename String::value_type);
        value.clear();
        quint64 length = 0;
        if (!readNumber(stream, length) || length == 0 || length == StreamDetail::EmptyStdStringLength)
            return;
        if (!lengthFits(stream, length, UnitSize, std::numeric_limits<qint64>::max()))
            return;
        value.resize(size_t(length));
        if (!readCodeUnits<UnitSize>(stream, &value[0], qint64(length)))
            value.clear();
    }

    static bool lengthFits(DataStream &stream, quint64 count, quint64 unitSize, qint64 maxCount)
    {
        const quint64 available = quint64(stream.bytesAvailable());
        if (count > available / unitSize || count > quint64(maxCount)) {
            stream.m_valid = false;
            return false;
        }
        return true;
    }

    template <typename List>
    static void writeList(DataStream &stream, const List &list)
    {
        if (!stream.canWrite()) {
            stream.m_valid = false;
            return;
        }
        DataStream::BufferSession session(stream, DataStream::BufferSession::Writing);
        writeNumber(stream, qint64(list.size()));
        for (const auto &element : list) {
            if (!stream.m_valid)
                return;
            stream << element;
        }
    }

    // False for an empty container too: nothing is left to read.
    static bool readContainerCount(DataStream &stream, qint64 &count, quint64 minimumBytesPerElement)
    {
        return readNumber(stream, count) && count != 0
            && lengthFits(stream, quint64(count), minimumBytesPerElement, StreamDetail::MaxContainerCount);
    }

    template <typename List>
    static void readList(DataStream &stream, List &list, qint64 smallestElementSize)
    {
        list.clear();
        if (!stream.canRead()) {
            stream.m_valid = false;
            return;
        }
        DataStream::BufferSession session(stream, DataStream::BufferSession::Reading);
        qint64 count = 0;
        if (!readContainerCount(stream, count, 1))
            return;
        list.reserve(int(stream.reserveFor(count, smallestElementSize)));
        for (qint64 i = 0; i < count; ++i) {
            list.append(typename List::value_type());
            stream >> list.last();
            if (!stream.m_valid) {
                list.clear();
                return;
            }
        }
    }

    // A run of entries under one key is written last entry first, so that
    // inserting them one by one on reading restores the run's order.
    template <typename Map>
    static void writeEntries(DataStream &stream, const Map &map)
    {
        if (!stream.canWrite()) {
            stream.m_valid = false;
            return;
        }
        DataStream::BufferSession session(stream, DataStream::BufferSession::Writing);
        writeNumber(stream, qint64(map.size()));
        QVarLengthArray<typename Map::const_iterator, 8> run;
        for (auto entry = map.cbegin(); entry != map.cend() && stream.m_valid;) {
            run.clear();
            const QString &key = entry.key();
            do {
                run.append(entry++);
            } while (entry != map.cend() && entry.key() == key);
            for (int i = run.size() - 1; i >= 0 && stream.m_valid; --i)
                stream << run[i].key() << run[i].value();
        }
    }

    template <typename Map>
    static void readEntries(DataStream &stream, Map &map)
    {
        map.clear();
        if (!stream.canRead()) {
            stream.m_valid = false;
            return;
        }
        DataStream::BufferSession session(stream, DataStream::BufferSession::Reading);
        qint64 count = 0;
        if (!readContainerCount(stream, count, 2))
            return;
        reserveEntries(map, int(stream.reserveFor(count, StreamDetail::MinMapEntrySize)));
        QString key;
        QVariant value;
        for (qint64 i = 0; i < count; ++i) {
            stream >> key;
            if (stream.m_valid)
                stream >> value;
            if (!stream.m_valid) {
                map.clear();
                return;
            }
            insertEntry(map, key, value);
        }
    }

private:
    template <int UnitSize>
    static void qbswapUnits(const void *source, qint64 count, void *dest)
    {
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
        if (source != dest)
            std::memcpy(dest, source, size_t(count) * UnitSize);
#else
        qbswap<UnitSize>(source, count, dest);
#endif
    }

    static void reserveEntries(QVariantMap &, int) {}
    static void reserveEntries(QVariantHash &hash, int count) { hash.reserve(qMax(1, count)); }

    // A map arrives in key order, so the end is the hint that saves the
    // search; the map ignores it for a key that is not the largest yet.
    static void insertEntry(QVariantMap &map, const QString &key, const QVariant &value)
    {
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        map.insertMulti(map.cend(), key, value);
        QT_WARNING_POP
    }

    static void insertEntry(QVariantHash &hash, const QString &key, const QVariant &value)
    {
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        hash.insertMulti(key, value);
        QT_WARNING_POP
    }
};

using Access = DataStreamAccess;

inline bool DataStream::canRead() const
{
    return m_valid && m_device;
}

inline bool DataStream::canWrite() const
{
    return m_valid && m_device;
}

inline qint64 DataStream::bytesAvailable() const
{
    if (m_readCursor)
        return m_readEnd - m_readCursor;
    return m_device->bytesAvailable();
}

inline bool DataStream::readBytes(char *data, qint64 len)
{
    if (bytesAvailable() < len) {
        m_valid = false;
        return false;
    }
    if (m_readCursor) {
        std::memcpy(data, m_readCursor, size_t(len));
        m_readCursor += len;
        return true;
    }
    if (m_device->read(data, len) != len) {
        m_valid = false;
        return false;
    }
    return true;
}

inline void DataStream::writeBytes(const char *data, qint64 len)
{
    if (!canWrite())
        return;
    if (m_gatheringWrites && gather(data, len))
        return;
    if (m_device->write(data, len) != len)
        m_valid = false;
}

inline char *DataStream::gatherSpace(qint64 len)
{
    if (!m_gatheringWrites || !m_valid)
        return nullptr;
    const qint64 needed = m_gatheredSize + len;
    if (needed > m_gatheredWrites.size() && !growGatheredWrites(needed))
        return nullptr;
    char *space = m_gatherStorage + m_gatheredSize;
    m_gatheredSize = needed;
    return space;
}

} // namespace Zeto

#endif // ZETO_DATASTREAM_P_H
