#ifndef ZETO_CREATEENDPOINTREQUEST_H
#define ZETO_CREATEENDPOINTREQUEST_H

#include "../../Messenger/MessageDeclaration.h"

#include <QtCore/QByteArray>

// Asks the peer's endpoint factory for an endpoint that talks to the
// requester's new endpoint (endpointId) over a new messenger, which the peer
// creates with messengerId.
// clang-format off
#define ZETO_CREATE_ENDPOINT_REQUEST_FIELDS(Field)                                                                     \
    Field(QByteArray, endpointId)                                                                                      \
    Field(QByteArray, messengerId)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(CreateEndpointRequest, ZETO_CREATE_ENDPOINT_REQUEST_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::CreateEndpointRequest)

#endif // ZETO_CREATEENDPOINTREQUEST_H
