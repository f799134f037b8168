#ifndef ZETO_MESSAGE_H
#define ZETO_MESSAGE_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>
#include <QtCore/QVariant>

namespace Zeto {

class DataStream;
class MessagePrivate;

// The envelope of everything a messenger sends: the messenger's id and the
// payload, one of the QObject-communication messages held in a QVariant.
class ZETO_PROTOCOL_EXPORT Message
{
public:
    Message();
    Message(const QByteArray &messengerId, const QVariant &data);
    Message(const Message &other);
    Message &operator=(const Message &other);
    ~Message();

    QByteArray messengerId() const;
    QVariant data() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, Message &message);

    QSharedDataPointer<MessagePrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const Message &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, Message &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::Message)

#endif // ZETO_MESSAGE_H
