#ifndef ZETO_RECENTBYTEARRAYS_H
#define ZETO_RECENTBYTEARRAYS_H

#include <QtCore/QByteArray>

#include <array>

namespace Zeto {

// The short byte arrays a thread has read lately, so that an equal one read
// again shares their bytes instead of allocating its own: every message
// repeats the ids and signatures of its conversation. Direct-mapped and
// small, so that a peer sending nothing but new values only costs a compare.
class RecentByteArrays
{
public:
    static constexpr int MaxSize = 64;

    static RecentByteArrays &ofThisThread();

    // An array equal to the size bytes at data, 1 to MaxSize of them.
    const QByteArray &shared(const char *data, int size);

private:
    static constexpr int SetBits = 4;

    struct Set
    {
        std::array<QByteArray, 2> ways;
        // The way read last; a new value replaces the other one.
        int lastRead = 0;
    };

    static std::size_t setOf(const char *data, int size);

    std::array<Set, 1 << SetBits> m_sets;
};

} // namespace Zeto

#endif // ZETO_RECENTBYTEARRAYS_H
