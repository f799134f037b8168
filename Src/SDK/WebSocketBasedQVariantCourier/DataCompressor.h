#ifndef ZETO_DATACOMPRESSOR_H
#define ZETO_DATACOMPRESSOR_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>

#include <memory>

namespace Zeto {

// Compresses and decompresses whole messages, each as one complete zlib
// stream. The streams are reset after every call, so each message stands on
// its own; the work buffer is shared by all compressors of a thread, so calls
// allocate nothing as long as the caller's output has room.
class ZETO_AUTOTEST_EXPORT DataCompressor
{
public:
    // No message, compressed or not, grows beyond this: it bounds what a peer
    // can make us inflate.
    static constexpr int MaxMessageSize = 64 * 1024 * 1024;
    static constexpr int DefaultLevel = -1;

    // Levels outside 0..9 mean the default level.
    explicit DataCompressor(int level = DefaultLevel);
    DataCompressor(const DataCompressor &) = delete;
    DataCompressor &operator=(const DataCompressor &) = delete;
    ~DataCompressor();

    // Both replace output and return false, with output empty, on failure.
    bool compress(const QByteArray &input, QByteArray &output);
    bool uncompress(const QByteArray &input, QByteArray &output);

private:
    struct ZlibStreams;
    const std::unique_ptr<ZlibStreams> m_streams;
};

} // namespace Zeto

#endif // ZETO_DATACOMPRESSOR_H
