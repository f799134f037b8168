#include "ObjectRecord.h"

#include "../QObjectInfo/QObjectInfo.h"
#include "../RemoteObjects/RemoteQObjectInfo.h"

namespace Zeto {

ObjectRecord::ObjectRecord() = default;

ObjectRecord::ObjectRecord(QObject *object, bool isInstantiated)
    : m_isInstantiated(isInstantiated)
    , m_object(object)
{
    // The dynamic meta-object: a registered subclass offers its own methods.
    if (isInstantiated)
        m_remoteInfo.reset(new RemoteQObjectInfo(object->metaObject()));
    else
        m_info.reset(new QObjectInfo(object->metaObject()));
}

ObjectRecord ObjectRecord::registered(QObject *object)
{
    return ObjectRecord(object, false);
}

ObjectRecord ObjectRecord::instantiated(QObject *object)
{
    return ObjectRecord(object, true);
}

bool ObjectRecord::isInstantiated() const
{
    return m_isInstantiated;
}

QObject *ObjectRecord::object() const
{
    return m_object.data();
}

int ObjectRecord::signalIndex(const QByteArray &normalizedSignature) const
{
    if (m_remoteInfo)
        return m_remoteInfo->remoteSignalIndex(normalizedSignature);
    return m_info ? m_info->signalIndex(normalizedSignature) : -1;
}

int ObjectRecord::slotIndex(const QByteArray &normalizedSignature) const
{
    if (m_remoteInfo)
        return m_remoteInfo->remoteSlotIndex(normalizedSignature);
    return m_info ? m_info->slotIndex(normalizedSignature) : -1;
}

} // namespace Zeto
