#ifndef ZETO_LOWERCASEHEX_P_H
#define ZETO_LOWERCASEHEX_P_H

#include <cstddef>

namespace Zeto {

// Writes two lowercase hex digits for each byte into hex, which has room
// for 2 * size characters; ids and HMACs are written this way on every message.
inline void writeLowercaseHex(const unsigned char *bytes, std::size_t size, char *hex)
{
    static constexpr char Digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < size; ++i) {
        hex[2 * i] = Digits[bytes[i] >> 4];
        hex[2 * i + 1] = Digits[bytes[i] & 0x0f];
    }
}

} // namespace Zeto

#endif // ZETO_LOWERCASEHEX_P_H
