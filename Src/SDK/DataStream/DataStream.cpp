#include "DataStream.h"
#include "StreamHelper.h"

#include "../Messenger/Message.h"
#include "../Messenger/Messages/MessengerFinishedRequest.h"
#include "../Messenger/Messages/MessengerFinishedResponse.h"
#include "../QObjectCommunication/Messages/CallSlotRequest.h"
#include "../QObjectCommunication/Messages/CallSlotResponse.h"
#include "../QObjectCommunication/Messages/ConnectedSignalEmittedEvent.h"
#include "../QObjectCommunication/Messages/ConnectionRequest.h"
#include "../QObjectCommunication/Messages/ConnectionResponse.h"
#include "../QObjectCommunication/Messages/CreateEndpointRequest.h"
#include "../QObjectCommunication/Messages/CreateEndpointResponse.h"
#include "../QObjectCommunication/Messages/DisconnectionRequest.h"
#include "../QObjectCommunication/Messages/DisconnectionResponse.h"
#include "../QObjectCommunication/Messages/InstantiateQObjectRequest.h"
#include "../QObjectCommunication/Messages/InstantiateQObjectResponse.h"
#include "../QObjectCommunication/Messages/InstantiatedQObjectDestroyedEvent.h"

#include <QtCore/QBitArray>
#include <QtCore/QBuffer>
#include <QtCore/QLocale>
#include <QtCore/QMutex>
#include <QtCore/QReadLocker>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimeZone>
#include <QtCore/QUrl>
#include <QtCore/QUuid>
#include <QtCore/QVarLengthArray>
#include <QtCore/QtEndian>
#include <QtCore/QCborValue>

#include <cmath>
#include <cstring>
#include <limits>

namespace Zeto {

namespace {

constexpr int DefaultContainerReserveLimit = 4096;
constexpr quint32 CustomTypeId = 0xFFFFFFFFu;
constexpr int FirstCustomTypeId = QMetaType::User;
constexpr quint64 EmptyStdStringLength = std::numeric_limits<quint64>::max();
constexpr quint32 NullTimeMsecs = 0xFFFFFFFFu;
constexpr quint32 MsecsPerDay = 86400000u;

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

// Type names from a peer are looked up in the meta type system, which
// normalises them recursively; an absurdly long name is simply unknown.
constexpr int MaxTypeNameLength = 1024;

const char *const SaveFailedWarning =
    "DataStream: QVariant stream failed. Failed to save type %s with meta type id %d.";
const char *const LoadFailedWarning =
    "DataStream: QVariant stream failed. Failed to load type %s with meta type id %d.";
const char *const UnknownTypeWarning =
    "DataStream: QVariant stream failed. Failed to load type %s. Type is not known/registered at both sides.";
const char *const MissingHelperWarning =
    "Custom type with name %s has not been registered. Call Zeto::registerType to register custom types.";

void registerStandardStreamHelpers()
{
    static QMutex mutex;
    static bool pending = true;
    QMutexLocker locker(&mutex);
    if (!pending)
        return;
    pending = false;
    registerType<qfloat16>();
    registerType<QByteArrayList>();
    registerType<QStringList>();
    registerType<QVariantList>();
    registerType<QVariantMap>();
    registerType<QVariantHash>();
    registerType<Message>();
    registerType<MessengerFinishedRequest>();
    registerType<MessengerFinishedResponse>();
    registerType<CallSlotRequest>();
    registerType<CallSlotResponse>();
    registerType<ConnectedSignalEmittedEvent>();
    registerType<ConnectionRequest>();
    registerType<ConnectionResponse>();
    registerType<CreateEndpointRequest>();
    registerType<CreateEndpointResponse>();
    registerType<DisconnectionRequest>();
    registerType<DisconnectionResponse>();
    registerType<InstantiatedQObjectDestroyedEvent>();
    registerType<InstantiateQObjectRequest>();
    registerType<InstantiateQObjectResponse>();
}

// Names, ids and stream helpers never change once registered, so each
// thread remembers what it has looked up and later skips the locks that the
// meta type system and the registry take. Misses are not remembered: the
// type may be registered later.
class KnownTypes
{
public:
    static KnownTypes &ofThisThread()
    {
        thread_local KnownTypes knownTypes;
        return knownTypes;
    }

    IZetoStreamHelper *streamHelper(int typeId)
    {
        const auto known = m_helpers.constFind(typeId);
        if (known != m_helpers.cend())
            return *known;
        QReadLocker locker(&IZetoStreamHelper::mainReadWriteLock());
        IZetoStreamHelper *helper = IZetoStreamHelper::registeredStreamHelpers().value(typeId).data();
        if (helper)
            m_helpers.insert(typeId, helper);
        return helper;
    }

