#include "MethodInfo.h"

#include "MethodSignature.h"

#include <QtCore/QMetaMethod>
#include <QtCore/QMetaObject>

namespace Zeto {

MethodInfo::MethodInfo(const QMetaMethod &method)
    : m_name(method.name())
    , m_typeName(method.typeName())
    , m_parameterTypes(method.parameterTypes())
    , m_tag(QString::fromUtf8(method.tag()).simplified())
    , m_methodIndex(method.methodIndex())
{
}

MethodInfo::MethodInfo(const MethodInfo &other) = default;
MethodInfo &MethodInfo::operator=(const MethodInfo &other) = default;
MethodInfo::~MethodInfo() = default;

QByteArray MethodInfo::name() const { return m_name; }
QByteArray MethodInfo::typeName() const { return m_typeName; }
QList<QByteArray> MethodInfo::parameterTypes() const { return m_parameterTypes; }
QString MethodInfo::tag() const { return m_tag; }
int MethodInfo::methodIndex() const { return m_methodIndex; }

QByteArray MethodInfo::signature() const
{
    return QMetaObject::normalizedSignature(m_name + '(' + m_parameterTypes.join(", ") + ')');
}

QByteArray MethodInfo::canonicalSignature() const
{
    const QByteArray qtSignature = signature();
    // The code digit only satisfies the parser; the canonical form is the same for both.
    const QByteArray canonical = MethodSignature('1' + qtSignature).normalizedSignature();
    return canonical.isEmpty() ? qtSignature : canonical;
}

int parameterTypeId(const QMetaMethod &method, int index)
{
    const int typeId = method.parameterType(index);
    return typeId != QMetaType::UnknownType ? typeId : canonicalTypeId(method.parameterTypes().at(index));
}

int returnTypeId(const QMetaMethod &method)
{
    const int typeId = method.returnType();
    return typeId != QMetaType::UnknownType ? typeId : canonicalTypeId(method.typeName());
}

QHash<QByteArray, int> indexByCanonicalSignature(const QList<MethodInfo> &methods)
{
    QHash<QByteArray, int> indexes;
    for (const MethodInfo &method : methods)
        indexes.insert(method.canonicalSignature(), method.methodIndex());
    return indexes;
}

} // namespace Zeto
