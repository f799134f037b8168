#ifndef ZETO_WORKBUFFER_H
#define ZETO_WORKBUFFER_H

#include <QtCore/QByteArray>

namespace Zeto {

// The frame buffers a thread keeps between messages: room for ordinary
// values without allocating, and no more than that held once an
// exceptionally large value, or a compression bomb, has passed.
namespace WorkBuffer {

constexpr int Size = 0x100000;

// glibc hands the top of its heap back to the system whenever more than
// 128 KiB lie free there, until the process first frees a large mapped block;
// until then every message of some tens of KiB faults its pages in afresh,
// several times a call. Freeing one such block, as most processes do early
// anyway, lets the heap keep what the messages use.
inline void letHeapKeepMessageMemory()
{
    static const bool done = [] {
        QByteArray block;
        block.reserve(Size);
        return true;
    }();
    Q_UNUSED(done)
}

inline QByteArray reserved()
{
    letHeapKeepMessageMemory();
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
