#include "InstantiateQObjectResponse.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class InstantiateQObjectResponsePrivate : public QSharedData
{
public:
    bool success;
    ErrorInfo errorInfo;
    InstantiateQObjectRequest request;
};

InstantiateQObjectResponse::InstantiateQObjectResponse()
    : InstantiateQObjectResponse(false, ErrorInfo(), InstantiateQObjectRequest())
{
}

InstantiateQObjectResponse::InstantiateQObjectResponse(bool success,
                                                       ErrorInfo errorInfo,
                                                       const InstantiateQObjectRequest &request)
    : d(new InstantiateQObjectResponsePrivate)
{
    d->success = success;
    d->errorInfo = errorInfo;
    d->request = request;
    ZETO_REGISTER_MESSAGE_TYPE(InstantiateQObjectResponse);
}

InstantiateQObjectResponse::InstantiateQObjectResponse(const InstantiateQObjectResponse &other) = default;
InstantiateQObjectResponse &InstantiateQObjectResponse::operator=(const InstantiateQObjectResponse &other) = default;
InstantiateQObjectResponse::~InstantiateQObjectResponse() = default;

bool InstantiateQObjectResponse::success() const { return d->success; }
ErrorInfo InstantiateQObjectResponse::errorInfo() const { return d->errorInfo; }
InstantiateQObjectRequest InstantiateQObjectResponse::request() const { return d->request; }

DataStream &operator<<(DataStream &stream, const InstantiateQObjectResponse &message)
{
    return stream << message.success() << message.errorInfo() << message.request();
}

DataStream &operator>>(DataStream &stream, InstantiateQObjectResponse &message)
{
    InstantiateQObjectResponsePrivate &data = *message.d;
    return stream >> data.success >> data.errorInfo >> data.request;
}

} // namespace Zeto
