#ifndef ZETO_WORKBUFFER_H
#define ZETO_WORKBUFFER_H

#include <QtCore/QByteArray>

namespace Zeto {

// The frame buffers a thread keeps between messages: room for ordinary
// values without allocating, and no more than that held once an
// exceptionally large value, or a compression bomb, has passed.
namespace WorkBuffer {

constexpr int Size = 0x100000;

inline QByteArray reserved()
{
    QByteArray buffer;
    buffer.reserve(Size);
    return buffer;
}

inline void releaseIfGrown(QByteArray &buffer)
{
    if (buffer.capacity() > Size)
        buffer = reserved();
}

} // namespace WorkBuffer
} // namespace Zeto

#endif // ZETO_WORKBUFFER_H
