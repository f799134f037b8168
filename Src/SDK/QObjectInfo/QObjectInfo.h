#ifndef ZETO_QOBJECTINFO_H
#define ZETO_QOBJECTINFO_H

#include "MethodInfo.h"

#include <QtCore/QSharedDataPointer>

struct QMetaObject;

namespace Zeto {

class QObjectInfoData;

// The public signals and slots that a class declares itself, looked up by
// canonical signature. Nothing inherited is listed, so neither QObject's
// deleteLater() nor a base class's slots become reachable through a subclass.
// Built once for an object, then only read.
class ZETO_PRIVATE_EXPORT QObjectInfo
{
public:
    // A null meta-object is a caller's error and ends the process.
    explicit QObjectInfo(const QMetaObject *metaObject);
    QObjectInfo(const QObjectInfo &other);
    QObjectInfo &operator=(const QObjectInfo &other);
    virtual ~QObjectInfo();

    QByteArray className() const;
    // In meta-object order.
    QList<MethodInfo> signalList() const;
    QList<MethodInfo> slotList() const;
    // The absolute method index of the signal or slot, or -1 when the class
    // offers none under that exact signature (as MethodSignature gives it).
    int signalIndex(const QByteArray &normalizedSignature) const;
    int slotIndex(const QByteArray &normalizedSignature) const;

private:
    QSharedDataPointer<QObjectInfoData> d;
};

} // namespace Zeto

#endif // ZETO_QOBJECTINFO_H
