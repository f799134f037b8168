#ifndef ZETO_DISCONNECTIONREQUEST_H
#define ZETO_DISCONNECTIONREQUEST_H

#include "../../Messenger/MessageDeclaration.h"
#include "DisconnectReason.h"

#include <QtCore/QByteArray>

// Asks the peer to remove a link.
// clang-format off
#define ZETO_DISCONNECTION_REQUEST_FIELDS(Field)                                                                       \
    Field(QByteArray, connectionId)                                                                                    \
    Field(DisconnectReason, reason)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(DisconnectionRequest, ZETO_DISCONNECTION_REQUEST_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::DisconnectionRequest)

#endif // ZETO_DISCONNECTIONREQUEST_H
