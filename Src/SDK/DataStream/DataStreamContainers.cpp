// Lists and maps of values.

#include "DataStream_p.h"

namespace Zeto {

using namespace StreamDetail;

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

DataStream &DataStream::operator<<(const QVariantList &value)
{
    Access::writeList(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const QVector<QVariant> &value)
{
    Access::writeList(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const QByteArrayList &value)
{
    Access::writeList(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const QVariantMap &value)
{
    Access::writeEntries(*this, value);
    return *this;
}

DataStream &DataStream::operator<<(const QVariantHash &value)
{
    Access::writeEntries(*this, value);
    return *this;
}

DataStream &DataStream::operator>>(QVariantList &value)
{
    Access::readList(*this, value, MinVariantRecordSize);
    return *this;
}

DataStream &DataStream::operator>>(QVector<QVariant> &value)
{
    Access::readList(*this, value, MinVariantRecordSize);
    return *this;
}

DataStream &DataStream::operator>>(QByteArrayList &value)
{
    Access::readList(*this, value, MinLengthPrefixedSize);
    return *this;
}

DataStream &DataStream::operator>>(QVariantMap &value)
{
    Access::readEntries(*this, value);
    return *this;
}

DataStream &DataStream::operator>>(QVariantHash &value)
{
    Access::readEntries(*this, value);
    return *this;
}

} // namespace Zeto
