#ifndef ZETO_CALLSLOTREQUEST_H
#define ZETO_CALLSLOTREQUEST_H

#include "../../Messenger/MessageDeclaration.h"

#include <QtCore/QByteArray>
#include <QtCore/QVariant>
#include <QtCore/QVector>

// Calls a slot of an instantiated object, directly or as the delivery of a
// linked signal. The caller chooses slotCallId to match the response;
// slotSignature is in SLOT code form ("1" and the normalised signature);
// connectionId is empty for a direct call, the link when a linked signal is
// delivered.
// clang-format off
#define ZETO_CALL_SLOT_REQUEST_FIELDS(Field)                                                                           \
    Field(QByteArray, objectId)                                                                                        \
    Field(QByteArray, slotCallId)                                                                                      \
    Field(QByteArray, slotSignature)                                                                                   \
    Field(QVector<QVariant>, arguments)                                                                                \
    Field(QByteArray, connectionId)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(CallSlotRequest, ZETO_CALL_SLOT_REQUEST_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::CallSlotRequest)

#endif // ZETO_CALLSLOTREQUEST_H
