#include "ZetoHandshake.h"

#include "HmacCalculator.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QJsonValue>
#include <QtCore/QMetaEnum>
#include <QtCore/QRandomGenerator>
#include <QtCore/QUuid>
#include <QtCore/QtEndian>

#include <cmath>
#include <initializer_list>
#include <limits>

namespace Zeto {

namespace {

const QLatin1String DataStreamVersionKey("dataStreamVersion");
const QLatin1String HmacAlgorithmKey("hmacAlgorithm");
const QLatin1String TokenKey("token");
const QLatin1String CompressKey("compress");
const QLatin1String CompressMinSizeInBytesKey("compressMinSizeInBytes");

constexpr int RandomWordsInToken = 10;

// Qt's JSON parser leaks an array or object whose key comes again later in
// the same object. Handshake messages hold neither, so one that opens a
// second array or object is refused before Qt parses it.
bool opensOneContainerAtMost(const QByteArray &message)
{
    int containers = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : message) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if ((c == '{' || c == '[') && ++containers > 1) {
            return false;
        }
    }
    return true;
}

// An object with exactly these keys, or nothing.
std::optional<QJsonObject> parseObject(const QByteArray &message, std::initializer_list<QLatin1String> keys)
{
    if (message.size() > MaxHandshakeMessageSize || !opensOneContainerAtMost(message))
        return std::nullopt;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(message, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (object.size() != int(keys.size()))
        return std::nullopt;
    for (const QLatin1String &key : keys) {
        if (!object.contains(key))
            return std::nullopt;
    }
    return object;
}

// Truncates towards zero, but only numbers for which that is defined.
bool readInt(const QJsonValue &value, int &out)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    const double below = double(std::numeric_limits<int>::min()) - 1.0;
    const double above = double(std::numeric_limits<int>::max()) + 1.0;
    if (!std::isfinite(number) || number <= below || number >= above)
        return false;
    out = int(number);
    return true;
}

bool readVersion(const QJsonValue &value, int &out)
{
    return readInt(value, out) && out >= 1;
}

// An unknown algorithm has no digest: every frame would pass an empty HMAC.
// One that libcrypto lacks would fail every frame, so it fails here.
bool readAlgorithm(const QJsonValue &value, QCryptographicHash::Algorithm &out)
{
    int number = 0;
    if (!readInt(value, number) || double(number) != value.toDouble())
        return false;
    if (!QMetaEnum::fromType<QCryptographicHash::Algorithm>().valueToKey(number))
        return false;
    out = QCryptographicHash::Algorithm(number);
    return HmacCalculator::isSupported(out);
}

bool readToken(const QJsonValue &value, QString &out)
{
    if (!value.isString())
        return false;
    out = value.toString();
    return !out.isEmpty() && out.size() <= MaxTokenLength;
}

QByteArray compactJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

std::optional<ServerHello> parseServerHello(const QByteArray &message)
{
    const std::optional<QJsonObject> object = parseObject(message,
        {DataStreamVersionKey, HmacAlgorithmKey, TokenKey, CompressKey, CompressMinSizeInBytesKey});
    if (!object)
        return std::nullopt;
    ServerHello hello;
    const QJsonValue compress = object->value(CompressKey);
    if (!readVersion(object->value(DataStreamVersionKey), hello.dataStreamVersion)
        || !readAlgorithm(object->value(HmacAlgorithmKey), hello.hmacAlgorithm)
        || !readToken(object->value(TokenKey), hello.token)
        || !compress.isBool()
        || !readInt(object->value(CompressMinSizeInBytesKey), hello.compressMinSizeInBytes))
        return std::nullopt;
    hello.compress = compress.toBool();
    return hello;
}

std::optional<ClientReply> parseClientReply(const QByteArray &message)
{
    const std::optional<QJsonObject> object = parseObject(message, {DataStreamVersionKey, HmacAlgorithmKey, TokenKey});
    if (!object)
        return std::nullopt;
    ClientReply reply;
    if (!readVersion(object->value(DataStreamVersionKey), reply.dataStreamVersion)
        || !readAlgorithm(object->value(HmacAlgorithmKey), reply.hmacAlgorithm)
        || !readToken(object->value(TokenKey), reply.token))
        return std::nullopt;
    return reply;
}

QByteArray serializeServerHello(const ServerHello &hello)
{
    return compactJson(QJsonObject{
        {DataStreamVersionKey, hello.dataStreamVersion},
        {HmacAlgorithmKey, int(hello.hmacAlgorithm)},
        {TokenKey, hello.token},
        {CompressKey, hello.compress},
        {CompressMinSizeInBytesKey, hello.compressMinSizeInBytes},
    });
}

QByteArray serializeClientReply(const ClientReply &reply)
{
    return compactJson(QJsonObject{
        {DataStreamVersionKey, reply.dataStreamVersion},
        {HmacAlgorithmKey, int(reply.hmacAlgorithm)},
        {TokenKey, reply.token},
    });
}

QString makeHandshakeToken()
{
    QCryptographicHash hash(QCryptographicHash::Sha512);
    hash.addData(QUuid::createUuid().toByteArray(QUuid::Id128));
    QRandomGenerator *const random = QRandomGenerator::system();
    for (int i = 0; i < RandomWordsInToken; ++i) {
        const quint64 word = qToLittleEndian(random->generate64());
        hash.addData(reinterpret_cast<const char *>(&word), int(sizeof word));
    }
    return QString::fromLatin1(hash.result().toHex());
}

QByteArray deriveHmacKey(const QString &serverToken, const QString &clientToken)
{
    QCryptographicHash hash(QCryptographicHash::Sha512);
    hash.addData(serverToken.toLatin1().toHex());
    hash.addData(clientToken.toLatin1().toHex());
    return hash.result().toHex();
}

} // namespace Zeto
