#ifndef ZETO_INSTANTIATEDQOBJECTDESTROYEDEVENT_H
#define ZETO_INSTANTIATEDQOBJECTDESTROYEDEVENT_H

#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class InstantiatedQObjectDestroyedEventPrivate;

// Tells the peer that an instantiated object no longer exists.
class ZETO_PROTOCOL_EXPORT InstantiatedQObjectDestroyedEvent
{
public:
    InstantiatedQObjectDestroyedEvent();
    explicit InstantiatedQObjectDestroyedEvent(const QByteArray &objectId);
    InstantiatedQObjectDestroyedEvent(const InstantiatedQObjectDestroyedEvent &other);
    InstantiatedQObjectDestroyedEvent &operator=(const InstantiatedQObjectDestroyedEvent &other);
    ~InstantiatedQObjectDestroyedEvent();

    QByteArray objectId() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, InstantiatedQObjectDestroyedEvent &message);

    QSharedDataPointer<InstantiatedQObjectDestroyedEventPrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const InstantiatedQObjectDestroyedEvent &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, InstantiatedQObjectDestroyedEvent &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::InstantiatedQObjectDestroyedEvent)

#endif // ZETO_INSTANTIATEDQOBJECTDESTROYEDEVENT_H
