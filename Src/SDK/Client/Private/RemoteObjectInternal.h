#ifndef ZETO_CLIENT_REMOTEOBJECTINTERNAL_H
#define ZETO_CLIENT_REMOTEOBJECTINTERNAL_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QObject>
#include <QtCore/QSharedPointer>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

namespace Zeto {

class QObjectEndpoint;

namespace Client {

// Stands in for the machinery behind one remote object until it lands: it
// keeps its endpoint and reports nothing by itself.
class ZETO_PROTOCOL_EXPORT RemoteObjectInternal : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteObjectInternal)

public:
    RemoteObjectInternal(const char *className, const QUrl &url, const QVariant &argument,
                         QSharedPointer<QObjectEndpoint> endpoint);
    ~RemoteObjectInternal() override;

Q_SIGNALS:
    void connected();
    void disconnected();
    void error(Zeto::ErrorInfo errorInfo);

private:
    const QSharedPointer<QObjectEndpoint> m_endpoint;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTEOBJECTINTERNAL_H
