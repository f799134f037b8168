#ifndef ZETO_INSTANTIATEQOBJECTREQUEST_H
#define ZETO_INSTANTIATEQOBJECTREQUEST_H

#include "../../Messenger/MessageDeclaration.h"

#include <QtCore/QByteArray>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

// Asks the peer to instantiate an object of a class for a remote object URL.
// The requester chooses objectId; the serving side finds its object factory
// by url; argument is what the application gave when it created the remote
// object.
// clang-format off
#define ZETO_INSTANTIATE_QOBJECT_REQUEST_FIELDS(Field)                                                                 \
    Field(QByteArray, className)                                                                                       \
    Field(QByteArray, objectId)                                                                                        \
    Field(QUrl, url)                                                                                                   \
    Field(QVariant, argument)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(InstantiateQObjectRequest, ZETO_INSTANTIATE_QOBJECT_REQUEST_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::InstantiateQObjectRequest)

#endif // ZETO_INSTANTIATEQOBJECTREQUEST_H
