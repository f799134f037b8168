#ifndef ZETO_CONNECTEDSIGNALEMITTEDEVENT_H
#define ZETO_CONNECTEDSIGNALEMITTEDEVENT_H

#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>
#include <QtCore/QVariant>
#include <QtCore/QVector>

namespace Zeto {

class DataStream;
class ConnectedSignalEmittedEventPrivate;

// One emission of a linked signal, sent from the sender's side: the link as
// its ConnectionRequest described it, and the values of the signal's arguments.
class ZETO_PROTOCOL_EXPORT ConnectedSignalEmittedEvent
{
public:
    ConnectedSignalEmittedEvent();
    ConnectedSignalEmittedEvent(const QByteArray &connectionId,
                                const QByteArray &senderObjectId,
                                const QByteArray &signalSignature,
                                const QByteArray &receiverObjectId,
                                const QByteArray &slotSignature,
                                const QVector<QVariant> &arguments);
    ConnectedSignalEmittedEvent(const ConnectedSignalEmittedEvent &other);
    ConnectedSignalEmittedEvent &operator=(const ConnectedSignalEmittedEvent &other);
    ~ConnectedSignalEmittedEvent();

    QByteArray connectionId() const;
    QByteArray senderObjectId() const;
    QByteArray signalSignature() const;
    QByteArray receiverObjectId() const;
    QByteArray slotSignature() const;
    QVector<QVariant> arguments() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, ConnectedSignalEmittedEvent &message);

    QSharedDataPointer<ConnectedSignalEmittedEventPrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const ConnectedSignalEmittedEvent &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, ConnectedSignalEmittedEvent &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::ConnectedSignalEmittedEvent)

#endif // ZETO_CONNECTEDSIGNALEMITTEDEVENT_H
