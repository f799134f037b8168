#ifndef ZETO_SLOTINVOCATION_H
#define ZETO_SLOTINVOCATION_H

#include "../ErrorHandler/ErrorHandler.h"
#include "../ZetoGlobal.h"

#include <QtCore/QMetaMethod>
#include <QtCore/QVariant>
#include <QtCore/QVector>

#include <optional>

namespace Zeto {

// Invokes a slot on the caller's thread with arguments that came from a peer.
// Qt does not compare argument types with parameter types on a direct call,
// so a mismatch would hand the slot the bits of another type: every argument
// is checked first, and a mismatch never reaches the slot.
class ZETO_PRIVATE_EXPORT SlotInvocation
{
public:
    // The most generic arguments a QMetaMethod takes.
    static constexpr int MaxArguments = 10;

    enum ArgumentCount {
        // A direct call names the slot by the types of all its arguments.
        ExactArguments,
        // A linked signal may carry more values than the slot takes; the
        // first ones are passed.
        LeadingArguments
    };

    SlotInvocation(QObject *object, const QMetaMethod &slot, ArgumentCount argumentCount);

    // The slot's result (invalid for a void slot) or why it was not called
    // or failed: InvalidMessage for arguments that do not fit,
    // UnregisteredArgument for a result of a type Qt does not know,
    // RemoteSlotNotFound for fewer arguments than parameters or when Qt
    // refuses the call, RemoteSlotRaisedException when the slot throws.
    std::optional<ConnectionError> invoke(const QVector<QVariant> &arguments, QVariant *result) const;

private:
    bool argumentsFit(const QVector<QVariant> &arguments) const;
    QGenericReturnArgument returnArgument(QVariant *result) const;
    std::optional<ConnectionError> call(const QVector<QVariant> &arguments, QVariant *result) const;

    QObject *m_object;
    QMetaMethod m_slot;
    ArgumentCount m_argumentCount;
};

} // namespace Zeto

#endif // ZETO_SLOTINVOCATION_H
