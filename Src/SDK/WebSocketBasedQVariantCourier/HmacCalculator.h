#ifndef ZETO_HMACCALCULATOR_H
#define ZETO_HMACCALCULATOR_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QCryptographicHash>

#include <memory>

namespace Zeto {

// The HMAC of a frame through libcrypto, several times faster than Qt's own.
// The key's inner and outer states are kept between the messages of one
// key, so that a frame costs only the hashing of its own bytes.
class ZETO_AUTOTEST_EXPORT HmacCalculator
{
public:
    // The longest digest of any algorithm, in hex.
    static constexpr int MaxHexLength = 128;

    // Whether libcrypto offers the algorithm; Qt's Keccak variants, for one,
    // it does not.
    static bool isSupported(QCryptographicHash::Algorithm algorithm);
    // Twice the digest length; 0 for an algorithm that is not supported.
    static int hexLength(QCryptographicHash::Algorithm algorithm);

    HmacCalculator();
    HmacCalculator(const HmacCalculator &) = delete;
    HmacCalculator &operator=(const HmacCalculator &) = delete;
    ~HmacCalculator();

    // Writes the lowercase hex HMAC of the flag byte followed by the data to
    // hex, which has room for MaxHexLength; false when libcrypto fails.
    bool hexDigest(QCryptographicHash::Algorithm algorithm, const QByteArray &key, char flag, const char *data,
                   int size, char *hex);

private:
    void setKey(QCryptographicHash::Algorithm algorithm, const QByteArray &key);

    struct Context;
    const std::unique_ptr<Context> m_context;
};

} // namespace Zeto

#endif // ZETO_HMACCALCULATOR_H
