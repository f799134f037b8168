#include "StreamForm.h"

#include <QtCore/QBuffer>

namespace Zeto {
namespace Testing {

QByteArray bytesWrittenBy(const std::function<void(DataStream &)> &write)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    DataStream stream(&buffer);
    write(stream);
    return stream.isValid() ? buffer.data() : QByteArray();
}

} // namespace Testing
} // namespace Zeto
