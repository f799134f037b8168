#ifndef ZETO_MESSAGEDISPATCH_H
#define ZETO_MESSAGEDISPATCH_H

#include <QtCore/QMetaType>
#include <QtCore/QVariant>
#include <QtCore/QVector>

#include <initializer_list>
#include <utility>

namespace Zeto {

// Routes a received value to its receiver's handler for the value's message
// type. A receiver class builds its table once; a handler reads the message
// where the QVariant holds it, so nothing is copied out on the way.
template <typename Receiver>
class MessageDispatch
{
public:
    using Route = void (*)(Receiver *receiver, const void *message);
    using Entry = std::pair<int, Route>;

    // The entry for one message type and the member that handles it.
    template <typename Message, void (Receiver::*handler)(const Message &)>
    static Entry route()
    {
        return {qMetaTypeId<Message>(), [](Receiver *receiver, const void *message) {
                    (receiver->*handler)(*static_cast<const Message *>(message));
                }};
    }

    MessageDispatch(std::initializer_list<Entry> entries) : m_entries(entries) {}

    // False, with nothing called, for a value of a type the table lacks.
    bool dispatch(Receiver *receiver, const QVariant &value) const
    {
        const int type = value.userType();
        // A handful of entries: a scan beats hashing.
        for (const Entry &entry : m_entries) {
            if (entry.first == type) {
                entry.second(receiver, value.constData());
                return true;
            }
        }
        return false;
    }

private:
    const QVector<Entry> m_entries;
};

} // namespace Zeto

#endif // ZETO_MESSAGEDISPATCH_H
