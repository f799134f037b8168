#ifndef ZETO_CALLSLOTRESPONSE_H
#define ZETO_CALLSLOTRESPONSE_H

#include "../../Messenger/MessageDeclaration.h"
#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QByteArray>
#include <QtCore/QVariant>

// The outcome of a slot call: the slot's return value, invalid on failure.
// Unlike the other responses it carries only the request's ids, not the
// request.
// clang-format off
#define ZETO_CALL_SLOT_RESPONSE_FIELDS(Field)                                                                          \
    Field(bool, success)                                                                                               \
    Field(QByteArray, objectId)                                                                                        \
    Field(QByteArray, slotCallId)                                                                                      \
    Field(QVariant, result)                                                                                            \
    Field(ErrorInfo, errorInfo)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(CallSlotResponse, ZETO_CALL_SLOT_RESPONSE_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::CallSlotResponse)

#endif // ZETO_CALLSLOTRESPONSE_H
