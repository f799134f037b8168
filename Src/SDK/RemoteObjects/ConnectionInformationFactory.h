#ifndef ZETO_CONNECTIONINFORMATIONFACTORY_H
#define ZETO_CONNECTIONINFORMATIONFACTORY_H

#include "../ZetoGlobal.h"
#include "IConnectionInformationFactory.h"

namespace Zeto {

// The serving side's description of one accepted connection: every object
// instantiated over it learns the connection and its own argument.
class ZETO_PRIVATE_EXPORT ConnectionInformationFactory : public IConnectionInformationFactory
{
public:
    explicit ConnectionInformationFactory(const ConnectionInfo &connectionInfo);

    QSharedPointer<IConnectionInformation> create(const QVariant &argument) override;

private:
    const ConnectionInfo m_connectionInfo;
};

} // namespace Zeto

#endif // ZETO_CONNECTIONINFORMATIONFACTORY_H
