#include "LoggingCategories_p.h"

namespace Zeto {

Q_LOGGING_CATEGORY(lcZetoStream, "zeto.stream")
Q_LOGGING_CATEGORY(lcZetoTransport, "zeto.transport")
Q_LOGGING_CATEGORY(lcZetoProtocol, "zeto.protocol")
Q_LOGGING_CATEGORY(lcZetoClient, "zeto.client")
// Debug lines are the trace's only lines: off by default.
Q_LOGGING_CATEGORY(lcZetoTrace, "zeto.trace", QtInfoMsg)

} // namespace Zeto
