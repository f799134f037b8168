#ifndef ZETO_TESTING_MESSAGELOG_H
#define ZETO_TESTING_MESSAGELOG_H

#include <QtCore/QStringList>
#include <QtCore/QtGlobal>

namespace Zeto {
namespace Testing {

// Records the Qt messages logged on any thread while it lives, and keeps them
// off the output. One log at a time: a new one starts empty.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    Q_DISABLE_COPY(MessageLog)

    // "level: text" for every message, in order.
    QStringList entries() const;
    // The source file each message names in its context.
    QStringList files() const;
    // The function each message names in its context.
    QStringList functions() const;
    // "category: text" for every message, in order.
    QStringList categorized() const;
    QStringList warnings() const;
    QStringList criticals() const;

private:
    QtMessageHandler m_previous;
};

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTING_MESSAGELOG_H
