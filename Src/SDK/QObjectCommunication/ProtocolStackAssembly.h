#ifndef ZETO_PROTOCOLSTACKASSEMBLY_H
#define ZETO_PROTOCOLSTACKASSEMBLY_H

#include "../ZetoGlobal.h"
#include "../RemoteObjects/RemoteObjectRepository.h"

#include <QtCore/QSharedPointer>

namespace Zeto {

class IConnectionInformationFactory;
class IQVariantCourier;
class QObjectEndpointFactory;

// One connection's protocol over its courier: a broker over the courier and
// an endpoint factory over the broker. The factory holds the broker and the
// broker the courier, so the whole stack goes with the factory, which the
// caller owns.
ZETO_PRIVATE_EXPORT QObjectEndpointFactory *
assembleProtocolStack(QSharedPointer<IQVariantCourier> courier, const RemoteObjectRepository &repository,
                      QSharedPointer<IConnectionInformationFactory> connectionInformationFactory);

} // namespace Zeto

#endif // ZETO_PROTOCOLSTACKASSEMBLY_H
