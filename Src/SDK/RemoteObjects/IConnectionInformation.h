#ifndef ZETO_ICONNECTIONINFORMATION_H
#define ZETO_ICONNECTIONINFORMATION_H

#include "../ZetoGlobal.h"
#include "../ErrorHandler/ConnectionInfo.h"

#include <QtCore/QVariant>

namespace Zeto {

// What an object created for a peer learns about its creation: the
// connection it serves and the argument the peer's application gave.
class ZETO_PRIVATE_EXPORT IConnectionInformation
{
public:
    virtual ~IConnectionInformation();

    virtual ConnectionInfo connectionInfo() const = 0;
    virtual QVariant argument() const = 0;
};

} // namespace Zeto

#endif // ZETO_ICONNECTIONINFORMATION_H
