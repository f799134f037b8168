#include "Id.h"

#include <QtCore/QRandomGenerator64>
#include <QtCore/QUuid>
#include <QtCore/QtEndian>

namespace Zeto {

namespace {

constexpr int IdSize = 40;
constexpr int UuidHexSize = 32;

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

bool isValidId(const QByteArray &id)
{
    if (id.size() != IdSize)
        return false;
    // QUuid parses only the hyphenated 8-4-4-4-12 form.
    QByteArray uuidText = id.left(UuidHexSize);
    for (const int position : {20, 16, 12, 8})
        uuidText.insert(position, '-');
    return !QUuid::fromString(QLatin1String(uuidText)).isNull();
}

} // namespace Zeto
