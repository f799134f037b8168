#include "Id.h"

#include <QtCore/QRandomGenerator64>
#include <QtCore/QUuid>
#include <QtCore/QtEndian>

namespace Zeto {

namespace {

constexpr int IdSize = 40;
constexpr int UuidHexSize = 32;

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

QByteArray generateId()
{
    QByteArray id;
    id.reserve(IdSize);
    id += QUuid::createUuid().toByteArray(QUuid::Id128);
    const quint32 random = qToLittleEndian(static_cast<quint32>(QRandomGenerator64::global()->generate()));
    id += QByteArray::fromRawData(reinterpret_cast<const char *>(&random), sizeof random).toHex();
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
