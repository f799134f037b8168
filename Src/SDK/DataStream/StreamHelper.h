#ifndef ZETO_STREAMHELPER_H
#define ZETO_STREAMHELPER_H

#include "DataStream.h"
#include "IZetoStreamHelper.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QWriteLocker>

namespace Zeto {

// Streams a T with the stream operators that T provides.
template <typename T>
class StreamHelper final : public IZetoStreamHelper
{
public:
    void load(DataStream &stream, void *data) override { stream >> *static_cast<T *>(data); }
    void save(DataStream &stream, const void *data) override { stream << *static_cast<const T *>(data); }
};

ZETO_EXPORT void registerStandardTypes();
ZETO_EXPORT QByteArray integralTypename(const QByteArray &typeName);
ZETO_EXPORT bool isArgumentTypeValid(const QByteArray &typeName);
ZETO_EXPORT bool isTypeRegistered(const QByteArray &typeName);

// The value part of a QVariant record; the QVariant operators build on these.
ZETO_AUTOTEST_EXPORT bool saveMetaType(DataStream &stream, int typeId, const void *data);
ZETO_AUTOTEST_EXPORT bool loadMetaType(DataStream &stream, int typeId, void *data);

// Registers T with Qt's meta type system and the stream registry, so that a
// QVariant holding a T can travel. Both peers must register the same types
// under the same names. Returns T's meta type id.
template <typename T>
int registerType()
{
    registerStandardTypes();
    const int id = qRegisterMetaType<T>();
    QWriteLocker locker(&IZetoStreamHelper::mainReadWriteLock());
    auto &helpers = IZetoStreamHelper::registeredStreamHelpers();
    if (!helpers.contains(id))
        helpers.insert(id, QSharedPointer<IZetoStreamHelper>(new StreamHelper<T>));
    return id;
}

} // namespace Zeto

#endif // ZETO_STREAMHELPER_H
