#include "CreateEndpointResponse.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class CreateEndpointResponsePrivate : public QSharedData
{
public:
    bool success;
    ErrorInfo errorInfo;
    CreateEndpointRequest request;
};

CreateEndpointResponse::CreateEndpointResponse()
    : CreateEndpointResponse(false, ErrorInfo(), CreateEndpointRequest())
{
}

CreateEndpointResponse::CreateEndpointResponse(bool success, ErrorInfo errorInfo, const CreateEndpointRequest &request)
    : d(new CreateEndpointResponsePrivate)
{
    d->success = success;
    d->errorInfo = errorInfo;
    d->request = request;
    ZETO_REGISTER_MESSAGE_TYPE(CreateEndpointResponse);
}

CreateEndpointResponse::CreateEndpointResponse(const CreateEndpointResponse &other) = default;
CreateEndpointResponse &CreateEndpointResponse::operator=(const CreateEndpointResponse &other) = default;
CreateEndpointResponse::~CreateEndpointResponse() = default;

bool CreateEndpointResponse::success() const { return d->success; }
ErrorInfo CreateEndpointResponse::errorInfo() const { return d->errorInfo; }
CreateEndpointRequest CreateEndpointResponse::request() const { return d->request; }

DataStream &operator<<(DataStream &stream, const CreateEndpointResponse &message)
{
    return stream << message.success() << message.errorInfo() << message.request();
}

DataStream &operator>>(DataStream &stream, CreateEndpointResponse &message)
{
    CreateEndpointResponsePrivate &data = *message.d;
    return stream >> data.success >> data.errorInfo >> data.request;
}

} // namespace Zeto
