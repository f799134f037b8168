#ifndef ZETO_MESSAGE_H
#define ZETO_MESSAGE_H

#include "MessageDeclaration.h"

#include <QtCore/QByteArray>
#include <QtCore/QVariant>

// The envelope of everything a messenger sends: the messenger's id and the
// payload, one of the QObject-communication messages held in a QVariant.
// clang-format off
#define ZETO_MESSAGE_FIELDS(Field)                                                                                     \
    Field(QByteArray, messengerId)                                                                                     \
    Field(QVariant, data)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(Message, ZETO_MESSAGE_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::Message)

#endif // ZETO_MESSAGE_H
