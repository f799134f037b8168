#ifndef ZETO_CREATEENDPOINTREQUEST_H
#define ZETO_CREATEENDPOINTREQUEST_H

#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class CreateEndpointRequestPrivate;

// Asks the peer's endpoint factory for an endpoint that talks to the
// requester's new endpoint over a new messenger.
class ZETO_PROTOCOL_EXPORT CreateEndpointRequest
{
public:
    CreateEndpointRequest();
    CreateEndpointRequest(const QByteArray &endpointId, const QByteArray &messengerId);
    CreateEndpointRequest(const CreateEndpointRequest &other);
    CreateEndpointRequest &operator=(const CreateEndpointRequest &other);
    ~CreateEndpointRequest();

    // The requester's new endpoint.
    QByteArray endpointId() const;
    // The peer creates its messenger with this id.
    QByteArray messengerId() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, CreateEndpointRequest &message);

    QSharedDataPointer<CreateEndpointRequestPrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const CreateEndpointRequest &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, CreateEndpointRequest &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::CreateEndpointRequest)

#endif // ZETO_CREATEENDPOINTREQUEST_H
