#ifndef ZETO_CREATEENDPOINTRESPONSE_H
#define ZETO_CREATEENDPOINTRESPONSE_H

#include "../../Messenger/MessageDeclaration.h"
#include "../../ErrorHandler/ErrorHandler.h"
#include "CreateEndpointRequest.h"

// Answers a CreateEndpointRequest, which it carries inline.
// clang-format off
#define ZETO_CREATE_ENDPOINT_RESPONSE_FIELDS(Field)                                                                    \
    Field(bool, success)                                                                                               \
    Field(ErrorInfo, errorInfo)                                                                                        \
    Field(CreateEndpointRequest, request)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(CreateEndpointResponse, ZETO_CREATE_ENDPOINT_RESPONSE_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::CreateEndpointResponse)

#endif // ZETO_CREATEENDPOINTRESPONSE_H
