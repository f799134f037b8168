#ifndef ZETO_DISCONNECTIONRESPONSE_H
#define ZETO_DISCONNECTIONRESPONSE_H

#include "../../Messenger/MessageDeclaration.h"

#include <QtCore/QByteArray>

// Confirms that a link was removed. Its stream form equals that of an
// InstantiatedQObjectDestroyedEvent: only the type name tells them apart.
// clang-format off
#define ZETO_DISCONNECTION_RESPONSE_FIELDS(Field)                                                                      \
    Field(QByteArray, connectionId)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(DisconnectionResponse, ZETO_DISCONNECTION_RESPONSE_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::DisconnectionResponse)

#endif // ZETO_DISCONNECTIONRESPONSE_H
