// Feeds arbitrary bytes to both handshake parsers, the client's for the hello
// and the serving side's for the reply. Whatever they accept must be settings
// a courier can run with, and must survive being written and parsed again.

#include "FuzzSupport.h"

#include <WebSocketBasedQVariantCourier/ZetoHandshake.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

using Zeto::ClientReply;
using Zeto::ServerHello;

// The fields that both messages carry.
template <typename Message>
void checkCommonFields(const QByteArray &message, const Message &parsed)
{
    if (message.size() > Zeto::MaxHandshakeMessageSize)
        ZetoFuzz::fail("an oversized handshake message was parsed", message);
    if (parsed.dataStreamVersion < 1)
        ZetoFuzz::fail("a stream version below 1 was accepted", message);
    if (QCryptographicHash::hashLength(parsed.hmacAlgorithm) <= 0)
        ZetoFuzz::fail("an algorithm without a digest was accepted", message);
    if (parsed.token.isEmpty() || parsed.token.size() > Zeto::MaxTokenLength)
        ZetoFuzz::fail("a token of the wrong length was accepted", message);
}

bool operator==(const ServerHello &left, const ServerHello &right)
{
    return left.dataStreamVersion == right.dataStreamVersion && left.hmacAlgorithm == right.hmacAlgorithm
        && left.token == right.token && left.compress == right.compress
        && left.compressMinSizeInBytes == right.compressMinSizeInBytes;
}

bool operator==(const ClientReply &left, const ClientReply &right)
{
    return left.dataStreamVersion == right.dataStreamVersion && left.hmacAlgorithm == right.hmacAlgorithm
        && left.token == right.token;
}

template <typename Message>
void checkRoundTrip(const Message &parsed, std::optional<Message> (*parse)(const QByteArray &),
                    QByteArray (*serialize)(const Message &))
{
    const QByteArray written = serialize(parsed);
    // A token of control characters, each escaped in six bytes, can outgrow
    // the limit on arriving messages once written again; we only ever write
    // tokens of hex digits.
    if (written.size() > Zeto::MaxHandshakeMessageSize)
        return;
    const std::optional<Message> again = parse(written);
    if (!again)
        ZetoFuzz::fail("a written handshake message does not parse", written);
    if (!(*again == parsed))
        ZetoFuzz::fail("a handshake message changes on a round trip", written + "\n" + serialize(*again));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ZetoFuzz::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray message = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    if (const std::optional<ServerHello> hello = Zeto::parseServerHello(message)) {
        checkCommonFields(message, *hello);
        checkRoundTrip(*hello, Zeto::parseServerHello, Zeto::serializeServerHello);
    }
    if (const std::optional<ClientReply> reply = Zeto::parseClientReply(message)) {
        checkCommonFields(message, *reply);
        checkRoundTrip(*reply, Zeto::parseClientReply, Zeto::serializeClientReply);
    }
    return 0;
}
