#include "ConnectedSignalEmittedEvent.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class ConnectedSignalEmittedEventPrivate : public QSharedData
{
public:
    QByteArray connectionId;
    QByteArray senderObjectId;
    QByteArray signalSignature;
    QByteArray receiverObjectId;
    QByteArray slotSignature;
    QVector<QVariant> arguments;
};

ConnectedSignalEmittedEvent::ConnectedSignalEmittedEvent()
    : ConnectedSignalEmittedEvent(
          QByteArray(), QByteArray(), QByteArray(), QByteArray(), QByteArray(), QVector<QVariant>())
{
}

ConnectedSignalEmittedEvent::ConnectedSignalEmittedEvent(const QByteArray &connectionId,
                                                         const QByteArray &senderObjectId,
                                                         const QByteArray &signalSignature,
                                                         const QByteArray &receiverObjectId,
                                                         const QByteArray &slotSignature,
                                                         const QVector<QVariant> &arguments)
    : d(new ConnectedSignalEmittedEventPrivate)
{
    d->connectionId = connectionId;
    d->senderObjectId = senderObjectId;
    d->signalSignature = signalSignature;
    d->receiverObjectId = receiverObjectId;
    d->slotSignature = slotSignature;
    d->arguments = arguments;
    ZETO_REGISTER_MESSAGE_TYPE(ConnectedSignalEmittedEvent);
}

ConnectedSignalEmittedEvent::ConnectedSignalEmittedEvent(const ConnectedSignalEmittedEvent &other) = default;
ConnectedSignalEmittedEvent &ConnectedSignalEmittedEvent::operator=(const ConnectedSignalEmittedEvent &other) = default;
ConnectedSignalEmittedEvent::~ConnectedSignalEmittedEvent() = default;

QByteArray ConnectedSignalEmittedEvent::connectionId() const { return d->connectionId; }
QByteArray ConnectedSignalEmittedEvent::senderObjectId() const { return d->senderObjectId; }
QByteArray ConnectedSignalEmittedEvent::signalSignature() const { return d->signalSignature; }
QByteArray ConnectedSignalEmittedEvent::receiverObjectId() const { return d->receiverObjectId; }
QByteArray ConnectedSignalEmittedEvent::slotSignature() const { return d->slotSignature; }
QVector<QVariant> ConnectedSignalEmittedEvent::arguments() const { return d->arguments; }

DataStream &operator<<(DataStream &stream, const ConnectedSignalEmittedEvent &message)
{
    return stream << message.connectionId() << message.senderObjectId() << message.signalSignature()
                  << message.receiverObjectId() << message.slotSignature() << message.arguments();
}

DataStream &operator>>(DataStream &stream, ConnectedSignalEmittedEvent &message)
{
    ConnectedSignalEmittedEventPrivate &data = *message.d;
    return stream >> data.connectionId >> data.senderObjectId >> data.signalSignature >> data.receiverObjectId
                  >> data.slotSignature >> data.arguments;
}

} // namespace Zeto
