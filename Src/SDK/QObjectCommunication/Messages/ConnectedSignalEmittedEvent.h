#ifndef ZETO_CONNECTEDSIGNALEMITTEDEVENT_H
#define ZETO_CONNECTEDSIGNALEMITTEDEVENT_H

#include "../../Messenger/MessageDeclaration.h"

#include <QtCore/QByteArray>
#include <QtCore/QVariant>
#include <QtCore/QVector>

// One emission of a linked signal, sent from the sender's side: the link as
// its ConnectionRequest described it, and the values of the signal's arguments.
// clang-format off
#define ZETO_CONNECTED_SIGNAL_EMITTED_EVENT_FIELDS(Field)                                                              \
    Field(QByteArray, connectionId)                                                                                    \
    Field(QByteArray, senderObjectId)                                                                                  \
    Field(QByteArray, signalSignature)                                                                                 \
    Field(QByteArray, receiverObjectId)                                                                                \
    Field(QByteArray, slotSignature)                                                                                   \
    Field(QVector<QVariant>, arguments)
// clang-format on

namespace Zeto {

ZETO_DECLARE_MESSAGE(ConnectedSignalEmittedEvent, ZETO_CONNECTED_SIGNAL_EMITTED_EVENT_FIELDS)

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::ConnectedSignalEmittedEvent)

#endif // ZETO_CONNECTEDSIGNALEMITTEDEVENT_H
