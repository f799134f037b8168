// Fundamental types: integers, characters, floating point and nullptr.

#include "DataStream_p.h"

#include <cmath>

namespace Zeto {

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

} // namespace Zeto