    QByteArray typeName(int typeId)
    {
        const auto known = m_names.constFind(typeId);
        if (known != m_names.cend())
            return *known;
        const QByteArray name = QMetaType::typeName(typeId);
        if (!name.isNull())
            m_names.insert(typeId, name);
        return name;
    }

    int typeId(const QByteArray &name)
    {
        const auto known = m_typeIds.constFind(name);
        if (known != m_typeIds.cend())
            return *known;
        const int typeId = QMetaType::type(name);
        if (typeId > 0)
            m_typeIds.insert(name, typeId);
        return typeId;
    }

private:
    QHash<int, IZetoStreamHelper *> m_helpers;
    QHash<int, QByteArray> m_names;
    QHash<QByteArray, int> m_typeIds;
};

bool saveValue(DataStream &stream, int typeId, const void *data);
bool loadValue(DataStream &stream, int typeId, void *data);

// The ids whose values the stream encodes itself.
bool isNativeTypeId(int typeId)
{
    switch (typeId) {
    case QMetaType::Bool: case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong:
    case QMetaType::ULongLong: case QMetaType::Double: case QMetaType::QChar: case QMetaType::QVariantMap:
    case QMetaType::QVariantList: case QMetaType::QString: case QMetaType::QStringList:
    case QMetaType::QByteArray: case QMetaType::QBitArray: case QMetaType::QDate: case QMetaType::QTime:
    case QMetaType::QDateTime: case QMetaType::QUrl: case QMetaType::QLocale: case QMetaType::QVariantHash:
    case QMetaType::QUuid: case QMetaType::Long: case QMetaType::Short: case QMetaType::Char:
    case QMetaType::ULong: case QMetaType::UShort: case QMetaType::UChar: case QMetaType::Float:
    case QMetaType::SChar: case QMetaType::QVariant: case QMetaType::QRegularExpression:
    case QMetaType::QByteArrayList: case QMetaType::Nullptr: case QMetaType::QCborSimpleType:
        return true;
    default:
        return false;
    }
}

QByteArray normalizedTypeName(const QByteArray &typeName)
{
    return QMetaObject::normalizedType(typeName.constData()).simplified();
}

bool isPointerTypeName(const QByteArray &normalized)
{
    return normalized.endsWith('*') || normalized.endsWith("*&");
}

template <typename T>
T fromBigEndianBytes(const char *bytes)
{
    return qFromBigEndian<T>(bytes);
}

template <>
bool fromBigEndianBytes<bool>(const char *bytes)
{
    return bytes[0] != 0;
}

} // namespace

// Private access for the templates and helpers of this file.
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
            value = fromBigEndianBytes<T>(stream.m_readCursor);
            stream.m_readCursor += sizeof(T);
            return true;
        }
        if (!stream.canRead())
            return false;
        char bytes[sizeof(T)];
        if (!stream.readBytes(bytes, sizeof(T)))
            return false;
        value = fromBigEndianBytes<T>(bytes);
        return true;
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
        stream << (value.empty() ? EmptyStdStringLength : quint64(value.size()));
        writeCodeUnits<sizeof(typename String::value_type)>(stream, value.data(), qint64(value.size()));
    }

    template <typename String>
    static void readStdString(DataStream &stream, String &value)
    {
        constexpr int UnitSize = sizeof(typename String::value_type);
        value.clear();
        quint64 length = 0;
        if (!readNumber(stream, length) || length == 0 || length == EmptyStdStringLength)
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
        if (!readNumber(stream, count) || count == 0)
            return;
        if (!lengthFits(stream, quint64(count), 1, MaxContainerCount))
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
        if (!readNumber(stream, count) || count == 0)
            return;
        if (!lengthFits(stream, quint64(count), 2, MaxContainerCount))
            return;
        reserveEntries(map, int(stream.reserveFor(count, MinMapEntrySize)));
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

// ---------------------------------------------------------------------------
// Construction, status and raw access

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
    registerStandardStreamHelpers();
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
        qFatal("Container reserve limit must be a positive integer.");
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

bool DataStream::canRead() const
{
    return m_valid && m_device;
}

bool DataStream::canWrite() const
{
    return m_valid && m_device;
}

qint64 DataStream::bytesAvailable() const
{
    if (m_readCursor)
        return m_readEnd - m_readCursor;
    return m_device->bytesAvailable();
}

bool DataStream::readBytes(char *data, qint64 len)
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

void DataStream::writeBytes(const char *data, qint64 len)
{
    if (!canWrite())
        return;
    if (m_gatheringWrites && gather(data, len))
        return;
    if (m_device->write(data, len) != len)
        m_valid = false;
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

char *DataStream::gatherSpace(qint64 len)
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

bool DataStream::growGatheredWrites(qint64 needed)
{
    constexpr qint64 MaxGathered = 64 * 1024 * 1024;
    if (needed > MaxGathered)
        return false;
    m_gatheredWrites.resize(int(qMax(needed, qMin(2 * qint64(m_gatheredWrites.size()), MaxGathered))));
    m_gatherStorage = m_gatheredWrites.data();
    return true;
}

qint64 DataStream::reserveFor(qint64 count, qint64 smallestElementSize) const
{
    return qMin(qMin(count, qint64(m_containerReserveLimit)), bytesAvailable() / smallestElementSize);
}

// ---------------------------------------------------------------------------
// Buffer sessions: the fast path over a QBuffer

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

// ---------------------------------------------------------------------------
// Fundamental types

DataStream &DataStream::operator<<(bool value) { return *this << quint8(value ? 1 : 0); }
DataStream &DataStream::operator<<(char value) { return *this << quint8(value); }
DataStream &DataStream::operator<<(signed char value) { return *this << quint8(value); }
DataStream &DataStream::operator<<(unsigned char value) { Access::writeNumber(*this, value); return *this; }
DataStream &DataStream::operator<<(short value) { return *this << quint16(value); }
DataStream &DataStream::operator<<(unsigned short value) { Access::writeNumber(*this, value); return *this; }
DataStream &DataStream::operator<<(int value) { return *this << quint32(value); }
DataStream &DataStream::operator<<(unsigned int value) { Access::writeNumber(*this, value); return *this; }
DataStream &DataStream::operator<<(qint64 value) { return *this << quint64(value); }
DataStream &DataStream::operator<<(quint64 value) { Access::writeNumber(*this, value); return *this; }
DataStream &DataStream::operator<<(char16_t value) { return *this << quint16(value); }
DataStream &DataStream::operator<<(char32_t value) { return *this << quint32(value); }
DataStream &DataStream::operator<<(float value) { return *this << double(value); }
DataStream &DataStream::operator<<(qfloat16 value) { return *this << double(float(value)); }
DataStream &DataStream::operator<<(std::nullptr_t) { return *this; }

DataStream &DataStream::operator<<(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return *this << bits;
}

DataStream &DataStream::operator>>(bool &value)
{
    quint8 byte;
    if (Access::readNumber(*this, byte))
        value = byte != 0;
    return *this;
}

DataStream &DataStream::operator>>(char &value)
{
    quint8 byte = 0;
    Access::readNumberOrZero(*this, byte);
    value = char(byte);
    return *this;
}

DataStream &DataStream::operator>>(signed char &value)
{
    quint8 byte = 0;
    Access::readNumberOrZero(*this, byte);
    value = static_cast<signed char>(byte);
    return *this;
}

DataStream &DataStream::operator>>(unsigned char &value) { Access::readNumberOrZero(*this, value); return *this; }
DataStream &DataStream::operator>>(short &value) { Access::readNumberOrZero(*this, value); return *this; }
DataStream &DataStream::operator>>(unsigned short &value) { Access::readNumberOrZero(*this, value); return *this; }
DataStream &DataStream::operator>>(int &value) { Access::readNumberOrZero(*this, value); return *this; }
DataStream &DataStream::operator>>(unsigned int &value) { Access::readNumberOrZero(*this, value); return *this; }
DataStream &DataStream::operator>>(qint64 &value) { Access::readNumberOrZero(*this, value); return *this; }
DataStream &DataStream::operator>>(quint64 &value) { Access::readNumberOrZero(*this, value); return *this; }

DataStream &DataStream::operator>>(char16_t &value)
{
    quint16 unit;
    if (Access::readNumber(*this, unit))
        value = char16_t(unit);
    return *this;
}

DataStream &DataStream::operator>>(char32_t &value)
{
    quint32 unit;
    if (Access::readNumber(*this, unit))
        value = char32_t(unit);
    return *this;
}

// Doubles that are not finite fail the stream; values too small to change
// 1.0 are read as zero.
bool DataStream::readDouble(double &value)
{
    quint64 bits;
    if (!Access::readNumber(*this, bits))
        return false;
    double read;
    std::memcpy(&read, &bits, sizeof read);
    if (!std::isfinite(read)) {
        m_valid = false;
        return false;
    }
    if (read != 0.0 && read + 1.0 == 1.0)
        read = 0.0;
    value = read;
    return true;
}

DataStream &DataStream::operator>>(double &value)
{
    if (!readDouble(value))
        value = 0.0;
    return *this;
}

DataStream &DataStream::operator>>(float &value)
{
    double read;
    if (readDouble(read))
        value = float(read);
    return *this;
}

DataStream &DataStream::operator>>(qfloat16 &value)
{
    double read;
    if (readDouble(read))
        value = qfloat16(float(read));
    return *this;
}

DataStream &DataStream::operator>>(std::nullptr_t &value)
{
    value = nullptr;
    return *this;
}

// ---------------------------------------------------------------------------
// Byte arrays and strings

DataStream &DataStream::operator<<(const QByteArray &value)
{
    if (!canWrite())
        return *this;
    *this << qint64(value.isNull() ? -1 : value.size());
    if (!value.isEmpty())
        writeBytes(value.constData(), value.size());
    return *this;
}

// The destination is resized only once it is known what it will hold, so
// that reading into a reused array or string allocates at most once.
DataStream &DataStream::operator>>(QByteArray &value)
{
    qint64 length = 0;
    if (!Access::readNumber(*this, length) || length == 0) {
        value.resize(0);
        return *this;
    }
    if (length == -1) {
        value = QByteArray();
        return *this;
    }
    if (!Access::lengthFits(*this, quint64(length), 1, MaxByteArraySize)) {
        value.resize(0);
        return *this;
    }
    value.resize(int(length));
    if (!readBytes(value.data(), length))
        value.resize(0);
    return *this;
}

DataStream &DataStream::operator<<(const QString &value)
{
    if (!canWrite())
        return *this;
    *this << qint64(value.isNull() ? -1 : value.size());
    Access::writeCodeUnits<2>(*this, value.utf16(), value.size());
    return *this;
}

DataStream &DataStream::operator>>(QString &value)
{
    qint64 length = 0;
    if (!Access::readNumber(*this, length) || length == 0) {
        value = QString(QLatin1String(""));
        return *this;
    }
    if (length == -1) {
        value = QString();
        return *this;
    }
    if (!Access::lengthFits(*this, quint64(length), 2, MaxStringSize)) {
        value = QString(QLatin1String(""));
        return *this;
    }
    value.resize(int(length));
    if (!Access::readCodeUnits<2>(*this, value.data(), length))
        value = QString(QLatin1String(""));
    return *this;
}

DataStream &DataStream::operator<<(QChar value)
{
    return *this << value.unicode();
}

DataStream &DataStream::operator>>(QChar &value)
{
    quint16 unit;
    if (Access::readNumber(*this, unit))
        value = QChar(unit);
    return *this;
}

DataStream &DataStream::operator<<(const QStringList &value)
{
    if (!canWrite())
        return *this;
    Access::writeList(*this, value);
    return *this;
}

DataStream &DataStream::operator>>(QStringList &value)
{
    value.clear();
    if (!canRead())
        return *this;
    Access::readList(*this, value, MinLengthPrefixedSize);
    return *this;
}

DataStream &DataStream::operator<<(const QBitArray &value)
{
    if (!canWrite())
        return *this;
    const qint64 bitCount = value.isNull() ? -1 : value.size();
    *this << bitCount;
    if (bitCount > 0)
        *this << QByteArray::fromRawData(value.bits(), int((bitCount + 7) / 8));
    return *this;
}

// The byte array must hold exactly the bytes that the bit count needs.
DataStream &DataStream::operator>>(QBitArray &value)
{
    value = QBitArray();
    qint64 bitCount = 0;
    if (!Access::readNumber(*this, bitCount))
        return *this;
    if (bitCount == 0) {
        value = QBitArray(0);
        return *this;
    }
    if (bitCount == -1)
        return *this;
    if (bitCount < 0 || bitCount > std::numeric_limits<int>::max()) {
        m_valid = false;
        return *this;
    }
    QByteArray bytes;
    *this >> bytes;
    if (!m_valid)
        return *this;
    if (bytes.size() != (bitCount + 7) / 8) {
        m_valid = false;
        return *this;
    }
    value = QBitArray::fromBits(bytes.constData(), qsizetype(bitCount));
    return *this;
}

DataStream &DataStream::operator<<(const std::string &value)
{
    Access::writeStdString(*this, value);
    return *this;
}

DataStream &DataStream::operator>>(std::string &value)
{
    Access::readStdString(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const std::u16string &value)
{
    Access::writeStdString(*this, value);
    return *this;
}

DataStream &DataStream::operator>>(std::u16string &value)
{
    Access::readStdString(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const std::u32string &value)
{
    Access::writeStdString(*this, value);
    return *this;
}

DataStream &DataStream::operator>>(std::u32string &value)
{
    Access::readStdString(*this, value);
    return *this;
}

// ---------------------------------------------------------------------------
// Dates, times and zones

DataStream &DataStream::operator<<(const QDate &value)
{
    return *this << qint64(value.isValid() ? value.toJulianDay() : 0);
}

DataStream &DataStream::operator>>(QDate &value)
{
    value = QDate();
    qint64 julianDay = 0;
    if (Access::readNumber(*this, julianDay) && julianDay != 0)
        value = QDate::fromJulianDay(julianDay);
    if (!value.isValid())
        value = QDate();
    return *this;
}

DataStream &DataStream::operator<<(const QTime &value)
{
    return *this << quint32(value.isValid() ? quint32(value.msecsSinceStartOfDay()) : NullTimeMsecs);
}

DataStream &DataStream::operator>>(QTime &value)
{
    value = QTime();
    quint32 msecs = NullTimeMsecs;
    if (Access::readNumber(*this, msecs) && msecs < MsecsPerDay)
        value = QTime::fromMSecsSinceStartOfDay(int(msecs));
    return *this;
}

DataStream &DataStream::operator<<(const QDateTime &value)
{
    *this << value.date() << value.time() << quint8(value.timeSpec());
    if (value.timeSpec() == Qt::OffsetFromUTC)
        *this << qint32(value.offsetFromUtc());
    else if (value.timeSpec() == Qt::TimeZone)
        *this << value.timeZone();
    return *this;
}

DataStream &DataStream::operator>>(QDateTime &value)
{
    QDate date;
    QTime time;
    quint8 spec = 0;
    *this >> date >> time;
    if (!Access::readNumber(*this, spec)) {
        value = QDateTime();
        return *this;
    }
    switch (spec) {
    case Qt::LocalTime:
    case Qt::UTC:
        value = QDateTime(date, time, Qt::TimeSpec(spec));
        break;
    case Qt::OffsetFromUTC: {
        qint32 offset = 0;
        Access::readNumber(*this, offset);
        value = QDateTime(date, time);
        value.setOffsetFromUtc(offset);
        break;
    }
    case Qt::TimeZone: {
        QTimeZone zone;
        *this >> zone;
        value = m_valid ? QDateTime(date, time, zone) : QDateTime();
        break;
    }
    default:
        break;
    }
    if (!m_valid || !value.isValid())
        value = QDateTime();
    return *this;
}

DataStream &DataStream::operator<<(const QTimeZone &value)
{
    if (!canWrite())
        return *this;
    if (!value.isValid() || value.id().isEmpty())
        return *this << QByteArray();
    *this << value.id();
    const bool isCustom = !m_availableTimeZoneIds.contains(value.id());
    *this << isCustom;
    if (!isCustom)
        return *this;
    *this << qint32(value.offsetFromUtc(m_creationTimeUtc))
          << value.displayName(QTimeZone::StandardTime, QTimeZone::LongName, QLocale())
          << value.abbreviation(m_creationTimeUtc)
          << value.comment()
          << quint16(value.country());
    return *this;
}

DataStream &DataStream::operator>>(QTimeZone &value)
{
    if (!readTimeZone(value) || !value.isValid())
        value = QTimeZone();
    return *this;
}

bool DataStream::readTimeZone(QTimeZone &zone)
{
    QByteArray id;
    *this >> id;
    if (!m_valid || id.isNull())
        return false;
    bool isCustom = false;
    if (!Access::readNumber(*this, isCustom))
        return false;
    const bool isKnown = m_availableTimeZoneIds.contains(id);
    if (!isCustom) {
        zone = isKnown ? QTimeZone(id) : QTimeZone();
        return true;
    }
    qint32 offset = 0;
    QString displayName, abbreviation, comment;
    quint16 country = 0;
    *this >> offset >> displayName >> abbreviation >> comment;
    if (!Access::readNumber(*this, country))
        return false;
    if (isKnown)
        zone = QTimeZone(id);
    else if (country <= QLocale::LastCountry)
        zone = QTimeZone(id, offset, displayName, abbreviation, QLocale::Country(country), comment);
    else
        zone = QTimeZone();
    return true;
}

// ---------------------------------------------------------------------------
// Locales, regular expressions, URLs and uuids

DataStream &DataStream::operator<<(const QLocale &value)
{
    return *this << quint16(value.language()) << quint16(value.script()) << quint16(value.country());
}

// Ids beyond Qt's own tables crash the locale constructor, so they fail.
DataStream &DataStream::operator>>(QLocale &value)
{
    value = QLocale();
    quint16 language = 0, script = 0, country = 0;
    if (!Access::readNumber(*this, language) || !Access::readNumber(*this, script)
        || !Access::readNumber(*this, country))
        return *this;
    if (language > QLocale::LastLanguage || script > QLocale::LastScript || country > QLocale::LastCountry) {
        m_valid = false;
        return *this;
    }
    value = QLocale(QLocale::Language(language), QLocale::Script(script), QLocale::Country(country));
    return *this;
}

DataStream &DataStream::operator<<(const QRegularExpression &value)
{
    return *this << value.pattern() << quint32(value.patternOptions());
}

DataStream &DataStream::operator>>(QRegularExpression &value)
{
    value = QRegularExpression();
    QString pattern;
    quint32 options = 0;
    *this >> pattern;
    if (Access::readNumber(*this, options))
        value = QRegularExpression(pattern, QRegularExpression::PatternOptions(int(options)));
    return *this;
}

DataStream &DataStream::operator<<(const QUrl &value)
{
    return *this << value.toEncoded(QUrl::FullyEncoded);
}

DataStream &DataStream::operator>>(QUrl &value)
{
    QByteArray encoded;
    *this >> encoded;
    value = m_valid ? QUrl::fromEncoded(encoded, QUrl::StrictMode) : QUrl();
    return *this;
}

DataStream &DataStream::operator<<(const QUuid &value)
{
    return *this << value.toByteArray();
}

DataStream &DataStream::operator>>(QUuid &value)
{
    QByteArray text;
    *this >> text;
    value = m_valid ? QUuid(text) : QUuid();
    return *this;
}

// ---------------------------------------------------------------------------
// QVariant records and containers

DataStream::VariantLevel::VariantLevel(DataStream &stream)
    : m_stream(stream), m_entered(stream.m_variantDepth < MaxVariantNesting)
{
    if (m_entered)
        ++m_stream.m_variantDepth;
    else
        m_stream.m_valid = false;
}

DataStream::VariantLevel::~VariantLevel()
{
    if (m_entered)
        --m_stream.m_variantDepth;
}

DataStream &DataStream::operator<<(const QVariant &value)
{
    if (!canWrite())
        return *this;
    BufferSession session(*this, BufferSession::Writing);
    VariantLevel level(*this);
    if (level.entered())
        writeVariantRecord(value);
    return *this;
}

void DataStream::writeVariantRecord(const QVariant &value)
{
    const int userType = value.userType();
    const quint32 typeId = userType < FirstCustomTypeId ? quint32(userType) : CustomTypeId;
    char header[6];
    qToBigEndian<quint32>(typeId, header);
    header[4] = value.isValid() ? 1 : 0;
    header[5] = value.isNull() ? 1 : 0;
    writeBytes(header, sizeof header);
    if (!m_valid || typeId == 0)
        return;
    if (typeId == CustomTypeId) {
        *this << KnownTypes::ofThisThread().typeName(userType);
        if (!m_valid)
            return;
    }
    if (!value.isValid() || value.isNull())
        return;
    if (!saveValue(*this, userType, value.constData())) {
        m_valid = false;
        qWarning(SaveFailedWarning, QMetaType::typeName(userType), userType);
    }
}

DataStream &DataStream::operator>>(QVariant &value)
{
    value = QVariant();
    if (!canRead())
        return *this;
    BufferSession session(*this, BufferSession::Reading);
    VariantLevel level(*this);
    if (level.entered())
        readVariantRecord(value);
    return *this;
}

void DataStream::readVariantRecord(QVariant &value)
{
    quint32 typeId = 0;
    bool isValid = false;
    bool isNull = false;
    if (!Access::readNumber(*this, typeId) || !Access::readNumber(*this, isValid)
        || !Access::readNumber(*this, isNull))
        return;
    QByteArray customName;
    const int localTypeId = readVariantTypeId(typeId, customName);
    if (!m_valid)
        return;
    // An unknown type gives the invalid QVariant, which counts as null.
    value = localTypeId == QMetaType::UnknownType ? QVariant() : QVariant(localTypeId, nullptr);
    if (isValid != value.isValid()) {
        qWarning(UnknownTypeWarning, wireTypeName(typeId, customName));
        m_valid = false;
        return;
    }
    if (!value.isValid() || isNull)
        return;
    if (!loadValue(*this, value.userType(), value.data()) || !m_valid) {
        m_valid = false;
        qWarning(LoadFailedWarning, wireTypeName(typeId, customName), value.userType());
    }
}

// Built-in types travel as numbers and custom types as names. A number from
// the custom range means nothing across processes, so it is unknown here.
int DataStream::readVariantTypeId(quint32 wireTypeId, QByteArray &customName)
{
    if (wireTypeId != CustomTypeId) {
        const int typeId = int(wireTypeId);
        if (wireTypeId >= quint32(FirstCustomTypeId) || (!isNativeTypeId(typeId) && !QMetaType::typeName(typeId)))
            return QMetaType::UnknownType;
        return typeId;
    }
    *this >> customName;
    if (!m_valid || customName.isEmpty() || customName.size() > MaxTypeNameLength)
        return QMetaType::UnknownType;
    return KnownTypes::ofThisThread().typeId(customName);
}

const char *DataStream::wireTypeName(quint32 wireTypeId, const QByteArray &customName)
{
    if (wireTypeId == CustomTypeId)
        return customName.constData();
    const char *name = wireTypeId < quint32(FirstCustomTypeId) ? QMetaType::typeName(int(wireTypeId)) : nullptr;
    return name ? name : "";
}

DataStream &DataStream::operator<<(const QVariantList &value)
{
    Access::writeList(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const QVector<QVariant> &value)
{
    Access::writeList(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const QByteArrayList &value)
{
    Access::writeList(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const QVariantMap &value)
{
    Access::writeEntries(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const QVariantHash &value)
{
    Access::writeEntries(*this, value);
    return *this;
}

DataStream &DataStream::operator>>(QVariantList &value)
{
    Access::readList(*this, value, MinVariantRecordSize);
    return *this;
}

DataStream &DataStream::operator>>(QVector<QVariant> &value)
{
    Access::readList(*this, value, MinVariantRecordSize);
    return *this;
}

DataStream &DataStream::operator>>(QByteArrayList &value)
{
    Access::readList(*this, value, MinLengthPrefixedSize);
    return *this;
}

DataStream &DataStream::operator>>(QVariantMap &value)
{
    Access::readEntries(*this, value);
    return *this;
}

DataStream &DataStream::operator>>(QVariantHash &value)
{
    Access::readEntries(*this, value);
    return *this;
}

// ---------------------------------------------------------------------------
// The value part of a QVariant record

namespace {

template <typename T>
void saveAs(DataStream &stream, const void *data)
{
    stream << *static_cast<const T *>(data);
}

template <typename T>
bool loadAs(DataStream &stream, void *data)
{
    stream >> *static_cast<T *>(data);
    return stream.isValid();
}

bool saveWithHelper(DataStream &stream, int typeId, const void *data)
{
    IZetoStreamHelper *helper = KnownTypes::ofThisThread().streamHelper(typeId);
    if (!helper) {
        qWarning(MissingHelperWarning, QMetaType::typeName(typeId));
        return false;
    }
    helper->save(stream, data);
    return true;
}

bool loadWithHelper(DataStream &stream, int typeId, void *data)
{
    IZetoStreamHelper *helper = KnownTypes::ofThisThread().streamHelper(typeId);
    if (!helper) {
        qWarning(MissingHelperWarning, QMetaType::typeName(typeId));
        return false;
    }
    helper->load(stream, data);
    return stream.isValid();
}

bool saveValue(DataStream &stream, int typeId, const void *data)
{
    switch (typeId) {
    case QMetaType::Bool: saveAs<bool>(stream, data); return true;
    case QMetaType::Int: saveAs<int>(stream, data); return true;
    case QMetaType::UInt: saveAs<uint>(stream, data); return true;
    case QMetaType::LongLong: saveAs<qint64>(stream, data); return true;
    case QMetaType::ULongLong: saveAs<quint64>(stream, data); return true;
    case QMetaType::Double: saveAs<double>(stream, data); return true;
    case QMetaType::QChar: saveAs<QChar>(stream, data); return true;
    case QMetaType::QVariantMap: saveAs<QVariantMap>(stream, data); return true;
    case QMetaType::QVariantList: saveAs<QVariantList>(stream, data); return true;
    case QMetaType::QString: saveAs<QString>(stream, data); return true;
    case QMetaType::QStringList: saveAs<QStringList>(stream, data); return true;
    case QMetaType::QByteArray: saveAs<QByteArray>(stream, data); return true;
    case QMetaType::QBitArray: saveAs<QBitArray>(stream, data); return true;
    case QMetaType::QDate: saveAs<QDate>(stream, data); return true;
    case QMetaType::QTime: saveAs<QTime>(stream, data); return true;
    case QMetaType::QDateTime: saveAs<QDateTime>(stream, data); return true;
    case QMetaType::QUrl: saveAs<QUrl>(stream, data); return true;
    case QMetaType::QLocale: saveAs<QLocale>(stream, data); return true;
    case QMetaType::QVariantHash: saveAs<QVariantHash>(stream, data); return true;
    case QMetaType::QUuid: saveAs<QUuid>(stream, data); return true;
    case QMetaType::Long: stream << qint64(*static_cast<const long *>(data)); return true;
    case QMetaType::ULong: stream << quint64(*static_cast<const ulong *>(data)); return true;
    case QMetaType::Short: saveAs<short>(stream, data); return true;
    case QMetaType::UShort: saveAs<ushort>(stream, data); return true;
    case QMetaType::Char: saveAs<char>(stream, data); return true;
    case QMetaType::UChar: saveAs<uchar>(stream, data); return true;
    case QMetaType::SChar: saveAs<signed char>(stream, data); return true;
    case QMetaType::Float: saveAs<float>(stream, data); return true;
    case QMetaType::QRegularExpression: saveAs<QRegularExpression>(stream, data); return true;
    case QMetaType::QByteArrayList: saveAs<QByteArrayList>(stream, data); return true;
    case QMetaType::Nullptr: return true;
    case QMetaType::QCborSimpleType: stream << quint8(*static_cast<const QCborSimpleType *>(data)); return true;
    case QMetaType::QVariant: stream.setValid(false); return false;
    default: return saveWithHelper(stream, typeId, data);
    }
}

bool loadValue(DataStream &stream, int typeId, void *data)
{
    switch (typeId) {
    case QMetaType::Bool: return loadAs<bool>(stream, data);
    case QMetaType::Int: return loadAs<int>(stream, data);
    case QMetaType::UInt: return loadAs<uint>(stream, data);
    case QMetaType::LongLong: return loadAs<qint64>(stream, data);
    case QMetaType::ULongLong: return loadAs<quint64>(stream, data);
    case QMetaType::Double: return loadAs<double>(stream, data);
    case QMetaType::QChar: return loadAs<QChar>(stream, data);
    case QMetaType::QVariantMap: return loadAs<QVariantMap>(stream, data);
    case QMetaType::QVariantList: return loadAs<QVariantList>(stream, data);
    case QMetaType::QString: return loadAs<QString>(stream, data);
    case QMetaType::QStringList: return loadAs<QStringList>(stream, data);
    case QMetaType::QByteArray: return loadAs<QByteArray>(stream, data);
    case QMetaType::QBitArray: return loadAs<QBitArray>(stream, data);
    case QMetaType::QDate: return loadAs<QDate>(stream, data);
    case QMetaType::QTime: return loadAs<QTime>(stream, data);
    case QMetaType::QDateTime: return loadAs<QDateTime>(stream, data);
    case QMetaType::QUrl: return loadAs<QUrl>(stream, data);
    case QMetaType::QLocale: return loadAs<QLocale>(stream, data);
    case QMetaType::QVariantHash: return loadAs<QVariantHash>(stream, data);
    case QMetaType::QUuid: return loadAs<QUuid>(stream, data);
    case QMetaType::Long: {
        qint64 wide = 0;
        stream >> wide;
        *static_cast<long *>(data) = long(wide);
        return stream.isValid();
    }
    case QMetaType::ULong: {
        quint64 wide = 0;
        stream >> wide;
        *static_cast<ulong *>(data) = ulong(wide);
        return stream.isValid();
    }
    case QMetaType::Short: return loadAs<short>(stream, data);
    case QMetaType::UShort: return loadAs<ushort>(stream, data);
    case QMetaType::Char: return loadAs<char>(stream, data);
    case QMetaType::UChar: return loadAs<uchar>(stream, data);
    case QMetaType::SChar: return loadAs<signed char>(stream, data);
    case QMetaType::Float: return loadAs<float>(stream, data);
    case QMetaType::QRegularExpression: return loadAs<QRegularExpression>(stream, data);
    case QMetaType::QByteArrayList: return loadAs<QByteArrayList>(stream, data);
    case QMetaType::Nullptr: *static_cast<std::nullptr_t *>(data) = nullptr; return true;
    case QMetaType::QCborSimpleType: {
        quint8 simpleType = 0;
        stream >> simpleType;
        *static_cast<QCborSimpleType *>(data) = QCborSimpleType(simpleType);
        return stream.isValid();
    }
    case QMetaType::QVariant: return false;
    default: return loadWithHelper(stream, typeId, data);
    }
}

} // namespace

// Built-in ids are always registered, so only the others ask the meta type
// system, which takes its lock for them.
bool saveMetaType(DataStream &stream, int typeId, const void *data)
{
    if (!data || (!isNativeTypeId(typeId) && !QMetaType::isRegistered(typeId)))
        return false;
    return saveValue(stream, typeId, data);
}

bool loadMetaType(DataStream &stream, int typeId, void *data)
{
    if (!data || !stream.isValid() || (!isNativeTypeId(typeId) && !QMetaType::isRegistered(typeId)))
        return false;
    return loadValue(stream, typeId, data);
}

// ---------------------------------------------------------------------------
// Type names

void registerStandardTypes()
{
    static QMutex mutex;
    static bool pending = true;
    QMutexLocker locker(&mutex);
    if (!pending)
        return;
    pending = false;
    qRegisterMetaType<std::string>("std::string");
    qRegisterMetaType<std::u16string>("std::u16string");
    qRegisterMetaType<std::u32string>("std::u32string");
}

QByteArray integralTypename(const QByteArray &typeName)
{
    QByteArray type = normalizedTypeName(typeName);
    if (type.startsWith("const "))
        type.remove(0, 6);
    if (type.endsWith("**") || type.endsWith("*&"))
        type.chop(2);
    else if (type.endsWith('*') || type.endsWith('&'))
        type.chop(1);
    return type.simplified();
}

bool isArgumentTypeValid(const QByteArray &typeName)
{
    return !isPointerTypeName(normalizedTypeName(typeName));
}

bool isTypeRegistered(const QByteArray &typeName)
{
    if (!isArgumentTypeValid(typeName))
        return false;
    const int typeId = QMetaType::type(integralTypename(typeName));
    if (typeId < 1)
        return false;
    QReadLocker locker(&IZetoStreamHelper::mainReadWriteLock());
    return IZetoStreamHelper::registeredStreamHelpers().contains(typeId) || isNativeTypeId(typeId);
}

} // namespace Zeto
