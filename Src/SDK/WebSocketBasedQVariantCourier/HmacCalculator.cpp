#include "HmacCalculator.h"

#include "../LowercaseHex_p.h"

// The classic digest functions are deprecated in libcrypto 3.0 but kept, and
// they are what lets a frame's HMAC run without touching the heap.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/md4.h>
#include <openssl/md5.h>
#include <openssl/params.h>
#include <openssl/sha.h>

#include <array>
#include <cstring>
#include <type_traits>

namespace Zeto {

namespace {

constexpr int AlgorithmCount = QCryptographicHash::RealSha3_512 + 1;

// libcrypto's names for Qt's algorithms; null where it has none.
const char *digestName(QCryptographicHash::Algorithm algorithm)
{
    switch (algorithm) {
    case QCryptographicHash::Md4:
        return "MD4";
    case QCryptographicHash::Md5:
        return "MD5";
    case QCryptographicHash::Sha1:
        return "SHA1";
    case QCryptographicHash::Sha224:
        return "SHA2-224";
    case QCryptographicHash::Sha256:
        return "SHA2-256";
    case QCryptographicHash::Sha384:
        return "SHA2-384";
    case QCryptographicHash::Sha512:
        return "SHA2-512";
    case QCryptographicHash::RealSha3_224:
        return "SHA3-224";
    case QCryptographicHash::RealSha3_256:
        return "SHA3-256";
    case QCryptographicHash::RealSha3_384:
        return "SHA3-384";
    case QCryptographicHash::RealSha3_512:
        return "SHA3-512";
    default:
        return nullptr;
    }
}

// libcrypto's error queue is the thread's, and Qt's TLS reads it after its
// own calls: errors of ours left there would fail the next TLS operation.
class ErrorQueueMark
{
public:
    ErrorQueueMark() { ERR_set_mark(); }
    ~ErrorQueueMark() { ERR_pop_to_mark(); }
    ErrorQueueMark(const ErrorQueueMark &) = delete;
    ErrorQueueMark &operator=(const ErrorQueueMark &) = delete;
};

bool isOffered(QCryptographicHash::Algorithm algorithm)
{
    const ErrorQueueMark mark;
    const char *name = digestName(algorithm);
    EVP_MD *digest = name ? EVP_MD_fetch(nullptr, name, nullptr) : nullptr;
    EVP_MD_free(digest);
    return digest != nullptr;
}

// Asked once per process: the providers do not change while it runs.
const std::array<bool, AlgorithmCount> &offeredAlgorithms()
{
    static const std::array<bool, AlgorithmCount> offered = [] {
        std::array<bool, AlgorithmCount> result{};
        for (int algorithm = 0; algorithm < AlgorithmCount; ++algorithm)
            result[algorithm] = isOffered(QCryptographicHash::Algorithm(algorithm));
        return result;
    }();
    return offered;
}

// libcrypto 3.0's EVP interface copies a digest's state through the heap on
// every message. Its classic functions keep the state in a plain struct, so
// the states after the inner and outer key pads are copied by value instead.
using DigestState = std::aligned_union_t<0, MD4_CTX, MD5_CTX, SHA_CTX, SHA256_CTX, SHA512_CTX>;

struct ClassicDigest
{
    int blockSize;
    int digestSize;
    void (*init)(DigestState &state);
    void (*update)(DigestState &state, const void *data, size_t size);
    void (*final)(unsigned char *digest, DigestState &state);
};

template <typename State, int (*Init)(State *), int (*Update)(State *, const void *, size_t),
          int (*Final)(unsigned char *, State *)>
constexpr ClassicDigest classic(int blockSize, int digestSize)
{
    return {blockSize, digestSize, [](DigestState &state) { Init(reinterpret_cast<State *>(&state)); },
            [](DigestState &state, const void *data, size_t size) {
                Update(reinterpret_cast<State *>(&state), data, size);
            },
            [](unsigned char *digest, DigestState &state) { Final(digest, reinterpret_cast<State *>(&state)); }};
}

// Null for the digests that only EVP offers, SHA-3 among them.
const ClassicDigest *classicDigest(QCryptographicHash::Algorithm algorithm)
{
    static constexpr ClassicDigest Md4 = classic<MD4_CTX, MD4_Init, MD4_Update, MD4_Final>(64, 16);
    static constexpr ClassicDigest Md5 = classic<MD5_CTX, MD5_Init, MD5_Update, MD5_Final>(64, 16);
    static constexpr ClassicDigest Sha1 = classic<SHA_CTX, SHA1_Init, SHA1_Update, SHA1_Final>(64, 20);
    static constexpr ClassicDigest Sha224 = classic<SHA256_CTX, SHA224_Init, SHA224_Update, SHA224_Final>(64, 28);
    static constexpr ClassicDigest Sha256 = classic<SHA256_CTX, SHA256_Init, SHA256_Update, SHA256_Final>(64, 32);
    static constexpr ClassicDigest Sha384 = classic<SHA512_CTX, SHA384_Init, SHA384_Update, SHA384_Final>(128, 48);
    static constexpr ClassicDigest Sha512 = classic<SHA512_CTX, SHA512_Init, SHA512_Update, SHA512_Final>(128, 64);
    switch (algorithm) {
    case QCryptographicHash::Md4: return &Md4;
    case QCryptographicHash::Md5: return &Md5;
    case QCryptographicHash::Sha1: return &Sha1;
    case QCryptographicHash::Sha224: return &Sha224;
    case QCryptographicHash::Sha256: return &Sha256;
    case QCryptographicHash::Sha384: return &Sha384;
    case QCryptographicHash::Sha512: return &Sha512;
    default: return nullptr;
    }
}

// The HMAC's two keyed states over a classic digest (RFC 2104).
class ClassicHmac
{
public:
    void setKey(const ClassicDigest &digest, const QByteArray &key)
    {
        m_digest = &digest;
        std::array<unsigned char, 128> block{};
        if (key.size() > digest.blockSize) {
            digest.init(m_inner);
            digest.update(m_inner, key.constData(), size_t(key.size()));
            digest.final(block.data(), m_inner);
        } else {
            std::memcpy(block.data(), key.constData(), size_t(key.size()));
        }
        keyState(m_inner, block, 0x36);
        keyState(m_outer, block, 0x36 ^ 0x5c);
        OPENSSL_cleanse(block.data(), block.size());
    }

