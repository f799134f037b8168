#ifndef ZETO_CONNECTIONREQUEST_H
#define ZETO_CONNECTIONREQUEST_H

#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class ConnectionRequestPrivate;

// Links a signal of one object to a slot of another, one of the two living on
// the peer.
class ZETO_PROTOCOL_EXPORT ConnectionRequest
{
public:
    ConnectionRequest();
    ConnectionRequest(const QByteArray &connectionId,
                      const QByteArray &senderObjectId,
                      const QByteArray &signalSignature,
                      const QByteArray &receiverObjectId,
                      const QByteArray &slotSignature);
    ConnectionRequest(const ConnectionRequest &other);
    ConnectionRequest &operator=(const ConnectionRequest &other);
    ~ConnectionRequest();

    // Chosen by the requester for the link.
    QByteArray connectionId() const;
    QByteArray senderObjectId() const;
    // In SIGNAL code form: "2" and the normalised signature.
    QByteArray signalSignature() const;
    QByteArray receiverObjectId() const;
    // In SLOT code form: "1" and the normalised signature.
    QByteArray slotSignature() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, ConnectionRequest &message);

    QSharedDataPointer<ConnectionRequestPrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const ConnectionRequest &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, ConnectionRequest &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::ConnectionRequest)

#endif // ZETO_CONNECTIONREQUEST_H
