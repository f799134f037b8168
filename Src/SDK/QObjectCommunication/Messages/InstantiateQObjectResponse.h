#ifndef ZETO_INSTANTIATEQOBJECTRESPONSE_H
#define ZETO_INSTANTIATEQOBJECTRESPONSE_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"
#include "InstantiateQObjectRequest.h"

#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>

namespace Zeto {

class DataStream;
class InstantiateQObjectResponsePrivate;

// Answers an InstantiateQObjectRequest, which it carries inline.
class ZETO_PROTOCOL_EXPORT InstantiateQObjectResponse
{
public:
    InstantiateQObjectResponse();
    InstantiateQObjectResponse(bool success, ErrorInfo errorInfo, const InstantiateQObjectRequest &request);
    InstantiateQObjectResponse(const InstantiateQObjectResponse &other);
    InstantiateQObjectResponse &operator=(const InstantiateQObjectResponse &other);
    ~InstantiateQObjectResponse();

    bool success() const;
    ErrorInfo errorInfo() const;
    InstantiateQObjectRequest request() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, InstantiateQObjectResponse &message);

    QSharedDataPointer<InstantiateQObjectResponsePrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const InstantiateQObjectResponse &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, InstantiateQObjectResponse &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::InstantiateQObjectResponse)

#endif // ZETO_INSTANTIATEQOBJECTRESPONSE_H
