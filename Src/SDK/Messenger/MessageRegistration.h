#ifndef ZETO_MESSAGEREGISTRATION_H
#define ZETO_MESSAGEREGISTRATION_H

#include "../DataStream/StreamHelper.h"
#include "../LoggingCategories_p.h"

#include <QtCore/QMutex>
#include <QtCore/QMutexLocker>

namespace Zeto {

// Makes the message type T known to Qt and to the stream the first time a T
// is built, so that a message can travel as soon as it exists; with its
// equality, so that QVariants holding messages compare field by field, and
// its debug form, so that a traced QVariant shows the message. Later
// calls return the id of the first.
template <typename T>
int registerMessageType()
{
    static QMutex mutex;
    static bool firstCall = true;
    static int id = 0;
    QMutexLocker locker(&mutex);
    if (firstCall) {
        firstCall = false;
        id = registerType<T>();
        QMetaType::registerEqualsComparator<T>();
        QMetaType::registerDebugStreamOperator<T>();
    }
    return id;
}

} // namespace Zeto

// Ends every message constructor. A message that cannot travel is of no use,
// so a failed registration ends the process, reported where the message was
// built.
#define ZETO_REGISTER_MESSAGE_TYPE(Type)                                                                               \
    do {                                                                                                               \
        if (Zeto::registerMessageType<Type>() <= 0)                                                                    \
            zetoFatal(Zeto::lcZetoStream, "Failed to register type against Qt's meta type system.");                   \
    } while (false)

#endif // ZETO_MESSAGEREGISTRATION_H
