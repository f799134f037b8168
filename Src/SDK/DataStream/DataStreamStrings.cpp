// Byte arrays, Qt and standard strings, characters and bit arrays.

#include "DataStream_p.h"

#include <QtCore/QBitArray>

namespace Zeto {

using namespace StreamDetail;

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
    // A string shared with a value read before would be copied to resize it.
    if (value.isDetached() && value.capacity() >= length)
        value.resize(int(length));
    else
        value = QString(int(length), Qt::Uninitialized);
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

} // namespace Zeto
