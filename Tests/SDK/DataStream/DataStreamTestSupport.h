#ifndef ZETO_DATASTREAMTESTSUPPORT_H
#define ZETO_DATASTREAMTESTSUPPORT_H

#include "AddressSanitizer.h"
#include "DataStream/DataStream.h"
#include "DataStream/StreamHelper.h"

#include <QtCore/QBitArray>
#include <QtCore/QBuffer>
#include <QtCore/QDebug>
#include <QtCore/QIODevice>
#include <QtCore/QLocale>
#include <QtCore/QMultiHash>
#include <QtCore/QMultiMap>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimeZone>
#include <QtCore/QUrl>
#include <QtCore/QUuid>
#include <QtCore/QtEndian>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

using Zeto::DataStream;

// Application types that travel through the registry.
namespace My {

struct Type
{
    qint32 number = 0;
    QString text;
};
inline bool operator==(const Type &a, const Type &b) { return a.number == b.number && a.text == b.text; }

inline DataStream &operator<<(DataStream &stream, const Type &value) { return stream << value.number << value.text; }
inline DataStream &operator>>(DataStream &stream, Type &value) { return stream >> value.number >> value.text; }

// Carries a QVariant, as the library's messages do.
struct Box
{
    QVariant inner;
};
inline bool operator==(const Box &a, const Box &b) { return a.inner == b.inner; }

inline DataStream &operator<<(DataStream &stream, const Box &value) { return stream << value.inner; }
inline DataStream &operator>>(DataStream &stream, Box &value) { return stream >> value.inner; }

// Looks at the device in the middle of a value: where it stands, and two
// bytes read or written on the device itself, beside the stream.
struct Probe
{
    QByteArray raw;
    qint16 value = 0;
    static QList<qint64> &positions()
    {
        static QList<qint64> seen;
        return seen;
    }
};
inline bool operator==(const Probe &a, const Probe &b) { return a.raw == b.raw && a.value == b.value; }

inline DataStream &operator<<(DataStream &stream, const Probe &value)
{
    Probe::positions().append(stream.device()->pos());
    stream.device()->write(value.raw);
    return stream << value.value;
}
inline DataStream &operator>>(DataStream &stream, Probe &value)
{
    Probe::positions().append(stream.device()->pos());
    value.raw = stream.device()->read(2);
    return stream >> value.value;
}

// Streams its number through a copy of the stream, which shares the device.
struct Copier
{
    qint32 number = 0;
};
inline bool operator==(const Copier &a, const Copier &b) { return a.number == b.number; }
inline DataStream &operator<<(DataStream &stream, const Copier &value)
{
    DataStream copy(stream);
    copy << value.number;
    return stream;
}
inline DataStream &operator>>(DataStream &stream, Copier &value)
{
    DataStream copy(stream);
    copy >> value.number;
    return stream;
}

// Takes no bytes; notes the heap in use when it is read, which is while every
// container around it holds its reservation.
struct Meter
{
    static qint64 &heapInUse()
    {
        static qint64 bytes = -1;
        return bytes;
    }
    static int &reads()
    {
        static int count = 0;
        return count;
    }
    // -1 where the heap cannot be measured: without glibc, or under
    // AddressSanitizer, whose allocator glibc's statistics do not see.
    static qint64 sample()
    {
#if defined(__GLIBC__) && __GLIBC_PREREQ(2, 33) && !defined(ZETO_TEST_ADDRESS_SANITIZER)
        const struct mallinfo2 info = mallinfo2();
        return qint64(info.uordblks + info.hblkhd);
#else
        return -1;
#endif
    }
};
inline bool operator==(const Meter &, const Meter &) { return true; }
inline DataStream &operator<<(DataStream &stream, const Meter &) { return stream; }
inline DataStream &operator>>(DataStream &stream, Meter &)
{
    Meter::heapInUse() = Meter::sample();
    ++Meter::reads();
    return stream;
}

// Known to Qt, never registered with the stream.
struct Unstreamed
{
    int number = 0;
};

// Registered by the tests that look at registration itself.
struct Late
{
    int number = 0;
};
inline DataStream &operator<<(DataStream &stream, const Late &value) { return stream << value.number; }
inline DataStream &operator>>(DataStream &stream, Late &value) { return stream >> value.number; }

struct Racer
{
    int number = 0;
};
inline DataStream &operator<<(DataStream &stream, const Racer &value) { return stream << value.number; }
inline DataStream &operator>>(DataStream &stream, Racer &value) { return stream >> value.number; }

} // namespace My

