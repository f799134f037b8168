#ifndef ZETO_DISCONNECTIONRESPONSE_H
#define ZETO_DISCONNECTIONRESPONSE_H

#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class DisconnectionResponsePrivate;

// Confirms that a link was removed. Its stream form equals that of an
// InstantiatedQObjectDestroyedEvent: only the type name tells them apart.
class ZETO_PROTOCOL_EXPORT DisconnectionResponse
{
public:
    DisconnectionResponse();
    explicit DisconnectionResponse(const QByteArray &connectionId);
    DisconnectionResponse(const DisconnectionResponse &other);
    DisconnectionResponse &operator=(const DisconnectionResponse &other);
    ~DisconnectionResponse();

    QByteArray connectionId() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, DisconnectionResponse &message);

    QSharedDataPointer<DisconnectionResponsePrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const DisconnectionResponse &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, DisconnectionResponse &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::DisconnectionResponse)

#endif // ZETO_DISCONNECTIONRESPONSE_H
