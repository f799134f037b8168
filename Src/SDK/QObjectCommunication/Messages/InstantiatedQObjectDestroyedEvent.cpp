#include "InstantiatedQObjectDestroyedEvent.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class InstantiatedQObjectDestroyedEventPrivate : public QSharedData
{
public:
    QByteArray objectId;
};

InstantiatedQObjectDestroyedEvent::InstantiatedQObjectDestroyedEvent()
    : InstantiatedQObjectDestroyedEvent(QByteArray())
{
}

InstantiatedQObjectDestroyedEvent::InstantiatedQObjectDestroyedEvent(const QByteArray &objectId)
    : d(new InstantiatedQObjectDestroyedEventPrivate)
{
    d->objectId = objectId;
    ZETO_REGISTER_MESSAGE_TYPE(InstantiatedQObjectDestroyedEvent);
}

InstantiatedQObjectDestroyedEvent::InstantiatedQObjectDestroyedEvent(
    const InstantiatedQObjectDestroyedEvent &other) = default;
InstantiatedQObjectDestroyedEvent &InstantiatedQObjectDestroyedEvent::operator=(
    const InstantiatedQObjectDestroyedEvent &other) = default;
InstantiatedQObjectDestroyedEvent::~InstantiatedQObjectDestroyedEvent() = default;

QByteArray InstantiatedQObjectDestroyedEvent::objectId() const { return d->objectId; }

DataStream &operator<<(DataStream &stream, const InstantiatedQObjectDestroyedEvent &message)
{
    return stream << message.objectId();
}

DataStream &operator>>(DataStream &stream, InstantiatedQObjectDestroyedEvent &message)
{
    InstantiatedQObjectDestroyedEventPrivate &data = *message.d;
    return stream >> data.objectId;
}

} // namespace Zeto
