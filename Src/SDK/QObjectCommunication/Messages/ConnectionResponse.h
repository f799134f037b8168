#ifndef ZETO_CONNECTIONRESPONSE_H
#define ZETO_CONNECTIONRESPONSE_H

#include "../../Messenger/MessageDeclaration.h"
#include "../../ErrorHandler/ErrorHandler.h"
#include "ConnectionRequest.h"

// Answers a ConnectionRequest, which it carries inline.
// clang-format off
#define ZETO_CONNECTION_RESPONSE_FIELDS(Field)                                                                         \
    Field(bool, success)                                                                                               \
    Field(ErrorInfo, errorInfo)                                                                                        \
    Field(ConnectionRequest, request)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(ConnectionResponse, ZETO_CONNECTION_RESPONSE_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::ConnectionResponse)

#endif // ZETO_CONNECTIONRESPONSE_H
