#ifndef ZETO_ICONNECTIONINFORMATIONFACTORY_H
#define ZETO_ICONNECTIONINFORMATIONFACTORY_H

#include "../ZetoGlobal.h"
#include "IConnectionInformation.h"

#include <QtCore/QSharedPointer>
#include <QtCore/QVariant>

namespace Zeto {

// Describes one connection to the objects that a peer instantiates over it.
class ZETO_PRIVATE_EXPORT IConnectionInformationFactory
{
public:
    virtual ~IConnectionInformationFactory();

    // The argument comes from the peer; an implementation may refuse it by
    // returning null or throwing, and the instantiation is then refused.
    virtual QSharedPointer<IConnectionInformation> create(const QVariant &argument) = 0;
};

} // namespace Zeto

#endif // ZETO_ICONNECTIONINFORMATIONFACTORY_H
