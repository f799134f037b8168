#include "CreateEndpointRequest.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class CreateEndpointRequestPrivate : public QSharedData
{
public:
    QByteArray endpointId;
    QByteArray messengerId;
};

CreateEndpointRequest::CreateEndpointRequest()
    : CreateEndpointRequest(QByteArray(), QByteArray())
{
}

CreateEndpointRequest::CreateEndpointRequest(const QByteArray &endpointId, const QByteArray &messengerId)
    : d(new CreateEndpointRequestPrivate)
{
    d->endpointId = endpointId;
    d->messengerId = messengerId;
    ZETO_REGISTER_MESSAGE_TYPE(CreateEndpointRequest);
}

CreateEndpointRequest::CreateEndpointRequest(const CreateEndpointRequest &other) = default;
CreateEndpointRequest &CreateEndpointRequest::operator=(const CreateEndpointRequest &other) = default;
CreateEndpointRequest::~CreateEndpointRequest() = default;

QByteArray CreateEndpointRequest::endpointId() const { return d->endpointId; }
QByteArray CreateEndpointRequest::messengerId() const { return d->messengerId; }

DataStream &operator<<(DataStream &stream, const CreateEndpointRequest &message)
{
    return stream << message.endpointId() << message.messengerId();
}

DataStream &operator>>(DataStream &stream, CreateEndpointRequest &message)
{
    CreateEndpointRequestPrivate &data = *message.d;
    return stream >> data.endpointId >> data.messengerId;
}

} // namespace Zeto
