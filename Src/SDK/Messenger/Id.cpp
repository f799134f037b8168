#include "Id.h"

#include "../LowercaseHex_p.h"

#include <QtCore/QRandomGenerator64>

#include <array>

namespace Zeto {

namespace {

constexpr int IdSize = 40;
constexpr int UuidHexSize = 32;

// Every message carries ids: a table looks a digit up in one step.
constexpr std::array<bool, 256> HexDigits = [] {
    std::array<bool, 256> digits{};
    for (const char digit : "0123456789abcdefABCDEF")
        digits[uchar(digit)] = digit != '\0';
    return digits;
}();

bool isHexDigit(char c)
{
    return HexDigits[uchar(c)];
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
    const char *const uuidEnd = id.constData() + UuidHexSize;
    bool isNull = true;
    for (const char *digit = id.constData(); digit != uuidEnd; ++digit) {
        if (!isHexDigit(*digit))
            return false;
        isNull = isNull && *digit == '0';
    }
    return !isNull;
}

} // namespace Zeto
