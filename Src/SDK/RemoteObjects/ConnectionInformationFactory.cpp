#include "ConnectionInformationFactory.h"

namespace Zeto {

namespace {

class ConnectionInformation final : public IConnectionInformation
{
public:
    ConnectionInformation(const ConnectionInfo &connectionInfo, const QVariant &argument)
        : m_connectionInfo(connectionInfo)
        , m_argument(argument)
    {
    }

    ConnectionInfo connectionInfo() const override { return m_connectionInfo; }
    QVariant argument() const override { return m_argument; }

private:
    const ConnectionInfo m_connectionInfo;
    const QVariant m_argument;
};

} // namespace

IConnectionInformation::~IConnectionInformation() = default;
IConnectionInformationFactory::~IConnectionInformationFactory() = default;

ConnectionInformationFactory::ConnectionInformationFactory(const ConnectionInfo &connectionInfo)
    : m_connectionInfo(connectionInfo)
{
}

QSharedPointer<IConnectionInformation> ConnectionInformationFactory::create(const QVariant &argument)
{
    return QSharedPointer<IConnectionInformation>(new ConnectionInformation(m_connectionInfo, argument));
}

} // namespace Zeto
