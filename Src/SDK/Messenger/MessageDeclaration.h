#ifndef ZETO_MESSAGEDECLARATION_H
#define ZETO_MESSAGEDECLARATION_H

// Every message type is declared from its field table, a macro that applies
// the macro it is given to each field as Field(Type, name), in stream order.
// ZETO_DECLARE_MESSAGE makes the class from it (a header, inside namespace
// Zeto); ZETO_DEFINE_MESSAGE (MessageDefinition.h) makes its members in the
// type's own source.

#include "../ZetoGlobal.h"

#include <QtCore/QDebug>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

#include <type_traits>

namespace Zeto {

class DataStream;

namespace MessageDetail {

// Plain values of a register's size or two (bool, ErrorInfo, a reason) go by
// value, everything else by const reference.
template <typename T>
using Passed =
    std::conditional_t<std::is_trivially_copyable<T>::value && sizeof(T) <= 2 * sizeof(void *), T, const T &>;

} // namespace MessageDetail

} // namespace Zeto

#define ZETO_MESSAGE_ACCESSOR(Type, name) Zeto::MessageDetail::Passed<Type> name() const;
#define ZETO_MESSAGE_PARAMETER(Type, name) , Zeto::MessageDetail::Passed<Type> name
#define ZETO_MESSAGE_DROP_FIRST(first, ...) __VA_ARGS__
#define ZETO_MESSAGE_WITHOUT_LEADING_COMMA(...) ZETO_MESSAGE_DROP_FIRST(__VA_ARGS__)
// Every field in table order, comma-separated.
#define ZETO_MESSAGE_PARAMETERS(Fields) ZETO_MESSAGE_WITHOUT_LEADING_COMMA(Fields(ZETO_MESSAGE_PARAMETER))

// An implicitly shared value: one pointer to a record that the first write,
// reading from a stream included, detaches.
#define ZETO_DECLARE_MESSAGE(MessageType, Fields)                                                                      \
    class MessageType##Private;                                                                                        \
    class ZETO_PRIVATE_EXPORT MessageType                                                                              \
    {                                                                                                                  \
        friend ZETO_PRIVATE_EXPORT DataStream &operator>>(DataStream &stream, MessageType &message);                   \
                                                                                                                       \
        QSharedDataPointer<MessageType##Private> d;                                                                    \
                                                                                                                       \
    public:                                                                                                            \
        MessageType();                                                                                                 \
        explicit MessageType(ZETO_MESSAGE_PARAMETERS(Fields));                                                         \
        MessageType(const MessageType &other);                                                                         \
        MessageType &operator=(const MessageType &other);                                                              \
        ~MessageType();                                                                                                \
                                                                                                                       \
        Fields(ZETO_MESSAGE_ACCESSOR)                                                                                  \
    };                                                                                                                 \
                                                                                                                       \
    ZETO_PRIVATE_EXPORT DataStream &operator<<(DataStream &stream, const MessageType &message);                        \
    ZETO_PRIVATE_EXPORT DataStream &operator>>(DataStream &stream, MessageType &message);                              \
    ZETO_PRIVATE_EXPORT bool operator==(const MessageType &left, const MessageType &right);                            \
    ZETO_PRIVATE_EXPORT bool operator!=(const MessageType &left, const MessageType &right);                            \
    /* For the trace: the type's name and every field. */                                                              \
    ZETO_PRIVATE_EXPORT QDebug operator<<(QDebug debug, const MessageType &message);

#endif // ZETO_MESSAGEDECLARATION_H
