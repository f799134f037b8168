#include "ConnectionResponse.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class ConnectionResponsePrivate : public QSharedData
{
public:
    bool success;
    ErrorInfo errorInfo;
    ConnectionRequest request;
};

ConnectionResponse::ConnectionResponse()
    : ConnectionResponse(false, ErrorInfo(), ConnectionRequest())
{
}

ConnectionResponse::ConnectionResponse(bool success, ErrorInfo errorInfo, const ConnectionRequest &request)
    : d(new ConnectionResponsePrivate)
{
    d->success = success;
    d->errorInfo = errorInfo;
    d->request = request;
    ZETO_REGISTER_MESSAGE_TYPE(ConnectionResponse);
}

ConnectionResponse::ConnectionResponse(const ConnectionResponse &other) = default;
ConnectionResponse &ConnectionResponse::operator=(const ConnectionResponse &other) = default;
ConnectionResponse::~ConnectionResponse() = default;

bool ConnectionResponse::success() const { return d->success; }
ErrorInfo ConnectionResponse::errorInfo() const { return d->errorInfo; }
ConnectionRequest ConnectionResponse::request() const { return d->request; }

DataStream &operator<<(DataStream &stream, const ConnectionResponse &message)
{
    return stream << message.success() << message.errorInfo() << message.request();
}

DataStream &operator>>(DataStream &stream, ConnectionResponse &message)
{
    ConnectionResponsePrivate &data = *message.d;
    return stream >> data.success >> data.errorInfo >> data.request;
}

} // namespace Zeto
