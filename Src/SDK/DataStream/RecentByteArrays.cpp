#include "RecentByteArrays.h"

#include <algorithm>
#include <cstring>

namespace Zeto {

RecentByteArrays &RecentByteArrays::ofThisThread()
{
    thread_local RecentByteArrays recent;
    return recent;
}

const QByteArray &RecentByteArrays::shared(const char *data, int size)
{
    QByteArray &slot = m_slots[slotOf(data, size)];
    if (slot.size() != size || std::memcmp(slot.constData(), data, std::size_t(size)) != 0)
        slot = QByteArray(data, size);
    return slot;
}

// Ids begin with random digits, so their first eight bytes spread them.
std::size_t RecentByteArrays::slotOf(const char *data, int size)
{
    quint64 head = quint64(size);
    std::memcpy(&head, data, std::size_t(std::min(size, int(sizeof head))));
    return std::size_t((head * 0x9E3779B97F4A7C15ull) >> (64 - SlotBits));
}

} // namespace Zeto
