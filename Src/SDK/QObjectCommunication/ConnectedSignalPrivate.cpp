#include "ConnectedSignalPrivate.h"
#include "../LoggingCategories_p.h"

#include <QtCore/QMetaMethod>

namespace Zeto {

namespace {

int findPlaceholderSlot(const QMetaObject *metaObject)
{
    for (int index = metaObject->methodOffset(); index < metaObject->methodCount(); ++index) {
        if (metaObject->method(index).name() == "onConnectedSignalEmitted")
            return index;
    }
    return -1;
}

} // namespace

ConnectedSignalPrivate::ConnectedSignalPrivate(const QByteArray &connectionId, const QByteArray &senderObjectId,
                                               const QByteArray &signalSignature,
                                               const QByteArray &receiverObjectId, const QByteArray &slotSignature)
    : m_link(connectionId, senderObjectId, signalSignature, receiverObjectId, slotSignature, {})
    , m_slotIndex(findPlaceholderSlot(&staticMetaObject))
{
    if (m_slotIndex < 0)
        zetoFatal(lcZetoProtocol, "Failed to watch connected signal.");
}

QByteArray ConnectedSignalPrivate::connectionId() const
{
    return m_link.connectionId();
}

void ConnectedSignalPrivate::onConnectedSignalEmitted()
{
}

int ConnectedSignalPrivate::placeholderSlotIndex() const
{
    return m_slotIndex;
}

const ConnectedSignalEmittedEvent &ConnectedSignalPrivate::link() const
{
    return m_link;
}

} // namespace Zeto
