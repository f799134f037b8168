#ifndef ZETO_INSTANTIATEDQOBJECTDESTROYEDEVENT_H
#define ZETO_INSTANTIATEDQOBJECTDESTROYEDEVENT_H

#include "../../Messenger/MessageDeclaration.h"

#include <QtCore/QByteArray>

// Tells the peer that an instantiated object no longer exists.
// clang-format off
#define ZETO_INSTANTIATED_QOBJECT_DESTROYED_EVENT_FIELDS(Field)                                                        \
    Field(QByteArray, objectId)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(InstantiatedQObjectDestroyedEvent, ZETO_INSTANTIATED_QOBJECT_DESTROYED_EVENT_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::InstantiatedQObjectDestroyedEvent)

#endif // ZETO_INSTANTIATEDQOBJECTDESTROYEDEVENT_H
