#include "Id.h"

#include "../LowercaseHex_p.h"

#include <QtCore/QRandomGenerator64>

#include <array>
#include <cstring>

namespace Zeto {

namespace {

constexpr int IdSize = 40;
constexpr int UuidHexSize = 32;

// Every message carries ids, so their digits are checked eight at a time.
// For bytes below 0x80, adding 0x80 - low to each sets its top bit exactly
// when it is at least low, and carries no bit into the next byte.
constexpr quint64 inEveryByte(unsigned char byte)
{
    return 0x0101010101010101ull * byte;
}

constexpr quint64 TopBits = inEveryByte(0x80);

constexpr quint64 atLeast(quint64 bytes, unsigned char low)
{
    return bytes + inEveryByte(0x80 - low);
}

constexpr bool areHexDigits(quint64 bytes)
{
    const quint64 digits = atLeast(bytes, '0') & ~atLeast(bytes, '9' + 1);
    const quint64 lowerCase = bytes | inEveryByte(0x20);
    const quint64 letters = atLeast(lowerCase, 'a') & ~atLeast(lowerCase, 'f' + 1);
    return (bytes & TopBits) == 0 && ((digits | letters) & TopBits) == TopBits;
}

} // namespace

// A random (version 4) UUID's 32 hex digits, drawn as QUuid::createUuid()
// draws them, then the hex of 4 bytes from the seeded generator; made in
// one allocation, since every call makes an id.
QByteArray generateId()
{
    std::array<quint32, 5> words;
    static_assert(2 * sizeof words == IdSize, "two hex digits a byte");
    QRandomGenerator::system()->fillRange(words.data(), 4);
    words[4] = static_cast<quint32>(QRandomGenerator64::global()->generate());
    auto *bytes = reinterpret_cast<uchar *>(words.data());
    bytes[6] = (bytes[6] & 0x0f) | 0x40;
    bytes[8] = (bytes[8] & 0x3f) | 0x80;
    QByteArray id(IdSize, Qt::Uninitialized);
    writeLowercaseHex(bytes, sizeof words, id.data());
    return id;
}

// The UUID part must be hex digits, of either case, and not the null UUID;
// checked by hand, since every message carries ids and parsing them as
// UUIDs cost more than the rest of a call's routing.
bool isValidId(const QByteArray &id)
{
    if (id.size() != IdSize)
        return false;
    bool isNull = true;
    for (int offset = 0; offset < UuidHexSize; offset += int(sizeof(quint64))) {
        quint64 digits;
        std::memcpy(&digits, id.constData() + offset, sizeof digits);
        if (!areHexDigits(digits))
            return false;
        isNull = isNull && digits == inEveryByte('0');
    }
    return !isNull;
}

} // namespace Zeto
