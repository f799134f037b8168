#ifndef ZETO_TESTING_STREAMFORM_H
#define ZETO_TESTING_STREAMFORM_H

#include "DataStream/DataStream.h"

#include <QtCore/QByteArray>

#include <functional>

namespace Zeto {
namespace Testing {

// What write puts on a new stream over an empty buffer; nothing if it leaves
// the stream failed, so that a failed write never passes for a short form.
QByteArray bytesWrittenBy(const std::function<void(DataStream &)> &write);

// The stream form of a value, as the library writes it.
template <typename T>
QByteArray streamForm(const T &value)
{
    return bytesWrittenBy([&value](DataStream &stream) { stream << value; });
}

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTING_STREAMFORM_H