Q_DECLARE_METATYPE(My::Type)
Q_DECLARE_METATYPE(My::Box)
Q_DECLARE_METATYPE(My::Probe)
Q_DECLARE_METATYPE(My::Copier)
Q_DECLARE_METATYPE(My::Meter)
Q_DECLARE_METATYPE(My::Unstreamed)
Q_DECLARE_METATYPE(My::Late)
Q_DECLARE_METATYPE(My::Racer)

namespace Support {

// ---- bytes ------------------------------------------------------------------

inline QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

template <typename T>
QByteArray bigEndian(T value)
{
    QByteArray bytes(int(sizeof(T)), Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}
inline QByteArray i64(qint64 value) { return bigEndian(value); }
inline QByteArray u32(quint32 value) { return bigEndian(value); }

// QByteArray form of text.
inline QByteArray name(const QByteArray &text) { return i64(text.size()) + text; }

// QString form.
inline QByteArray utf16(const QString &text)
{
    QByteArray bytes = i64(text.size());
    for (QChar unit : text)
        bytes += bigEndian(unit.unicode());
    return bytes;
}

// The head of a QVariant record: type id, valid flag, null flag.
inline QByteArray record(quint32 typeId, bool valid = true, bool null = false)
{
    return u32(typeId) + char(valid) + char(null);
}
inline QByteArray customRecord(const QByteArray &typeName) { return record(0xFFFFFFFF) + name(typeName); }
inline QByteArray intRecord(qint32 value) { return record(QMetaType::Int) + bigEndian(value); }

// ---- a random-access device that is not a QBuffer --------------------------

class PlainDevice : public QIODevice
{
public:
    explicit PlainDevice(const QByteArray &data = QByteArray()) : m_data(data) { open(ReadWrite | Unbuffered); }
    QByteArray data() const { return m_data; }
    void reload(const QByteArray &data)
    {
        m_data = data;
        seek(0);
    }
    qint64 size() const override { return m_data.size(); }

protected:
    qint64 readData(char *out, qint64 max) override
    {
        const qint64 count = qMin(max, m_data.size() - pos());
        memcpy(out, m_data.constData() + pos(), size_t(count));
        return count;
    }
    qint64 writeData(const char *in, qint64 len) override
    {
        const int at = int(pos());
        if (m_data.size() < at + len)
            m_data.resize(at + int(len));
        memcpy(m_data.data() + at, in, size_t(len));
        return len;
    }

private:
    QByteArray m_data;
};

// ---- warnings ---------------------------------------------------------------

inline QString loadFailed(const QString &type, int id)
{
    return QStringLiteral("DataStream: QVariant stream failed. Failed to load type %1 with meta type id %2.").arg(type).arg(id);
}
inline QString saveFailed(const QString &type, int id)
{
    return QStringLiteral("DataStream: QVariant stream failed. Failed to save type %1 with meta type id %2.").arg(type).arg(id);
}
inline QString notKnownAtBothSides(const QString &type)
{
    return QStringLiteral("DataStream: QVariant stream failed. Failed to load type %1. Type is not known/registered at both sides.").arg(type);
}
inline QString notRegistered(const QString &type)
{
    return QStringLiteral("Custom type with name %1 has not been registered. Call Zeto::registerType to register custom types.").arg(type);
}

// ---- comparing and describing values ----------------------------------------

template <typename T>
auto describe(const T &value, int) -> decltype(std::declval<QDebug &>() << value, QString())
{
    QString text;
    QDebug(&text).nospace() << value;
    return text;
}
template <typename T>
QString describe(const T &, long) { return QStringLiteral("(value)"); }
inline QString describe(const std::string &value, int) { return QString::fromStdString(value); }
inline QString describe(const std::u16string &value, int) { return QString::fromStdU16String(value); }
inline QString describe(const std::u32string &value, int) { return QString::fromStdU32String(value); }
inline QString describe(char16_t value, int) { return QString::number(value, 16); }
inline QString describe(char32_t value, int) { return QString::number(value, 16); }
inline QString describe(qfloat16 value, int) { return QString::number(double(value)); }
inline QString describe(const QTimeZone &value, int)
{
    return QStringLiteral("QTimeZone(%1, %2 s, %3, %4, %5, %6)")
        .arg(QString::fromLatin1(value.id()))
        .arg(value.offsetFromUtc(QDateTime::currentDateTimeUtc()))
        .arg(value.displayName(QTimeZone::StandardTime), value.abbreviation(QDateTime::currentDateTimeUtc()),
             value.comment(), QString::number(value.country()));
}

template <typename T>
bool same(const T &a, const T &b) { return a == b; }

// Floating-point values compare bit for bit, so that -0.0 differs from +0.0.
template <typename T>
bool sameBits(const T &a, const T &b) { return memcmp(&a, &b, sizeof(T)) == 0; }
inline bool same(const double &a, const double &b) { return sameBits(a, b); }
inline bool same(const float &a, const float &b) { return sameBits(a, b); }
inline bool same(const qfloat16 &a, const qfloat16 &b) { return sameBits(a, b); }

inline bool same(const QByteArray &a, const QByteArray &b) { return a == b && a.isNull() == b.isNull(); }
inline bool same(const QString &a, const QString &b) { return a == b && a.isNull() == b.isNull(); }
inline bool same(const QBitArray &a, const QBitArray &b) { return a == b && a.isNull() == b.isNull(); }
inline bool same(const QDateTime &a, const QDateTime &b)
{
    return a == b && a.isNull() == b.isNull() && a.timeSpec() == b.timeSpec() && a.offsetFromUtc() == b.offsetFromUtc()
        && a.timeZone() == b.timeZone();
}
inline bool same(const QTimeZone &a, const QTimeZone &b)
{
    const QDateTime at = QDateTime::currentDateTimeUtc();
    return a.isValid() == b.isValid() && a.id() == b.id() && a.offsetFromUtc(at) == b.offsetFromUtc(at)
        && a.displayName(QTimeZone::StandardTime) == b.displayName(QTimeZone::StandardTime)
        && a.abbreviation(at) == b.abbreviation(at) && a.comment() == b.comment() && a.country() == b.country();
}

inline bool same(const QVariant &a, const QVariant &b);

inline bool sameLists(const QVariantList &a, const QVariantList &b)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (!same(a.at(i), b.at(i)))
            return false;
    }
    return true;
}

