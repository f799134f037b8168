// Feeds arbitrary bytes to the QVariant reader, one record after another, with
// the standard helpers and one application type registered, and round-trips
// every value that reads.

#include "FuzzSupport.h"

#include <DataStream/StreamHelper.h>

#include <cstddef>
#include <cstdint>

namespace Fuzz {

// An application type that carries a QVariant of its own, as messages do, so
// that nesting also runs through the helper registry.
struct Sample
{
    qint32 number = 0;
    QString text;
    QVariant payload;
};

Zeto::DataStream &operator<<(Zeto::DataStream &stream, const Sample &sample)
{
    return stream << sample.number << sample.text << sample.payload;
}

Zeto::DataStream &operator>>(Zeto::DataStream &stream, Sample &sample)
{
    return stream >> sample.number >> sample.text >> sample.payload;
}

} // namespace Fuzz

Q_DECLARE_METATYPE(Fuzz::Sample)

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ZetoFuzz::initialise();
    Zeto::registerType<Fuzz::Sample>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    ZetoFuzz::readEach<QVariant>(input);
    return 0;
}
