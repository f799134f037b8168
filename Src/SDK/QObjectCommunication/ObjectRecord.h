#ifndef ZETO_OBJECTRECORD_H
#define ZETO_OBJECTRECORD_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QPointer>
#include <QtCore/QSharedPointer>

namespace Zeto {

class QObjectInfo;
class RemoteQObjectInfo;

// A local object that the peer may reach, and what of it the peer may reach:
// every public signal and slot its own class declares when the application
// registered it, only the tagged ones when it was created for the peer.
class ZETO_PRIVATE_EXPORT ObjectRecord
{
public:
    // No object: offers nothing.
    ObjectRecord();
    static ObjectRecord registered(QObject *object);
    static ObjectRecord instantiated(QObject *object);

    bool isInstantiated() const;
    // Null once the object is gone.
    QObject *object() const;

    // Absolute method indexes, -1 when the method is not offered.
    int signalIndex(const QByteArray &normalizedSignature) const;
    int slotIndex(const QByteArray &normalizedSignature) const;

private:
    ObjectRecord(QObject *object, bool isInstantiated);

    bool m_isInstantiated = false;
    QPointer<QObject> m_object;
    QSharedPointer<const QObjectInfo> m_info;
    QSharedPointer<const RemoteQObjectInfo> m_remoteInfo;
};

} // namespace Zeto

#endif // ZETO_OBJECTRECORD_H
