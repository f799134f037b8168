#ifndef ZETO_METHODINFO_H
#define ZETO_METHODINFO_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QString>

class QMetaMethod;

namespace Zeto {

// One signal or slot of a class, as its meta-object describes it. Every field
// is one of Qt's implicitly shared values, so copies are cheap.
class ZETO_PRIVATE_EXPORT MethodInfo
{
public:
    explicit MethodInfo(const QMetaMethod &method);
    MethodInfo(const MethodInfo &other);
    MethodInfo &operator=(const MethodInfo &other);
    virtual ~MethodInfo();

    QByteArray name() const;
    // The return type's name, "void" for most signals and slots.
    QByteArray typeName() const;
    QList<QByteArray> parameterTypes() const;
    // The moc tag words in front of the declaration, white space simplified.
    QString tag() const;
    // The absolute index in the class's meta-object.
    int methodIndex() const;
    // Name and parameter types, normalised by Qt, without a SIGNAL/SLOT code.
    QByteArray signature() const;
    // The signature as a peer names the method: canonicalised like a parsed
    // MethodSignature, so that spellings such as QList<qint32> and QList<int>
    // meet; signature() when a type cannot travel, as no peer can name it then.
    QByteArray canonicalSignature() const;

private:
    QByteArray m_name;
    QByteArray m_typeName;
    QList<QByteArray> m_parameterTypes;
    QString m_tag;
    int m_methodIndex;
};

// The meta type of a parameter or of the result. Qt knows none for a type
// spelt with a typedef (qintptr, QList<qint32>); that spelling is resolved
// through the aliases that signatures are canonicalised with.
int parameterTypeId(const QMetaMethod &method, int index);
int returnTypeId(const QMetaMethod &method);

// Each method's canonical signature to its index; of two methods with the
// same signature the later one wins.
QHash<QByteArray, int> indexByCanonicalSignature(const QList<MethodInfo> &methods);

} // namespace Zeto

#endif // ZETO_METHODINFO_H
