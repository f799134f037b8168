#ifndef ZETO_LOGGINGCATEGORIES_P_H
#define ZETO_LOGGINGCATEGORIES_P_H

// The SDK's log categories, so that QT_LOGGING_RULES can choose what to see:
// zeto.stream (values and their types), zeto.transport (sockets, frames and
// their compression), zeto.protocol (messengers, endpoints, objects and
// their links), zeto.client (remote objects), and zeto.trace: one debug line
// for every frame sent or received, off unless asked for
// (QT_LOGGING_RULES="zeto.trace.debug=true").

#include "ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QLoggingCategory>

namespace Zeto {

ZETO_PRIVATE_EXPORT const QLoggingCategory &lcZetoStream();
ZETO_PRIVATE_EXPORT const QLoggingCategory &lcZetoTransport();
ZETO_PRIVATE_EXPORT const QLoggingCategory &lcZetoProtocol();
ZETO_PRIVATE_EXPORT const QLoggingCategory &lcZetoClient();
ZETO_PRIVATE_EXPORT const QLoggingCategory &lcZetoTrace();

// Text from a peer as a log line may show it: at most 200 bytes, and
// nothing that could end the line or fake another.
ZETO_PRIVATE_EXPORT QByteArray loggable(const QByteArray &peerText);

} // namespace Zeto

// qFatal with a category, which Qt 5 lacks: the message carries it, and the
// debug build its file, line and function, as every other one does.
#define zetoFatal(category, ...)                                                                                       \
    QMessageLogger(QT_MESSAGELOG_FILE, QT_MESSAGELOG_LINE, QT_MESSAGELOG_FUNC, (category)().categoryName())          \
        .fatal(__VA_ARGS__)

#endif // ZETO_LOGGINGCATEGORIES_P_H
