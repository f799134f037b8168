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
    Set &set = m_sets[setOf(data, size)];
    const auto holds = [data, size](const QByteArray &way) {
        return way.size() == size && std::memcmp(way.constData(), data, std::size_t(size)) == 0;
    };
    for (int way = 0; way < int(set.ways.size()); ++way) {
        if (holds(set.ways[way])) {
            set.lastRead = way;
            return set.ways[way];
        }
    }
    set.lastRead = 1 - set.lastRead;
    set.ways[set.lastRead] = QByteArray(data, size);
    return set.ways[set.lastRead];
}

// Ids begin with random digits, so their first eight bytes spread them.
std::size_t RecentByteArrays::setOf(const char *data, int size)
{
    quint64 head = quint64(size);
    std::memcpy(&head, data, std::size_t(std::min(size, int(sizeof head))));
    return std::size_t((head * 0x9E3779B97F4A7C15ull) >> (64 - SetBits));
}

} // namespace Zeto
