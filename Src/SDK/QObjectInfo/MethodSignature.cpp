#include "MethodSignature.h"

#include "../DataStream/StreamHelper.h"

#include <QtCore/QChar>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QMetaObject>
#include <QtCore/QMetaType>

#include <algorithm>

namespace Zeto {

class MethodSignatureData : public QSharedData
{
public:
    QByteArray codedSignature;
    bool isSignal = false;
    bool isSlot = false;
    QByteArray normalizedSignature;
    QByteArray errorString;
};

namespace {

constexpr int SlotCode = 1;
constexpr int SignalCode = 2;

// Spellings of one meta type, each mapped to the name Qt registered for it.
const QHash<QByteArray, QByteArray> &typeAliases()
{
    static const QHash<QByteArray, QByteArray> aliases = [] {
        registerStandardTypes();
        const auto nameOf = [](int typeId) { return QByteArray(QMetaType::typeName(typeId)); };
        return QHash<QByteArray, QByteArray>{
            {"qint8", nameOf(QMetaType::SChar)},
            {"quint8", nameOf(QMetaType::UChar)},
            {"qint16", nameOf(QMetaType::Short)},
            {"quint16", nameOf(QMetaType::UShort)},
            {"qint32", nameOf(QMetaType::Int)},
            {"quint32", nameOf(QMetaType::UInt)},
            {"qint64", nameOf(QMetaType::LongLong)},
            {"quint64", nameOf(QMetaType::ULongLong)},
            {"qintptr", nameOf(QMetaType::LongLong)},
            {"quintptr", nameOf(QMetaType::ULongLong)},
            {"qlonglong", nameOf(QMetaType::LongLong)},
            {"qulonglong", nameOf(QMetaType::ULongLong)},
            {"QByteArrayList", nameOf(QMetaType::QByteArrayList)},
            {"QVariantList", nameOf(QMetaType::QVariantList)},
            {"QVariantMap", nameOf(QMetaType::QVariantMap)},
            {"QVariantHash", nameOf(QMetaType::QVariantHash)},
            {"std::string", nameOf(qMetaTypeId<std::string>())},
            {"std::u16string", nameOf(qMetaTypeId<std::u16string>())},
            {"std::u32string", nameOf(qMetaTypeId<std::u32string>())},
        };
    }();
    return aliases;
}

QByteArray invalidCodeMessage()
{
    return QByteArrayLiteral("Invalid method signature. Signature must be non empty and must be defined enclosed "
                             "in either SIGNAL or SLOT macros");
}

QByteArray refusedTextMessage()
{
    return "Invalid method signature. Signature must be text without NUL bytes of at most "
        + QByteArray::number(MethodSignature::MaxCodedLength) + " bytes, nesting at most "
        + QByteArray::number(MethodSignature::MaxTemplateNesting) + " template levels";
}

// Qt's normalisation recurses once per nested "<" and rescans the text on
// every level, so a peer's text is bounded before any of it runs. Qt reads it
// as a C string, which must not end before the text does.
bool isRefusedBeforeNormalisation(const QByteArray &text)
{
    if (text.size() > MethodSignature::MaxCodedLength || text.contains('\0'))
        return true;
    int depth = 0;
    for (const char c : text) {
        if (c == '<' && ++depth > MethodSignature::MaxTemplateNesting)
            return true;
        if (c == '>' && depth > 0)
            --depth;
    }
    return false;
}

QByteArray invalidNameMessage()
{
    return QByteArrayLiteral("Invalid method signature. The method name must be an identifier");
}

// Only a C++ identifier can name a method; anything else would merely be
// looked up in vain, and Qt may normalise it differently a second time.
bool isIdentifier(const QByteArray &name)
{
    const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    return !name.isEmpty() && isLetter(name.at(0))
        && std::all_of(name.begin(), name.end(), [&](char c) { return isLetter(c) || isDigit(c); });
}

// The argument types: the pieces between the commas outside angle brackets.
QByteArrayList splitArguments(const QByteArray &parameterList)
{
    QByteArrayList arguments;
    const auto appendPiece = [&arguments](const QByteArray &piece) {
        if (!piece.isEmpty())
            arguments.append(piece);
    };
    int depth = 0;
    int pieceStart = 0;
    for (int i = 0; i < parameterList.size(); ++i) {
        const char c = parameterList.at(i);
        depth += int(c == '<') - int(c == '>');
        if (c == ',' && depth == 0) {
            appendPiece(parameterList.mid(pieceStart, i - pieceStart));
            pieceStart = i + 1;
        }
    }
    appendPiece(parameterList.mid(pieceStart));
    return arguments;
}

// Pointers, and references anywhere but at the end, would hand a peer an
// address of this process.
bool isPointerLike(const QByteArray &argument)
{
    const int ampersand = argument.indexOf('&');
    return argument.contains('*') || (ampersand >= 0 && ampersand < argument.size() - 1);
}

// Every word of the type replaced by its alias; "," "<" and ">" separate words.
QByteArray replaceAliases(const QByteArray &type)
{
    QByteArray rebuilt;
    int wordStart = 0;
    const auto appendWord = [&](int wordEnd) {
        const QByteArray word = type.mid(wordStart, wordEnd - wordStart);
        rebuilt += typeAliases().value(word, word);
    };
    for (int i = 0; i < type.size(); ++i) {
        const char c = type.at(i);
        if (c == ',' || c == '<' || c == '>') {
            appendWord(i);
            rebuilt += c;
            wordStart = i + 1;
        }
    }
    appendWord(type.size());
    return rebuilt;
}

// Qt's registered name of a base type that can travel; null, with the reason
// in error, otherwise.
QByteArray canonicalBaseType(const QByteArray &base, QByteArray &error)
{
    if (base.isEmpty() || base.startsWith('<') || base.startsWith('>') || base.startsWith(',')) {
        error = "Argument " + base + " is not valid.";
        return QByteArray();
    }
    const QByteArray rebuilt = replaceAliases(QMetaObject::normalizedType(base.constData()));
    const QByteArray registered = QMetaType::typeName(QMetaType::type(rebuilt.constData()));
    if (registered.isEmpty() || !isTypeRegistered(registered)) {
        error = "Argument " + base + " is not registered.";
        return QByteArray();
    }
    return registered;
}

QByteArray canonicalArgument(const QByteArray &argument, QByteArray &error)
{
    const QByteArray prefix = argument.startsWith("const ")  ? QByteArrayLiteral("const ")
                            : argument.startsWith("volatile ") ? QByteArrayLiteral("volatile ")
                                                               : QByteArray();
    const QByteArray suffix = argument.endsWith('&') ? QByteArrayLiteral("&") : QByteArray();
    const QByteArray base = argument.mid(prefix.size(), argument.size() - prefix.size() - suffix.size());
    const QByteArray canonical = canonicalBaseType(base, error);
    return canonical.isNull() ? QByteArray() : prefix + canonical + suffix;
}

// Each argument in its canonical form; false, with the reason in error, at
// the first that cannot travel.
bool canonicaliseArguments(QByteArrayList &arguments, const QByteArray &codedSignature, QByteArray &error)
{
    for (QByteArray &argument : arguments) {
        if (isPointerLike(argument)) {
            error = "Failed to process method signature " + codedSignature + ". Argument " + argument
                + " is not valid. Pointers are not allowed in remote signal-slot connections.";
            return false;
        }
        argument = canonicalArgument(argument, error);
        if (argument.isNull())
            return false;
    }
    return true;
}

// Fills the signature's fields from its coded text; stops at the first fault.
void parse(MethodSignatureData &d)
{
    const QByteArray &text = d.codedSignature;
    const int code = text.isEmpty() ? -1 : QChar::fromLatin1(text.at(0)).digitValue();
    d.isSignal = code == SignalCode;
    d.isSlot = code == SlotCode;
    if (!d.isSignal && !d.isSlot) {
        d.errorString = invalidCodeMessage();
        return;
    }
    if (isRefusedBeforeNormalisation(text)) {
        d.errorString = refusedTextMessage();
        return;
    }

    // A deep copy: the text may be raw data without a terminating NUL.
    const QByteArray withoutCode(text.constData() + 1, text.size() - 1);
    const QByteArray signature = QMetaObject::normalizedSignature(withoutCode.constData());
    const int open = signature.indexOf('(');
    const int close = open < 0 ? -1 : signature.indexOf(')', open);
    const QByteArray name = signature.left(open).simplified();
    if (!isIdentifier(name)) {
        d.errorString = invalidNameMessage();
        return;
    }
    const QByteArray parameterList =
        open < 0 ? QByteArray() : signature.mid(open + 1, close < 0 ? -1 : close - open - 1).simplified();
    if (parameterList.isEmpty()) {
        d.normalizedSignature = name + "()";
        return;
    }
    if (parameterList.size() > MethodSignature::MaxParameterListLength)
        return;
    QByteArrayList arguments = splitArguments(parameterList);
    if (canonicaliseArguments(arguments, text, d.errorString))
        d.normalizedSignature = QMetaObject::normalizedSignature(name + '(' + arguments.join(',') + ')');
}

} // namespace

MethodSignature::MethodSignature(const QByteArray &codedSignature)
    : d(new MethodSignatureData)
{
    d->codedSignature = codedSignature;
    parse(*d);
}

MethodSignature::MethodSignature(const MethodSignature &other) = default;
MethodSignature &MethodSignature::operator=(const MethodSignature &other) = default;
MethodSignature::~MethodSignature() = default;

QByteArray MethodSignature::codedSignature() const { return d->codedSignature; }
bool MethodSignature::isSignal() const { return d->isSignal; }
bool MethodSignature::isSlot() const { return d->isSlot; }
QByteArray MethodSignature::normalizedSignature() const { return d->normalizedSignature; }
QByteArray MethodSignature::errorString() const { return d->errorString; }

int canonicalTypeId(const QByteArray &typeName)
{
    return QMetaType::type(replaceAliases(QMetaObject::normalizedType(typeName.constData())).constData());
}

bool areCompatible(const MethodSignature &signal, const MethodSignature &slot)
{
    const QByteArray signalSignature = signal.normalizedSignature();
    const QByteArray slotSignature = slot.normalizedSignature();
    return signal.isSignal() && slot.isSlot() && !signalSignature.isEmpty() && !slotSignature.isEmpty()
        && QMetaObject::checkConnectArgs(signalSignature.constData(), slotSignature.constData());
}

} // namespace Zeto
