#ifndef ZETO_ID_H
#define ZETO_ID_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>

namespace Zeto {

// Every id of the protocol (messengers, endpoints, objects, connections, slot
// calls) is 40 lowercase hex characters: a random UUID without braces and
// hyphens, then four more random bytes. Safe to call from any thread.
ZETO_PRIVATE_EXPORT QByteArray generateId();

// True when the size is 40 and the first 32 characters are a non-null UUID in
// hex of either case; the last 8 characters are not checked.
ZETO_PRIVATE_EXPORT bool isValidId(const QByteArray &id);

} // namespace Zeto

#endif // ZETO_ID_H
