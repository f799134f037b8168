#ifndef ZETO_MESSAGEDEFINITION_H
#define ZETO_MESSAGEDEFINITION_H

// The members of a message type declared with ZETO_DECLARE_MESSAGE, made
// from the same field table in the type's own source, inside namespace Zeto.

#include "../DataStream/DataStream_p.h"
#include "../ErrorHandler/ErrorHandler.h"
#include "MessageDeclaration.h"

#include <type_traits>
#include "MessageRegistration.h"

namespace Zeto {
namespace MessageDetail {

// Ids and signatures: one that this thread read lately is shared.
struct RepeatableBytes
{
    QByteArray &bytes;
};

template <typename T>
T &readable(T &field)
{
    return field;
}

inline RepeatableBytes readable(QByteArray &field)
{
    return {field};
}

inline DataStream &operator>>(DataStream &stream, RepeatableBytes field)
{
    DataStreamAccess::readRepeatable(stream, field.bytes, RecentByteArrays::ofThisThread());
    return stream;
}

template <typename T>
void debugField(QDebug &debug, const T &field)
{
    if constexpr (std::is_enum<T>::value)
        debug << int(field);
    else
        debug << field;
}

inline void debugField(QDebug &debug, const ErrorInfo &field) { debug << field.description(); }

} // namespace MessageDetail
} // namespace Zeto

#define ZETO_MESSAGE_MEMBER(Type, name) Type name{};
#define ZETO_MESSAGE_INITIALIZER(Type, name) name,
// Through DefinedMessage, the alias that ZETO_DEFINE_MESSAGE makes for the
// type: a field table passes no class name.
#define ZETO_MESSAGE_ACCESSOR_DEFINITION(Type, name)                                                                   \
    Zeto::MessageDetail::Passed<Type> DefinedMessage::name() const { return d->name; }
#define ZETO_MESSAGE_WRITE(Type, name) << message.name()
#define ZETO_MESSAGE_READ(Type, name) >> Zeto::MessageDetail::readable(record.name)
#define ZETO_MESSAGE_EQUAL(Type, name) &&left.name() == right.name()
#define ZETO_MESSAGE_DEBUG(Type, name)                                                                                 \
    debug << " " #name ": ";                                                                                           \
    Zeto::MessageDetail::debugField(debug, message.name());

// Reading goes through every field even after a failure: each later field
// then holds what its reader gives on a failed stream.
#define ZETO_DEFINE_MESSAGE(MessageType, Fields)                                                                       \
    class MessageType##Private : public QSharedData                                                                    \
    {                                                                                                                  \
    public:                                                                                                            \
        Fields(ZETO_MESSAGE_MEMBER)                                                                                    \
    };                                                                                                                 \
                                                                                                                       \
    MessageType::MessageType() : d(new MessageType##Private) { ZETO_REGISTER_MESSAGE_TYPE(MessageType); }              \
                                                                                                                       \
    MessageType::MessageType(ZETO_MESSAGE_PARAMETERS(Fields))                                                          \
        : d(new MessageType##Private{{}, Fields(ZETO_MESSAGE_INITIALIZER)})                                            \
    {                                                                                                                  \
        ZETO_REGISTER_MESSAGE_TYPE(MessageType);                                                                       \
    }                                                                                                                  \
                                                                                                                       \
    MessageType::MessageType(const MessageType &other) = default;                                                      \
    MessageType &MessageType::operator=(const MessageType &other) = default;                                           \
    MessageType::~MessageType() = default;                                                                             \
                                                                                                                       \
    DataStream &operator<<(DataStream &stream, const MessageType &message)                                             \
    {                                                                                                                  \
        return stream Fields(ZETO_MESSAGE_WRITE);                                                                      \
    }                                                                                                                  \
                                                                                                                       \
    DataStream &operator>>(DataStream &stream, MessageType &message)                                                   \
    {                                                                                                                  \
        MessageType##Private &record = *message.d;                                                                     \
        return stream Fields(ZETO_MESSAGE_READ);                                                                       \
    }                                                                                                                  \
                                                                                                                       \
    bool operator==(const MessageType &left, const MessageType &right) { return true Fields(ZETO_MESSAGE_EQUAL); }     \
                                                                                                                       \
    bool operator!=(const MessageType &left, const MessageType &right) { return !(left == right); }                    \
                                                                                                                       \
    QDebug operator<<(QDebug debug, const MessageType &message)                                                        \
    {                                                                                                                  \
        const QDebugStateSaver saver(debug);                                                                           \
        debug.nospace() << #MessageType "(";                                                                           \
        Fields(ZETO_MESSAGE_DEBUG) debug << " )";                                                                      \
        return debug;                                                                                                  \
    }                                                                                                                  \
                                                                                                                       \
    namespace {                                                                                                        \
    using DefinedMessage = MessageType;                                                                                \
    }                                                                                                                  \
    Fields(ZETO_MESSAGE_ACCESSOR_DEFINITION)

#endif // ZETO_MESSAGEDEFINITION_H
