#include "ProtocolStackAssembly.h"

#include "../Messenger/MessageBroker.h"
#include "../RemoteObjects/IConnectionInformationFactory.h"
#include "../WebSocketBasedQVariantCourier/IQVariantCourier.h"
#include "QObjectEndpointFactory.h"

#include <utility>

namespace Zeto {

QObjectEndpointFactory *
assembleProtocolStack(QSharedPointer<IQVariantCourier> courier, const RemoteObjectRepository &repository,
                      QSharedPointer<IConnectionInformationFactory> connectionInformationFactory)
{
    const QSharedPointer<MessageBroker> broker(new MessageBroker(std::move(courier)));
    return new QObjectEndpointFactory(repository, broker, std::move(connectionInformationFactory));
}

} // namespace Zeto
