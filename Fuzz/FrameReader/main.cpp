// Feeds frames to the courier's frame reader and round-trips every value that
// reads. The input is one byte of settings, then the frame's flag byte and
// data, which the harness signs with a fixed key so that the fuzzer gets past
// the HMAC to inflate and decoding. With the unsigned bit set, the rest is the
// whole frame as it came, to exercise the integrity checks.

#include "FuzzSupport.h"

#include <WebSocketBasedQVariantCourier/QVariantReaderWriter.h>

#include <QtCore/QMessageAuthenticationCode>

#include <cstddef>
#include <cstdint>

namespace {

using Zeto::FrameSettings;
using Zeto::QVariantReaderWriter;

// The seed script signs its frames with the same key.
const QByteArray Key = QByteArrayLiteral("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff"
                                         "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");

// The settings byte: the algorithm's index in the low two bits, then whether
// to compress, whether only from the threshold on, and whether to sign.
constexpr QCryptographicHash::Algorithm Algorithms[] = {
    QCryptographicHash::Sha1, QCryptographicHash::Sha256, QCryptographicHash::Sha512, QCryptographicHash::Md5};
constexpr uchar AlgorithmBits = 0x03;
constexpr uchar CompressBit = 0x04;
constexpr uchar ThresholdBit = 0x08;
constexpr uchar UnsignedBit = 0x80;
constexpr int Threshold = 100;

FrameSettings settingsFrom(uchar selector)
{
    FrameSettings settings;
    settings.hmacAlgorithm = Algorithms[selector & AlgorithmBits];
    settings.hmacKey = Key;
    settings.compress = selector & CompressBit;
    settings.compressMinSizeInBytes = (selector & ThresholdBit) ? Threshold : 0;
    return settings;
}

QByteArray signedFrame(const FrameSettings &settings, const QByteArray &flagAndData)
{
    return QMessageAuthenticationCode::hash(flagAndData, settings.hmacKey, settings.hmacAlgorithm).toHex()
        + flagAndData;
}

// Frames as the courier sends and receives them, for ZetoFuzz::checkRoundTrip.
class FrameForm
{
public:
    explicit FrameForm(const FrameSettings &settings)
        : m_settings(settings)
    {
    }

    bool write(const QVariant &value, QByteArray &frame) const
    {
        ZetoFuzz::forgetUnstreamableType();
        return QVariantReaderWriter::forCurrentThread().write(frame, m_settings, value);
    }

    bool read(const QByteArray &frame, QVariant &value) const
    {
        return QVariantReaderWriter::forCurrentThread().read(value, m_settings, frame);
    }

    // A compressed frame may inflate to a value that is too large to go
    // out again when these settings send it uncompressed.
    bool mayFailToWrite(const QVariant &value) const
    {
        if (ZetoFuzz::metUnstreamableType())
            return true;
        const int room = QVariantReaderWriter::MaxMessageSize
            - QVariantReaderWriter::hmacHexLength(m_settings.hmacAlgorithm) - 1;
        QByteArray streamForm;
        return ZetoFuzz::encode(value, streamForm) && streamForm.size() > room;
    }

private:
    FrameSettings m_settings;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ZetoFuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uchar selector = data[0];
    const FrameSettings settings = settingsFrom(selector);
    const QByteArray rest = QByteArray::fromRawData(reinterpret_cast<const char *>(data) + 1, int(size) - 1);
    const QByteArray frame = (selector & UnsignedBit) ? rest : signedFrame(settings, rest);
    // The codec's stream registers every message type when it is made, so
    // frames may carry any of them, as they may to a running client.
    QVariant value;
    if (QVariantReaderWriter::forCurrentThread().read(value, settings, frame))
        ZetoFuzz::checkRoundTrip(value, FrameForm(settings));
    return 0;
}
