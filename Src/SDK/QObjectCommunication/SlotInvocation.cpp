#include "SlotInvocation.h"

#include "../QObjectInfo/MethodInfo.h"

#include <array>

namespace Zeto {

namespace {

// A QVariant parameter takes any value as it is.
QGenericArgument genericArgument(const QVariant &argument, int parameterType)
{
    if (parameterType == QMetaType::QVariant)
        return QGenericArgument("QVariant", &argument);
    return QGenericArgument(argument.typeName(), argument.constData());
}

} // namespace

SlotInvocation::SlotInvocation(QObject *object, const QMetaMethod &slot, ArgumentCount argumentCount)
    : m_object(object)
    , m_slot(slot)
    , m_argumentCount(argumentCount)
{
}

std::optional<ConnectionError> SlotInvocation::invoke(const QVector<QVariant> &arguments, QVariant *result) const
{
    if (m_slot.parameterCount() > MaxArguments)
        return InvalidMessage;
    // Qt would refuse the call itself.
    if (arguments.size() < m_slot.parameterCount())
        return RemoteSlotNotFound;
    if (!argumentsFit(arguments))
        return InvalidMessage;
    const int returnType = returnTypeId(m_slot);
    if (returnType == QMetaType::UnknownType)
        return UnregisteredArgument;
    *result = returnType == QMetaType::Void || returnType == QMetaType::QVariant ? QVariant()
                                                                                  : QVariant(returnType, nullptr);
    return call(arguments, result);
}

bool SlotInvocation::argumentsFit(const QVector<QVariant> &arguments) const
{
    const int parameterCount = m_slot.parameterCount();
    if (m_argumentCount == ExactArguments && arguments.size() != parameterCount)
        return false;
    for (int index = 0; index < parameterCount; ++index) {
        const int parameterType = parameterTypeId(m_slot, index);
        if (parameterType != QMetaType::QVariant && arguments.at(index).userType() != parameterType)
            return false;
    }
    return true;
}

// A QVariant result is written into the result itself.
QGenericReturnArgument SlotInvocation::returnArgument(QVariant *result) const
{
    switch (m_slot.returnType()) {
    case QMetaType::Void:
        return QGenericReturnArgument();
    case QMetaType::QVariant:
        return QGenericReturnArgument("QVariant", result);
    default:
        return QGenericReturnArgument(m_slot.typeName(), result->data());
    }
}

std::optional<ConnectionError> SlotInvocation::call(const QVector<QVariant> &arguments, QVariant *result) const
{
    std::array<QGenericArgument, MaxArguments> generic;
    for (int index = 0; index < m_slot.parameterCount(); ++index)
        generic[index] = genericArgument(arguments.at(index), m_slot.parameterType(index));
    const QGenericReturnArgument returnArgument = this->returnArgument(result);
    try {
        const bool invoked =
            m_slot.invoke(m_object, Qt::DirectConnection, returnArgument, generic[0], generic[1], generic[2],
                          generic[3], generic[4], generic[5], generic[6], generic[7], generic[8], generic[9]);
        return invoked ? std::nullopt : std::optional<ConnectionError>(RemoteSlotNotFound);
    } catch (...) {
        return RemoteSlotRaisedException;
    }
}

} // namespace Zeto
