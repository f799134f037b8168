#ifndef ZETO_IQOBJECTENDPOINTFACTORY_H
#define ZETO_IQOBJECTENDPOINTFACTORY_H

#include "../ZetoGlobal.h"
#include "../ErrorHandler/ErrorHandler.h"
#include "QObjectEndpoint.h"

#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QSharedPointer>

namespace Zeto {

// Creates endpoints in pairs with the peer: a local one on request, and the
// peer's counterpart when the peer asks.
class ZETO_PRIVATE_EXPORT IQObjectEndpointFactory : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Null when no messenger could be made; nothing is sent then.
    virtual QSharedPointer<QObjectEndpoint> createEndpoint() = 0;

Q_SIGNALS:
    // The peer asked for an endpoint and this side created it. It lives only
    // as long as a receiver keeps the pointer.
    void newEndpoint(QSharedPointer<Zeto::QObjectEndpoint> endpoint);
    void endpointCreationFailed(QByteArray endpointId, Zeto::ErrorInfo errorInfo);
    // A failure that belongs to no single endpoint.
    void error(Zeto::ErrorInfo errorInfo);
    // The connection is over.
    void finished();
};

} // namespace Zeto

#endif // ZETO_IQOBJECTENDPOINTFACTORY_H
