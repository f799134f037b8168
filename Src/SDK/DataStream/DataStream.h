#ifndef ZETO_DATASTREAM_H
#define ZETO_DATASTREAM_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QByteArrayList>
#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>
#include <QtCore/QVector>
#include <QtCore/qfloat16.h>

#include <array>
#include <cstddef>
#include <string>

QT_BEGIN_NAMESPACE
class QBitArray;
class QBuffer;
class QFile;
class QIODevice;
class QLocale;
class QRegularExpression;
class QTimeZone;
class QUrl;
class QUuid;
QT_END_NAMESPACE

namespace Zeto {

// The SDK's own big-endian binary stream. A stream is good until the first
// failed read or write; from then on every operator is a no-op until the
// owner resets it. Reads never wait: a value must be wholly available.
class ZETO_EXPORT DataStream
{
public:
    enum Version : qint32 {
        Version1 = 1,
        DefaultVersion = Version1
    };

    // QVariant records nested deeper than this fail the stream, so that a
    // peer cannot exhaust the reader's stack.
    static constexpr int MaxVariantNesting = 64;

    explicit DataStream(QIODevice *device);
    DataStream(const DataStream &other);
    DataStream &operator=(const DataStream &) = delete;
    ~DataStream();

    QIODevice *device() const;
    bool isValid() const;
    void setValid(bool valid);
    void resetStatus();
    bool atEnd() const;

    Version version();
    void setVersion(Version version);

    int containerReserveLimit() const;
    void setContainerReserveLimit(int limit);

    qint64 readData(char *data, qint64 len);
    qint64 writeData(const char *data, qint64 len);

    DataStream &operator<<(bool value);
    DataStream &operator<<(char value);
    DataStream &operator<<(signed char value);
    DataStream &operator<<(unsigned char value);
    DataStream &operator<<(short value);
    DataStream &operator<<(unsigned short value);
    DataStream &operator<<(int value);
    DataStream &operator<<(unsigned int value);
    DataStream &operator<<(qint64 value);
    DataStream &operator<<(quint64 value);
    DataStream &operator<<(char16_t value);
    DataStream &operator<<(char32_t value);
    DataStream &operator<<(double value);
    DataStream &operator<<(float value);
    DataStream &operator<<(qfloat16 value);
    DataStream &operator<<(std::nullptr_t value);

    DataStream &operator>>(bool &value);
    DataStream &operator>>(char &value);
    DataStream &operator>>(signed char &value);
    DataStream &operator>>(unsigned char &value);
    DataStream &operator>>(short &value);
    DataStream &operator>>(unsigned short &value);
    DataStream &operator>>(int &value);
    DataStream &operator>>(unsigned int &value);
    DataStream &operator>>(qint64 &value);
    DataStream &operator>>(quint64 &value);
    DataStream &operator>>(char16_t &value);
    DataStream &operator>>(char32_t &value);
    DataStream &operator>>(double &value);
    DataStream &operator>>(float &value);
    DataStream &operator>>(qfloat16 &value);
    DataStream &operator>>(std::nullptr_t &value);

    DataStream &operator<<(const QByteArray &value);
    DataStream &operator<<(const QString &value);
    DataStream &operator<<(QChar value);
    DataStream &operator<<(const QStringList &value);
    DataStream &operator<<(const QBitArray &value);
    DataStream &operator<<(const std::string &value);
    DataStream &operator<<(const std::u16string &value);
    DataStream &operator<<(const std::u32string &value);
    DataStream &operator<<(const QDate &value);
    DataStream &operator<<(const QTime &value);
    DataStream &operator<<(const QDateTime &value);
    DataStream &operator<<(const QTimeZone &value);
    DataStream &operator<<(const QLocale &value);
    DataStream &operator<<(const QRegularExpression &value);
    DataStream &operator<<(const QUrl &value);
    DataStream &operator<<(const QUuid &value);

