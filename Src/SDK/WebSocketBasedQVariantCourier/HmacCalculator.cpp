#include "HmacCalculator.h"

#include "../LowercaseHex_p.h"

#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <array>

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

    EVP_MAC *const mac;
    EVP_MAC_CTX *const context;
    // What the context was keyed with; no algorithm until the first frame.
    int algorithm = -1;
    QByteArray key;
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
    const ErrorQueueMark mark;
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest;
    size_t digestSize = 0;
    const bool done = start(algorithm, key)
        && EVP_MAC_update(m_context->context, reinterpret_cast<const unsigned char *>(&flag), 1)
        && EVP_MAC_update(m_context->context, reinterpret_cast<const unsigned char *>(data), size_t(size))
        && EVP_MAC_final(m_context->context, digest.data(), &digestSize, digest.size());
    if (!done) {
        // A context left half used must be keyed again.
        m_context->algorithm = -1;
        return false;
    }
    writeLowercaseHex(digest.data(), digestSize, hex);
    return true;
}

// The same key again only restarts from the kept states.
bool HmacCalculator::start(QCryptographicHash::Algorithm algorithm, const QByteArray &key)
{
    if (!m_context->context || !isSupported(algorithm))
        return false;
    if (m_context->algorithm == algorithm && m_context->key == key)
        return EVP_MAC_init(m_context->context, nullptr, 0, nullptr);
    const std::array<OSSL_PARAM, 2> parameters{
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char *>(digestName(algorithm)), 0),
        OSSL_PARAM_construct_end()};
    // libcrypto refuses an empty key through a null pointer; any address will do.
    static const unsigned char NoKey = 0;
    const auto *keyBytes = key.isEmpty() ? &NoKey : reinterpret_cast<const unsigned char *>(key.constData());
    if (!EVP_MAC_init(m_context->context, keyBytes, size_t(key.size()), parameters.data()))
        return false;
    m_context->algorithm = algorithm;
    m_context->key = key;
    return true;
}

} // namespace Zeto
