#ifndef ZETO_MESSENGERFINISHEDREQUEST_H
#define ZETO_MESSENGERFINISHEDREQUEST_H

#include "../../Messenger/MessageDeclaration.h"

#include <QtCore/QByteArray>

// Tells the peer's broker that a messenger has finished on this side.
// clang-format off
#define ZETO_MESSENGER_FINISHED_REQUEST_FIELDS(Field)                                                                  \
    Field(QByteArray, messengerId)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(MessengerFinishedRequest, ZETO_MESSENGER_FINISHED_REQUEST_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::MessengerFinishedRequest)

#endif // ZETO_MESSENGERFINISHEDREQUEST_H
