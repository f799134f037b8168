#ifndef ZETO_MESSENGERFINISHEDREQUEST_H
#define ZETO_MESSENGERFINISHEDREQUEST_H

#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class MessengerFinishedRequestPrivate;

// Tells the peer's broker that a messenger has finished on this side.
class ZETO_PROTOCOL_EXPORT MessengerFinishedRequest
{
public:
    MessengerFinishedRequest();
    explicit MessengerFinishedRequest(const QByteArray &messengerId);
    MessengerFinishedRequest(const MessengerFinishedRequest &other);
    MessengerFinishedRequest &operator=(const MessengerFinishedRequest &other);
    ~MessengerFinishedRequest();

    QByteArray messengerId() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, MessengerFinishedRequest &message);

    QSharedDataPointer<MessengerFinishedRequestPrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const MessengerFinishedRequest &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, MessengerFinishedRequest &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::MessengerFinishedRequest)

#endif // ZETO_MESSENGERFINISHEDREQUEST_H