// Entries in iteration order, so that runs of equal keys must match too.
template <typename Map>
bool sameEntries(const Map &a, const Map &b)
{
    if (a.size() != b.size())
        return false;
    for (const QString &key : a.uniqueKeys()) {
        if (!sameLists(a.values(key), b.values(key)))
            return false;
    }
    return true;
}

inline bool same(const QVariant &a, const QVariant &b)
{
    // Null or not, an invalid QVariant is just invalid.
    if (a.userType() != b.userType() || a.isValid() != b.isValid())
        return false;
    if (!a.isValid())
        return true;
    if (a.isNull() != b.isNull())
        return false;
    switch (a.userType()) {
    case QMetaType::QVariantList:
        return sameLists(a.toList(), b.toList());
    case QMetaType::QVariantMap:
        return sameEntries(QMultiMap<QString, QVariant>(a.toMap()), QMultiMap<QString, QVariant>(b.toMap()));
    case QMetaType::QVariantHash:
        return sameEntries(QMultiHash<QString, QVariant>(a.toHash()), QMultiHash<QString, QVariant>(b.toHash()));
    case QMetaType::Double:
        return same(a.toDouble(), b.toDouble());
    case QMetaType::Float:
        return same(a.toFloat(), b.toFloat());
    default:
        if (a.userType() == qMetaTypeId<My::Box>())
            return same(a.value<My::Box>().inner, b.value<My::Box>().inner);
        return a == b;
    }
}

