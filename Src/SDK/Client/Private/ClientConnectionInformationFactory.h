#ifndef ZETO_CLIENTCONNECTIONINFORMATIONFACTORY_H
#define ZETO_CLIENTCONNECTIONINFORMATIONFACTORY_H

#include "../../RemoteObjects/IConnectionInformationFactory.h"
#include "../../LoggingCategories_p.h"

namespace Zeto {

// The endpoint factory needs one, but a client instantiates nothing for its
// peer: the client's repository is empty, so no request gets this far.
class ClientConnectionInformationFactory : public IConnectionInformationFactory
{
public:
    QSharedPointer<IConnectionInformation> create(const QVariant &) override
    {
        zetoFatal(lcZetoClient, "This code should never be reached.");
    }
};

} // namespace Zeto

#endif // ZETO_CLIENTCONNECTIONINFORMATIONFACTORY_H
