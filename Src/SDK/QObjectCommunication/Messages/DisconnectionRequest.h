#ifndef ZETO_DISCONNECTIONREQUEST_H
#define ZETO_DISCONNECTIONREQUEST_H

#include "../../ZetoGlobal.h"
#include "DisconnectReason.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class DisconnectionRequestPrivate;

// Asks the peer to remove a link.
class ZETO_PROTOCOL_EXPORT DisconnectionRequest
{
public:
    DisconnectionRequest();
    DisconnectionRequest(const QByteArray &connectionId, DisconnectReason reason);
    DisconnectionRequest(const DisconnectionRequest &other);
    DisconnectionRequest &operator=(const DisconnectionRequest &other);
    ~DisconnectionRequest();

    QByteArray connectionId() const;
    DisconnectReason reason() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, DisconnectionRequest &message);

    QSharedDataPointer<DisconnectionRequestPrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const DisconnectionRequest &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, DisconnectionRequest &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::DisconnectionRequest)

#endif // ZETO_DISCONNECTIONREQUEST_H