    int digest(char flag, const char *data, int size, unsigned char *digest) const
    {
        DigestState state = m_inner;
        m_digest->update(state, &flag, 1);
        m_digest->update(state, data, size_t(size));
        m_digest->final(digest, state);
        state = m_outer;
        m_digest->update(state, digest, size_t(m_digest->digestSize));
        m_digest->final(digest, state);
        return m_digest->digestSize;
    }

private:
    // Pads the block in place with the given mask, over the previous one.
    void keyState(DigestState &state, std::array<unsigned char, 128> &block, unsigned char mask) const
    {
        for (unsigned char &byte : block)
            byte ^= mask;
        m_digest->init(state);
        m_digest->update(state, block.data(), size_t(m_digest->blockSize));
    }

    const ClassicDigest *m_digest = nullptr;
    DigestState m_inner;
    DigestState m_outer;
};

} // namespace

struct HmacCalculator::Context
{
    Context()
        : mac(EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr)),
          context(mac ? EVP_MAC_CTX_new(mac) : nullptr)
    {
    }
    ~Context()
    {
        EVP_MAC_CTX_free(context);
        EVP_MAC_free(mac);
    }

    bool evpDigest(char flag, const char *data, int size, unsigned char *digest, size_t &digestSize)
    {
        return EVP_MAC_init(context, nullptr, 0, nullptr)
            && EVP_MAC_update(context, reinterpret_cast<const unsigned char *>(&flag), 1)
            && EVP_MAC_update(context, reinterpret_cast<const unsigned char *>(data), size_t(size))
            && EVP_MAC_final(context, digest, &digestSize, EVP_MAX_MD_SIZE);
    }

    EVP_MAC *const mac;
    EVP_MAC_CTX *const context;
    // What the states were keyed with; no algorithm until the first frame.
    int algorithm = -1;
    QByteArray key;
    // Set for a classic digest; otherwise the EVP context holds the key.
    bool isClassic = false;
    ClassicHmac classic;
};

bool HmacCalculator::isSupported(QCryptographicHash::Algorithm algorithm)
{
    return algorithm >= 0 && algorithm < AlgorithmCount && offeredAlgorithms()[algorithm];
}

int HmacCalculator::hexLength(QCryptographicHash::Algorithm algorithm)
{
    return isSupported(algorithm) ? 2 * QCryptographicHash::hashLength(algorithm) : 0;
}

HmacCalculator::HmacCalculator()
    : m_context(std::make_unique<Context>())
{
}

HmacCalculator::~HmacCalculator() = default;

bool HmacCalculator::hexDigest(QCryptographicHash::Algorithm algorithm, const QByteArray &key, char flag,
                               const char *data, int size, char *hex)
{
    if (!isSupported(algorithm))
        return false;
    if (m_context->algorithm != algorithm || m_context->key != key)
        setKey(algorithm, key);
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest;
    size_t digestSize = 0;
    if (m_context->isClassic) {
        digestSize = size_t(m_context->classic.digest(flag, data, size, digest.data()));
    } else {
        const ErrorQueueMark mark;
        if (m_context->algorithm != algorithm || !m_context->evpDigest(flag, data, size, digest.data(), digestSize)) {
            // A context left half used must be keyed again.
            m_context->algorithm = -1;
            return false;
        }
    }
    writeLowercaseHex(digest.data(), digestSize, hex);
    return true;
}

// Keys the states once; later frames of the same key start from them.
void HmacCalculator::setKey(QCryptographicHash::Algorithm algorithm, const QByteArray &key)
{
    m_context->algorithm = -1;
    m_context->key = key;
    if (const ClassicDigest *digest = classicDigest(algorithm)) {
        m_context->classic.setKey(*digest, key);
        m_context->isClassic = true;
        m_context->algorithm = algorithm;
        return;
    }
    m_context->isClassic = false;
    if (!m_context->context)
        return;
    const ErrorQueueMark mark;
    const std::array<OSSL_PARAM, 2> parameters{
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char *>(digestName(algorithm)), 0),
        OSSL_PARAM_construct_end()};
    // libcrypto refuses an empty key through a null pointer; any address will do.
    static const unsigned char NoKey = 0;
    const auto *keyBytes = key.isEmpty() ? &NoKey : reinterpret_cast<const unsigned char *>(key.constData());
    if (EVP_MAC_init(m_context->context, keyBytes, size_t(key.size()), parameters.data()))
        m_context->algorithm = algorithm;
}

} // namespace Zeto