    DataStream &operator>>(QByteArray &value);
    DataStream &operator>>(QString &value);
    DataStream &operator>>(QChar &value);
    DataStream &operator>>(QStringList &value);
    DataStream &operator>>(QBitArray &value);
    DataStream &operator>>(std::string &value);
    DataStream &operator>>(std::u16string &value);
    DataStream &operator>>(std::u32string &value);
    DataStream &operator>>(QDate &value);
    DataStream &operator>>(QTime &value);
    DataStream &operator>>(QDateTime &value);
    DataStream &operator>>(QTimeZone &value);
    DataStream &operator>>(QLocale &value);
    DataStream &operator>>(QRegularExpression &value);
    DataStream &operator>>(QUrl &value);
    DataStream &operator>>(QUuid &value);

    DataStream &operator<<(const QVariant &value);
    DataStream &operator<<(const QVariantList &value);
    DataStream &operator<<(const QVector<QVariant> &value);
    DataStream &operator<<(const QByteArrayList &value);
    DataStream &operator<<(const QVariantMap &value);
    DataStream &operator<<(const QVariantHash &value);

    DataStream &operator>>(QVariant &value);
    DataStream &operator>>(QVariantList &value);
    DataStream &operator>>(QVector<QVariant> &value);
    DataStream &operator>>(QByteArrayList &value);
    DataStream &operator>>(QVariantMap &value);
    DataStream &operator>>(QVariantHash &value);

private:
    friend class DataStreamAccess;

    // Marks one top-level operation over a QBuffer, which then takes the
    // fast path for its duration (see m_buffer).
    class BufferSession
    {
    public:
        enum Direction { Reading, Writing };
        BufferSession(DataStream &stream, Direction direction);
        ~BufferSession();
        Q_DISABLE_COPY(BufferSession)

    private:
        DataStream &m_stream;
    };

    // Counts one level of QVariant nesting; fails the stream beyond the limit.
    class VariantLevel
    {
    public:
        explicit VariantLevel(DataStream &stream);
        ~VariantLevel();
        Q_DISABLE_COPY(VariantLevel)
        bool entered() const { return m_entered; }

    private:
        DataStream &m_stream;
        bool m_entered;
    };

    // Called for every value by every encoding, so defined inline in the
    // stream's private header.
    inline bool canRead() const;
    inline bool canWrite() const;
    inline qint64 bytesAvailable() const;
    inline bool readBytes(char *data, qint64 len);
    inline void writeBytes(const char *data, qint64 len);
    inline char *gatherSpace(qint64 len);

    bool readDouble(double &value);
    bool readTimeZone(QTimeZone &zone);
    qint64 reserveFor(qint64 count, qint64 smallestElementSize) const;

    void writeVariantRecord(const QVariant &value);
    void readVariantRecord(QVariant &value);
    int readVariantTypeId(quint32 wireTypeId, QByteArray &customName);
    static const char *wireTypeName(quint32 wireTypeId, const QByteArray &customName);

    void enterFastPath(BufferSession::Direction direction);
    void enterFastReading();
    void enterFastWriting();
    void leaveFastPath();
    bool gather(const char *data, qint64 len);
    bool growGatheredWrites(qint64 needed);
    void flushGatheredWrites();

    Version m_version;
    int m_containerReserveLimit;
    QIODevice *m_device;
    quint8 m_byteOrder;
    bool m_valid;
    QList<QByteArray> m_availableTimeZoneIds;
    QDateTime m_creationTimeUtc;
    // The custom type name last read at each variant nesting level: read
    // into again, it needs no allocation.
    std::array<QByteArray, MaxVariantNesting> m_customTypeNames;

    // While a top-level value is streamed over a QBuffer, reads come straight
    // from its memory and writes are gathered, and the buffer is brought up
    // to date once at the end: observably the same, far cheaper.
    QBuffer *m_buffer;
    int m_sessionDepth = 0;
    int m_variantDepth = 0;
    const char *m_readBegin = nullptr;
    const char *m_readCursor = nullptr;
    const char *m_readEnd = nullptr;
    bool m_gatheringWrites = false;
    QByteArray m_gatheredWrites;
    char *m_gatherStorage = nullptr;
    qint64 m_gatheredSize = 0;
};

// Flushes Qt's buffer of the file, then asks the system to commit it to disk.
ZETO_EXPORT void NativeFileFlush(QFile &file);

} // namespace Zeto

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::u16string)
Q_DECLARE_METATYPE(std::u32string)

#endif // ZETO_DATASTREAM_H
