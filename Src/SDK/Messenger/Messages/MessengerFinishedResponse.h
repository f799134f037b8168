#ifndef ZETO_MESSENGERFINISHEDRESPONSE_H
#define ZETO_MESSENGERFINISHEDRESPONSE_H

#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class MessengerFinishedResponsePrivate;

// Acknowledges a MessengerFinishedRequest for the same messenger. Its stream
// form equals the request's: only the type name around it tells them apart.
class ZETO_PROTOCOL_EXPORT MessengerFinishedResponse
{
public:
    MessengerFinishedResponse();
    explicit MessengerFinishedResponse(const QByteArray &messengerId);
    MessengerFinishedResponse(const MessengerFinishedResponse &other);
    MessengerFinishedResponse &operator=(const MessengerFinishedResponse &other);
    ~MessengerFinishedResponse();

    QByteArray messengerId() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, MessengerFinishedResponse &message);

    QSharedDataPointer<MessengerFinishedResponsePrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const MessengerFinishedResponse &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, MessengerFinishedResponse &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::MessengerFinishedResponse)

#endif // ZETO_MESSENGERFINISHEDRESPONSE_H
