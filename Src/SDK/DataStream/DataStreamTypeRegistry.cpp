// The type registry: the types every stream can carry, and the checks on
// argument type names.

#include "DataStream_p.h"
#include "IZetoStreamHelper.h"
#include "StreamHelper.h"

#include <QtCore/QReadLocker>

namespace Zeto {

using namespace StreamDetail;

namespace {

QByteArray normalizedTypeName(const QByteArray &typeName)
{
    return QMetaObject::normalizedType(typeName.constData()).simplified();
}

bool isPointerTypeName(const QByteArray &normalized)
{
    return normalized.endsWith('*') || normalized.endsWith("*&");
}

} // namespace

void StreamDetail::registerStandardStreamHelpers()
{
    static const bool registered = [] {
        registerType<qfloat16>();
        registerType<QByteArrayList>();
        registerType<QStringList>();
        registerType<QVariantList>();
        registerType<QVariantMap>();
        registerType<QVariantHash>();
        registerLibraryMessageTypes();
        return true;
    }();
    Q_UNUSED(registered)
}

void registerStandardTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<std::string>("std::string");
        qRegisterMetaType<std::u16string>("std::u16string");
        qRegisterMetaType<std::u32string>("std::u32string");
        return true;
    }();
    Q_UNUSED(registered)
}

QByteArray integralTypename(const QByteArray &typeName)
{
    QByteArray type = normalizedTypeName(typeName);
    if (type.startsWith("const "))
        type.remove(0, 6);
    if (type.endsWith("**") || type.endsWith("*&"))
        type.chop(2);
    else if (type.endsWith('*') || type.endsWith('&'))
        type.chop(1);
    return type.simplified();
}

bool isArgumentTypeValid(const QByteArray &typeName)
{
    return !isPointerTypeName(normalizedTypeName(typeName));
}

bool isTypeRegistered(const QByteArray &typeName)
{
    if (!isArgumentTypeValid(typeName))
        return false;
    const int typeId = QMetaType::type(integralTypename(typeName));
    if (typeId < 1)
        return false;
    QReadLocker locker(&IZetoStreamHelper::mainReadWriteLock());
    return IZetoStreamHelper::registeredStreamHelpers().contains(typeId) || isNativeTypeId(typeId);
}

} // namespace Zeto
