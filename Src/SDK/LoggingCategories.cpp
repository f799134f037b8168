#include "LoggingCategories_p.h"

namespace Zeto {

Q_LOGGING_CATEGORY(lcZetoStream, "zeto.stream")
Q_LOGGING_CATEGORY(lcZetoTransport, "zeto.transport")
Q_LOGGING_CATEGORY(lcZetoProtocol, "zeto.protocol")
Q_LOGGING_CATEGORY(lcZetoClient, "zeto.client")
// Debug lines are the trace's only lines: off by default.
Q_LOGGING_CATEGORY(lcZetoTrace, "zeto.trace", QtInfoMsg)

QByteArray loggable(const QByteArray &peerText)
{
    constexpr int MaxLength = 200;
    QByteArray text = peerText.left(MaxLength);
    for (char &c : text) {
        if (uchar(c) < 0x20 || uchar(c) == 0x7f)
            c = '?';
    }
    return peerText.size() > MaxLength ? text + "..." : text;
}

} // namespace Zeto
