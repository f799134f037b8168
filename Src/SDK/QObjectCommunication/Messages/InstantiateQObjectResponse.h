#ifndef ZETO_INSTANTIATEQOBJECTRESPONSE_H
#define ZETO_INSTANTIATEQOBJECTRESPONSE_H

#include "../../Messenger/MessageDeclaration.h"
#include "../../ErrorHandler/ErrorHandler.h"
#include "InstantiateQObjectRequest.h"

// Answers an InstantiateQObjectRequest, which it carries inline.
// clang-format off
#define ZETO_INSTANTIATE_QOBJECT_RESPONSE_FIELDS(Field)                                                                \
    Field(bool, success)                                                                                               \
    Field(ErrorInfo, errorInfo)                                                                                        \
    Field(InstantiateQObjectRequest, request)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(InstantiateQObjectResponse, ZETO_INSTANTIATE_QOBJECT_RESPONSE_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::InstantiateQObjectResponse)

#endif // ZETO_INSTANTIATEQOBJECTRESPONSE_H
