#ifndef ZETO_DISCONNECTREASON_H
#define ZETO_DISCONNECTREASON_H

#include <QtCore/qglobal.h>

namespace Zeto {

// Why a signal-slot link is removed. It travels as 16 bits; the fixed 32-bit
// base holds any value a peer sends, which the receiver then judges.
enum DisconnectReason : qint32 {
    // The application removed the link.
    ApplicationRequest = 0,
    // An object at this side's end of the link no longer exists.
    ObjectDestroyed = 1,
    // The peer accepted the link, but this side could not complete it.
    LinkFailed = 2
};

} // namespace Zeto

#endif // ZETO_DISCONNECTREASON_H
