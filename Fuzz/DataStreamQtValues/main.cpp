// The first byte picks one of the stream's readers for Qt values and standard
// strings; the rest is read as a sequence of such values, each round-tripped.

#include "FuzzSupport.h"

#include <QtCore/QBitArray>
#include <QtCore/QLocale>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimeZone>
#include <QtCore/QUrl>
#include <QtCore/QUuid>

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace {

using Reader = void (*)(const QByteArray &);

// The seed corpus addresses readers by their index here: append, never reorder.
const Reader readers[] = {
    ZetoFuzz::readEach<QByteArray>,
    ZetoFuzz::readEach<QString>,
    ZetoFuzz::readEach<QStringList>,
    ZetoFuzz::readEach<QBitArray>,
    ZetoFuzz::readEach<std::string>,
    ZetoFuzz::readEach<std::u16string>,
    ZetoFuzz::readEach<std::u32string>,
    ZetoFuzz::readEach<QDate>,
    ZetoFuzz::readEach<QTime>,
    ZetoFuzz::readEach<QDateTime>,
    ZetoFuzz::readEach<QTimeZone>,
    ZetoFuzz::readEach<QLocale>,
    ZetoFuzz::readEach<QRegularExpression>,
    ZetoFuzz::readEach<QUrl>,
    ZetoFuzz::readEach<QUuid>,
    ZetoFuzz::readEach<QVariantList>,
    ZetoFuzz::readEach<QVariantMap>,
    ZetoFuzz::readEach<QVariantHash>,
    ZetoFuzz::readEach<QByteArrayList>,
    ZetoFuzz::readEach<QChar>,
    ZetoFuzz::readEach<QVector<QVariant>>,
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ZetoFuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const Reader read = readers[data[0] % std::size(readers)];
    read(QByteArray::fromRawData(reinterpret_cast<const char *>(data) + 1, int(size - 1)));
    return 0;
}
