#ifndef ZETO_IZETOSTREAMHELPER_H
#define ZETO_IZETOSTREAMHELPER_H

#include "../ZetoGlobal.h"

#include <QtCore/QHash>
#include <QtCore/QReadWriteLock>
#include <QtCore/QSharedPointer>

namespace Zeto {

class DataStream;

// Streams the values of one meta type that the stream does not encode itself.
// Helpers are registered once and never removed, so a helper found under the
// registry lock stays valid after the lock is released.
class ZETO_EXPORT IZetoStreamHelper
{
public:
    IZetoStreamHelper() = default;
    IZetoStreamHelper(const IZetoStreamHelper &) = default;
    IZetoStreamHelper &operator=(const IZetoStreamHelper &) = default;
    virtual ~IZetoStreamHelper();

    virtual void load(DataStream &stream, void *data) = 0;
    virtual void save(DataStream &stream, const void *data) = 0;

    static QReadWriteLock &mainReadWriteLock();
    static QHash<int, QSharedPointer<IZetoStreamHelper>> &registeredStreamHelpers();
};

} // namespace Zeto

#endif // ZETO_IZETOSTREAMHELPER_H
