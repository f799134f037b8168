#include "InstantiateQObjectRequest.h"

#include "../../DataStream/DataStream.h"
#include "../../Messenger/MessageRegistration.h"

namespace Zeto {

class InstantiateQObjectRequestPrivate : public QSharedData
{
public:
    QByteArray className;
    QByteArray objectId;
    QUrl url;
    QVariant argument;
};

InstantiateQObjectRequest::InstantiateQObjectRequest()
    : InstantiateQObjectRequest(QByteArray(), QByteArray(), QUrl(), QVariant())
{
}

InstantiateQObjectRequest::InstantiateQObjectRequest(const QByteArray &className,
                                                     const QByteArray &objectId,
                                                     const QUrl &url,
                                                     const QVariant &argument)
    : d(new InstantiateQObjectRequestPrivate)
{
    d->className = className;
    d->objectId = objectId;
    d->url = url;
    d->argument = argument;
    ZETO_REGISTER_MESSAGE_TYPE(InstantiateQObjectRequest);
}

InstantiateQObjectRequest::InstantiateQObjectRequest(const InstantiateQObjectRequest &other) = default;
InstantiateQObjectRequest &InstantiateQObjectRequest::operator=(const InstantiateQObjectRequest &other) = default;
InstantiateQObjectRequest::~InstantiateQObjectRequest() = default;

QByteArray InstantiateQObjectRequest::className() const { return d->className; }
QByteArray InstantiateQObjectRequest::objectId() const { return d->objectId; }
QUrl InstantiateQObjectRequest::url() const { return d->url; }
QVariant InstantiateQObjectRequest::argument() const { return d->argument; }

DataStream &operator<<(DataStream &stream, const InstantiateQObjectRequest &message)
{
    return stream << message.className() << message.objectId() << message.url() << message.argument();
}

DataStream &operator>>(DataStream &stream, InstantiateQObjectRequest &message)
{
    InstantiateQObjectRequestPrivate &data = *message.d;
    return stream >> data.className >> data.objectId >> data.url >> data.argument;
}

} // namespace Zeto
