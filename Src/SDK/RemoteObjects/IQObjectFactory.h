#ifndef ZETO_IQOBJECTFACTORY_H
#define ZETO_IQOBJECTFACTORY_H

#include "../ZetoGlobal.h"
#include "IConnectionInformation.h"

#include <QtCore/QSharedPointer>

QT_BEGIN_NAMESPACE
class QObject;
struct QMetaObject;
QT_END_NAMESPACE

namespace Zeto {

// Makes the objects of one class that peers may instantiate.
class ZETO_PRIVATE_EXPORT IQObjectFactory
{
public:
    virtual ~IQObjectFactory();

    // The class of every object this factory makes; a peer must name it.
    virtual const QMetaObject *metaObject() const = 0;
    // A new object without parent, which the caller takes over. Null, or an
    // exception, refuses the instantiation.
    virtual QObject *createQObject(const QSharedPointer<IConnectionInformation> &connectionInformation) = 0;
};

} // namespace Zeto

#endif // ZETO_IQOBJECTFACTORY_H
