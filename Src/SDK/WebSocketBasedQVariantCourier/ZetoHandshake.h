#ifndef ZETO_ZETOHANDSHAKE_H
#define ZETO_ZETOHANDSHAKE_H

#include "../ZetoGlobal.h"
#include "../DataStream/DataStream.h"

#include <QtCore/QByteArray>
#include <QtCore/QCryptographicHash>
#include <QtCore/QString>

#include <optional>

// The two JSON messages that open every connection: the serving side's hello,
// then the connecting side's reply. Both sides derive the HMAC key of the
// frames from the two tokens.
namespace Zeto {

// The highest stream version this side speaks.
constexpr int HighestDataStreamVersion = DataStream::Version1;
// Larger handshake messages are refused before they are parsed.
constexpr int MaxHandshakeMessageSize = 4 * 1024;
constexpr int MaxTokenLength = 1024;

struct ServerHello
{
    int dataStreamVersion = HighestDataStreamVersion;
    QCryptographicHash::Algorithm hmacAlgorithm = QCryptographicHash::Sha1;
    QString token;
    bool compress = false;
    int compressMinSizeInBytes = 0;
};

struct ClientReply
{
    int dataStreamVersion = HighestDataStreamVersion;
    QCryptographicHash::Algorithm hmacAlgorithm = QCryptographicHash::Sha1;
    QString token;
};

// Empty when the message is not exactly the expected JSON object, a number is
// not finite or out of range, the algorithm has no digest, the version is
// below 1 or the token is empty or longer than MaxTokenLength.
ZETO_PRIVATE_EXPORT std::optional<ServerHello> parseServerHello(const QByteArray &message);
ZETO_PRIVATE_EXPORT std::optional<ClientReply> parseClientReply(const QByteArray &message);

// Compact JSON, keys in alphabetical order.
ZETO_PRIVATE_EXPORT QByteArray serializeServerHello(const ServerHello &hello);
ZETO_PRIVATE_EXPORT QByteArray serializeClientReply(const ClientReply &reply);

// 128 lowercase hex characters from a fresh UUID and the system's random source.
ZETO_PRIVATE_EXPORT QString makeHandshakeToken();
// 128 lowercase hex characters: these characters, not the raw digest, are the key.
ZETO_PRIVATE_EXPORT QByteArray deriveHmacKey(const QString &serverToken, const QString &clientToken);

} // namespace Zeto

#endif // ZETO_ZETOHANDSHAKE_H
