#include "QObjectInfo.h"
#include "../LoggingCategories_p.h"

#include <QtCore/QMetaMethod>
#include <QtCore/QMetaObject>

namespace Zeto {

class QObjectInfoData : public QSharedData
{
public:
    QByteArray className;
    QList<MethodInfo> signalList;
    QList<MethodInfo> slotList;
    QHash<QByteArray, int> signalTable;
    QHash<QByteArray, int> slotTable;
};

QObjectInfo::QObjectInfo(const QMetaObject *metaObject)
    : d(new QObjectInfoData)
{
    if (!metaObject)
        zetoFatal(lcZetoProtocol, "Given static meta object is null.");
    d->className = metaObject->className();
    // From the offset on: the class's own methods only.
    for (int index = metaObject->methodOffset(); index < metaObject->methodCount(); ++index) {
        const QMetaMethod method = metaObject->method(index);
        if (method.access() != QMetaMethod::Public)
            continue;
        if (method.methodType() == QMetaMethod::Signal)
            d->signalList.append(MethodInfo(method));
        else if (method.methodType() == QMetaMethod::Slot)
            d->slotList.append(MethodInfo(method));
    }
    d->signalTable = indexByCanonicalSignature(d->signalList);
    d->slotTable = indexByCanonicalSignature(d->slotList);
}

QObjectInfo::QObjectInfo(const QObjectInfo &other) = default;
QObjectInfo &QObjectInfo::operator=(const QObjectInfo &other) = default;
QObjectInfo::~QObjectInfo() = default;

QByteArray QObjectInfo::className() const { return d->className; }
QList<MethodInfo> QObjectInfo::signalList() const { return d->signalList; }
QList<MethodInfo> QObjectInfo::slotList() const { return d->slotList; }

int QObjectInfo::signalIndex(const QByteArray &normalizedSignature) const
{
    return d->signalTable.value(normalizedSignature, -1);
}

int QObjectInfo::slotIndex(const QByteArray &normalizedSignature) const
{
    return d->slotTable.value(normalizedSignature, -1);
}

} // namespace Zeto
