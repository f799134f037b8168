// QVariant records and the containers of them: the type header, nesting, and
// the dispatch of each value to its encoding or to a registered stream helper.
// One unit, so that a container's elements are written without a call across
// units each.

#include "DataStream_p.h"
#include "IZetoStreamHelper.h"
#include "StreamHelper.h"
#include "../LoggingCategories_p.h"

#include <QtCore/QBitArray>
#include <QtCore/QCborValue>
#include <QtCore/QLocale>
#include <QtCore/QReadLocker>
#include <QtCore/QRegularExpression>
#include <QtCore/QUrl>
#include <QtCore/QUuid>

namespace Zeto {

using namespace StreamDetail;

namespace {

constexpr quint32 CustomTypeId = 0xFFFFFFFFu;
constexpr int FirstCustomTypeId = QMetaType::User;

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
        qCWarning(lcZetoStream, MissingHelperWarning, QMetaType::typeName(typeId));
        return false;
    }
    helper->save(stream, data);
    return true;
}

bool loadWithHelper(DataStream &stream, int typeId, void *data)
{
    IZetoStreamHelper *helper = KnownTypes::ofThisThread().streamHelper(typeId);
    if (!helper) {
        qCWarning(lcZetoStream, MissingHelperWarning, QMetaType::typeName(typeId));
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

// The ids whose values the stream encodes itself.
bool StreamDetail::isNativeTypeId(int typeId)
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
    // Asked once: for a custom type, Qt looks its name up under a lock.
    const bool isNull = value.isNull();
    char header[6];
    qToBigEndian<quint32>(typeId, header);
    header[4] = typeId != 0 ? 1 : 0;
    header[5] = isNull ? 1 : 0;
    writeBytes(header, sizeof header);
    if (!m_valid || typeId == 0)
        return;
    if (typeId == CustomTypeId) {
        *this << KnownTypes::ofThisThread().typeName(userType);
        if (!m_valid)
            return;
    }
    if (isNull)
        return;
    if (!saveValue(*this, userType, value.constData())) {
        m_valid = false;
        qCWarning(lcZetoStream, SaveFailedWarning, QMetaType::typeName(userType), userType);
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
    QByteArray &customName = m_customTypeNames[m_variantDepth - 1];
    const int localTypeId = readVariantTypeId(typeId, customName);
    if (!m_valid)
        return;
    // An unknown type gives the invalid QVariant, which counts as null.
    value = localTypeId == QMetaType::UnknownType ? QVariant() : QVariant(localTypeId, nullptr);
    if (isValid != value.isValid()) {
        qCWarning(lcZetoStream, UnknownTypeWarning, wireTypeName(typeId, customName));
        m_valid = false;
        return;
    }
    if (!value.isValid() || isNull)
        return;
    if (!loadValue(*this, value.userType(), value.data()) || !m_valid) {
        m_valid = false;
        qCWarning(lcZetoStream, LoadFailedWarning, wireTypeName(typeId, customName), value.userType());
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

} // namespace Zeto