// ---- type-erased values for data tables -------------------------------------

// One value of some type: how to write it, and how to read one back and
// tell whether it is the value expected.
struct Codec
{
    std::function<void(DataStream &)> write;
    // Empty when the value read is the one expected, else a description.
    std::function<QString(DataStream &)> readMismatch;
};

// Reads into `initial` (what the destination held before) and expects `expected`.
template <typename T>
Codec reading(const T &expected, const T &initial = T())
{
    return {nullptr, [expected, initial](DataStream &stream) {
                T value = initial;
                stream >> value;
                if (same(value, expected))
                    return QString();
                return QStringLiteral("read %1, expected %2").arg(describe(value, 0), describe(expected, 0));
            }};
}

template <typename T>
Codec codec(const T &written, const T &expected)
{
    Codec result = reading(expected);
    result.write = [written](DataStream &stream) { stream << written; };
    return result;
}
template <typename T>
Codec codec(const T &value) { return codec(value, value); }

// Reads into `initial` and expects a value for which `accepted` holds.
template <typename T>
Codec readingSuch(const QString &what, const std::function<bool(const T &)> &accepted, const T &initial)
{
    return {nullptr, [what, accepted, initial](DataStream &stream) {
                T value = initial;
                stream >> value;
                return accepted(value) ? QString() : QStringLiteral("read %1, expected %2").arg(describe(value, 0), what);
            }};
}

// After a failed read, only emptiness is promised for some types.
template <typename T>
Codec readingEmpty(const T &initial)
{
    return readingSuch<T>(QStringLiteral("empty"), [](const T &value) { return value.isEmpty(); }, initial);
}

// ---- nesting ------------------------------------------------------------------

// A chain of `records` QVariant records, each but the last holding the next
// in a container of one element, the last holding int 1.
enum class Nest { List, Map, Hash, Box, Mixed };

inline Nest levelKind(Nest kind, int level)
{
    static const Nest cycle[] = {Nest::List, Nest::Map, Nest::Hash, Nest::Box};
    return kind == Nest::Mixed ? cycle[level % 4] : kind;
}

inline QVariant nested(Nest kind, int records)
{
    QVariant value = 1;
    for (int level = records - 2; level >= 0; --level) {
        switch (levelKind(kind, level)) {
        case Nest::List: value = QVariantList{value}; break;
        case Nest::Map: value = QVariantMap{{QStringLiteral("k"), value}}; break;
        case Nest::Hash: value = QVariantHash{{QStringLiteral("k"), value}}; break;
        default: value = QVariant::fromValue(My::Box{value}); break;
        }
    }
    return value;
}

inline QByteArray nestingHead(Nest kind)
{
    switch (kind) {
    case Nest::List: return record(QMetaType::QVariantList) + i64(1);
    case Nest::Map: return record(QMetaType::QVariantMap) + i64(1) + utf16(QStringLiteral("k"));
    case Nest::Hash: return record(QMetaType::QVariantHash) + i64(1) + utf16(QStringLiteral("k"));
    default: return customRecord("My::Box");
    }
}

// Built by hand, so that no deep QVariant ever exists.
inline QByteArray nestedBytes(Nest kind, int records)
{
    QByteArray bytes;
    for (int level = 0; level < records - 1; ++level)
        bytes += nestingHead(levelKind(kind, level));
    return bytes + intRecord(1);
}

} // namespace Support

Q_DECLARE_METATYPE(Support::Codec)
Q_DECLARE_METATYPE(Support::Nest)

#endif // ZETO_DATASTREAMTESTSUPPORT_H
