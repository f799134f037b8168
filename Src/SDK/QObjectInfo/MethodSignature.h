#ifndef ZETO_METHODSIGNATURE_H
#define ZETO_METHODSIGNATURE_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class MethodSignatureData;

// A signal or slot named in Qt's SIGNAL()/SLOT() form ("2valueChanged(int)",
// "1setValue(qint64)"), parsed into one canonical signature in which every
// argument carries Qt's registered type name, so that both peers spell the
// same method alike. Only types that can travel are accepted, and no pointers.
// The text comes from a peer: parsing never logs and never throws, and refuses
// texts whose size or nesting would make Qt's normalisation costly, and texts
// holding a NUL byte, where Qt's normalisation would stop reading.
class ZETO_PRIVATE_EXPORT MethodSignature
{
public:
    // Longest coded text that is parsed at all, and its deepest "<" nesting.
    static constexpr int MaxCodedLength = 1100;
    static constexpr int MaxTemplateNesting = 16;
    // Longest parameter list, after normalisation, that is parsed.
    static constexpr int MaxParameterListLength = 1024;

    explicit MethodSignature(const QByteArray &codedSignature);
    MethodSignature(const MethodSignature &other);
    MethodSignature &operator=(const MethodSignature &other);
    ~MethodSignature();

    QByteArray codedSignature() const;
    bool isSignal() const;
    bool isSlot() const;
    // The canonical signature without the code digit; null when parsing failed.
    QByteArray normalizedSignature() const;
    // Why parsing failed; null when it succeeded, and after a parameter list
    // beyond MaxParameterListLength.
    QByteArray errorString() const;

private:
    QSharedDataPointer<MethodSignatureData> d;
};

// Whether a link from the signal to the slot is possible: both parsed, coded
// as signal and slot respectively, and the slot takes the signal's arguments
// or a leading part of them.
ZETO_PRIVATE_EXPORT bool areCompatible(const MethodSignature &signal, const MethodSignature &slot);

// The meta type id of a type name after its aliases are replaced, so that
// QList<qint32> finds QList<int>; UnknownType when Qt knows none.
int canonicalTypeId(const QByteArray &typeName);

} // namespace Zeto

#endif // ZETO_METHODSIGNATURE_H
