// Feeds arbitrary text to the signature parser, as a peer may send it. The
// parser must refuse what is beyond its limits without handing it to Qt, and
// whatever it accepts must be a canonical form: parsed again it stays the
// same, carries no pointer, and a signal of it links to a slot of it.

#include "FuzzSupport.h"

#include <DataStream/StreamHelper.h>
#include <QObjectInfo/MethodSignature.h>

#include <cstddef>
#include <cstdint>

namespace {

using Zeto::MethodSignature;

int deepestNesting(const QByteArray &text)
{
    int depth = 0;
    int deepest = 0;
    for (const char c : text) {
        if (c == '<')
            deepest = qMax(deepest, ++depth);
        else if (c == '>' && depth > 0)
            --depth;
    }
    return deepest;
}

bool isBeyondLimits(const QByteArray &text)
{
    return text.size() > MethodSignature::MaxCodedLength || text.contains('\0')
        || deepestNesting(text) > MethodSignature::MaxTemplateNesting;
}

// Aliases may lengthen a signature ("qint8" becomes "signed char") beyond
// what a peer may send; such a form is not parsed again.
bool fitsLimits(const QByteArray &normalized)
{
    const int open = normalized.indexOf('(');
    const int parameterListLength = normalized.indexOf(')', open) - open - 1;
    return !isBeyondLimits('1' + normalized) && parameterListLength <= MethodSignature::MaxParameterListLength;
}

void checkCanonical(const QByteArray &input, const MethodSignature &parsed)
{
    const QByteArray normalized = parsed.normalizedSignature();
    if (!parsed.errorString().isNull())
        ZetoFuzz::fail("a parsed signature carries an error", input);
    if (parsed.isSignal() == parsed.isSlot())
        ZetoFuzz::fail("a parsed signature is not exactly one of signal and slot", input);
    // The name is not checked: no method is found under a name that is not one.
    const int open = normalized.indexOf('(');
    if (open < 0 || !normalized.endsWith(')') || normalized.indexOf('*', open) >= 0)
        ZetoFuzz::fail("a parsed signature is not a method without pointer arguments", input + "\n" + normalized);
    if (!fitsLimits(normalized))
        return;
    const MethodSignature signal('2' + normalized);
    const MethodSignature slot('1' + normalized);
    if (signal.normalizedSignature() != normalized || slot.normalizedSignature() != normalized)
        ZetoFuzz::fail("a canonical signature changes when parsed again", input + "\n" + normalized);
    if (!Zeto::areCompatible(signal, slot))
        ZetoFuzz::fail("a signal does not link to a slot of the same signature", input + "\n" + normalized);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    ZetoFuzz::initialise();
    Zeto::registerType<std::string>();
    Zeto::registerType<std::u16string>();
    Zeto::registerType<std::u32string>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const MethodSignature parsed(input);
    if (parsed.codedSignature() != input)
        ZetoFuzz::fail("the coded signature is not kept as given", input);
    if (parsed.normalizedSignature().isEmpty())
        return 0;
    if (isBeyondLimits(input))
        ZetoFuzz::fail("a text beyond the limits was parsed", input);
    checkCanonical(input, parsed);
    return 0;
}
