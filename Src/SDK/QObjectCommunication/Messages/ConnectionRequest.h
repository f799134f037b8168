#ifndef ZETO_CONNECTIONREQUEST_H
#define ZETO_CONNECTIONREQUEST_H

#include "../../Messenger/MessageDeclaration.h"

#include <QtCore/QByteArray>

// Links a signal of one object to a slot of another, one of the two living on
// the peer. The requester chooses connectionId; the signature fields are in
// SIGNAL and SLOT code form ("2" or "1" and the normalised signature).
// clang-format off
#define ZETO_CONNECTION_REQUEST_FIELDS(Field)                                                                          \
    Field(QByteArray, connectionId)                                                                                    \
    Field(QByteArray, senderObjectId)                                                                                  \
    Field(QByteArray, signalSignature)                                                                                 \
    Field(QByteArray, receiverObjectId)                                                                                \
    Field(QByteArray, slotSignature)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(ConnectionRequest, ZETO_CONNECTION_REQUEST_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::ConnectionRequest)

#endif // ZETO_CONNECTIONREQUEST_H
