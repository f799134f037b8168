#include "IZetoStreamHelper.h"

namespace Zeto {

IZetoStreamHelper::~IZetoStreamHelper() = default;

QReadWriteLock &IZetoStreamHelper::mainReadWriteLock()
{
    static QReadWriteLock lock;
    return lock;
}

QHash<int, QSharedPointer<IZetoStreamHelper>> &IZetoStreamHelper::registeredStreamHelpers()
{
    static QHash<int, QSharedPointer<IZetoStreamHelper>> helpers;
    return helpers;
}

} // namespace Zeto
