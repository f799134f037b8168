#ifndef ZETO_CREATEENDPOINTRESPONSE_H
#define ZETO_CREATEENDPOINTRESPONSE_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"
#include "CreateEndpointRequest.h"

#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class CreateEndpointResponsePrivate;

// Answers a CreateEndpointRequest, which it carries inline.
class ZETO_PROTOCOL_EXPORT CreateEndpointResponse
{
public:
    CreateEndpointResponse();
    CreateEndpointResponse(bool success, ErrorInfo errorInfo, const CreateEndpointRequest &request);
    CreateEndpointResponse(const CreateEndpointResponse &other);
    CreateEndpointResponse &operator=(const CreateEndpointResponse &other);
    ~CreateEndpointResponse();

    bool success() const;
    ErrorInfo errorInfo() const;
    CreateEndpointRequest request() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, CreateEndpointResponse &message);

    QSharedDataPointer<CreateEndpointResponsePrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const CreateEndpointResponse &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, CreateEndpointResponse &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::CreateEndpointResponse)

#endif // ZETO_CREATEENDPOINTRESPONSE_H
