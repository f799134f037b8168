#ifndef ZETO_MESSENGERFINISHEDRESPONSE_H
#define ZETO_MESSENGERFINISHEDRESPONSE_H

#include "../../Messenger/MessageDeclaration.h"

#include <QtCore/QByteArray>

// Acknowledges a MessengerFinishedRequest for the same messenger. Its stream
// form equals the request's: only the type name around it tells them apart.
// clang-format off
#define ZETO_MESSENGER_FINISHED_RESPONSE_FIELDS(Field)                                                                 \
    Field(QByteArray, messengerId)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(MessengerFinishedResponse, ZETO_MESSENGER_FINISHED_RESPONSE_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::MessengerFinishedResponse)

#endif // ZETO_MESSENGERFINISHEDRESPONSE_H
