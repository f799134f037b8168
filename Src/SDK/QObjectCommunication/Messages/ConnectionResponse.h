#ifndef ZETO_CONNECTIONRESPONSE_H
#define ZETO_CONNECTIONRESPONSE_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"
#include "ConnectionRequest.h"

#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class ConnectionResponsePrivate;

// Answers a ConnectionRequest, which it carries inline.
class ZETO_PROTOCOL_EXPORT ConnectionResponse
{
public:
    ConnectionResponse();
    ConnectionResponse(bool success, ErrorInfo errorInfo, const ConnectionRequest &request);
    ConnectionResponse(const ConnectionResponse &other);
    ConnectionResponse &operator=(const ConnectionResponse &other);
    ~ConnectionResponse();

    bool success() const;
    ErrorInfo errorInfo() const;
    ConnectionRequest request() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, ConnectionResponse &message);

    QSharedDataPointer<ConnectionResponsePrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const ConnectionResponse &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, ConnectionResponse &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::ConnectionResponse)

#endif // ZETO_CONNECTIONRESPONSE_H
