#ifndef ZETO_INSTANTIATEQOBJECTREQUEST_H
#define ZETO_INSTANTIATEQOBJECTREQUEST_H

#include "../../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

namespace Zeto {

class DataStream;
class InstantiateQObjectRequestPrivate;

// Asks the peer to instantiate an object of a class for a remote object URL.
class ZETO_PROTOCOL_EXPORT InstantiateQObjectRequest
{
public:
    InstantiateQObjectRequest();
    InstantiateQObjectRequest(const QByteArray &className,
                              const QByteArray &objectId,
                              const QUrl &url,
                              const QVariant &argument);
    InstantiateQObjectRequest(const InstantiateQObjectRequest &other);
    InstantiateQObjectRequest &operator=(const InstantiateQObjectRequest &other);
    ~InstantiateQObjectRequest();

    QByteArray className() const;
    // Chosen by the requester for the new object.
    QByteArray objectId() const;
    // The serving side finds its object factory by this URL.
    QUrl url() const;
    // What the application gave when it created the remote object.
    QVariant argument() const;

private:
    friend ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, InstantiateQObjectRequest &message);

    QSharedDataPointer<InstantiateQObjectRequestPrivate> d;
};

ZETO_PROTOCOL_EXPORT DataStream &operator<<(DataStream &stream, const InstantiateQObjectRequest &message);
ZETO_PROTOCOL_EXPORT DataStream &operator>>(DataStream &stream, InstantiateQObjectRequest &message);

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::InstantiateQObjectRequest)

#endif // ZETO_INSTANTIATEQOBJECTREQUEST_H
