#ifndef ZETO_QVARIANTREADERWRITER_H
#define ZETO_QVARIANTREADERWRITER_H

#include "../ZetoGlobal.h"
#include "../DataStream/DataStream.h"
#include "DataCompressor.h"
#include "HmacCalculator.h"

#include <QtCore/QBuffer>
#include <QtCore/QByteArray>
#include <QtCore/QCryptographicHash>
#include <QtCore/QVariant>

namespace Zeto {

// What one connection agreed on in its handshake. Each courier keeps its own,
// so that couriers sharing a thread never steer each other's frames.
struct FrameSettings
{
    QCryptographicHash::Algorithm hmacAlgorithm = QCryptographicHash::Sha1;
    QByteArray hmacKey;
    bool compress = false;
    // Compared as unsigned: a negative threshold never compresses.
    int compressMinSizeInBytes = 0;
    DataStream::Version dataStreamVersion = DataStream::DefaultVersion;
};

// Turns one QVariant into one frame and back: the lowercase hex HMAC of what
// follows, a flag byte (0x00 plain, 0x01 compressed) and the value's stream
// form. Holds the work buffers and streams only, so one instance per thread
// serves every courier of that thread without allocating in the steady state.
class ZETO_PRIVATE_EXPORT QVariantReaderWriter
{
public:
    // No frame, and no value's stream form, is larger than this.
    static constexpr int MaxMessageSize = DataCompressor::MaxMessageSize;

    QVariantReaderWriter();
    QVariantReaderWriter(const QVariantReaderWriter &) = delete;
    QVariantReaderWriter &operator=(const QVariantReaderWriter &) = delete;
    ~QVariantReaderWriter();

    // The calling thread's instance, deleted when the thread ends.
    static QVariantReaderWriter &forCurrentThread();

    // Twice the digest length: 0 for an algorithm frames cannot be signed with.
    static int hmacHexLength(QCryptographicHash::Algorithm algorithm);

    // Replaces out with the frame; false when the value cannot be written or
    // the frame would exceed MaxMessageSize.
    bool write(QByteArray &out, const FrameSettings &settings, const QVariant &value);
    // Replaces out with the value's stream form in the default version, for a
    // value that must wait for the settings of its frame; false when it
    // cannot be written within MaxMessageSize.
    bool writeStreamForm(QByteArray &out, const QVariant &value);
    // Replaces out with the frame of a stream form from writeStreamForm();
    // false when the frame would exceed MaxMessageSize.
    bool writeFrame(QByteArray &out, const FrameSettings &settings, const QByteArray &streamForm);
    // Replaces out with the value; false, with out invalid, when the frame
    // fails its HMAC, has an unknown flag or does not decompress or decode.
    bool read(QVariant &out, const FrameSettings &settings, const QByteArray &frame);

private:
    bool frame(QByteArray &out, const FrameSettings &settings, const QByteArray &serialized);
    bool readFrame(QVariant &out, const FrameSettings &settings, const QByteArray &frame);
    void releaseWorkBuffers();
    bool serialize(const QVariant &value, DataStream::Version version);
    bool compress(const FrameSettings &settings, const QByteArray &serialized);
    bool deserialize(QVariant &out, DataStream::Version version, const char *data, int size);

    QByteArray m_serialized;
    QByteArray m_compressed;
    QByteArray m_decompressed;
    // The read buffer's own array: pointed at each received frame in turn,
    // it keeps its header, so reading allocates nothing of its own.
    QByteArray m_received;
    QBuffer m_writeBuffer;
    QBuffer m_readBuffer;
    DataStream m_writeStream;
    DataStream m_readStream;
    DataCompressor m_compressor;
    // Keeps the last connection's key schedule, so that neither the key
    // (longer than a hash block) is hashed again, nor anything allocated,
    // for every frame.
    HmacCalculator m_hmac;
};

} // namespace Zeto

#endif // ZETO_QVARIANTREADERWRITER_H
