#ifndef ZETO_REMOTEOBJECTWAITS_H
#define ZETO_REMOTEOBJECTWAITS_H

#include "Client/IRemoteSlotResponse.h"
#include "Client/RemoteObject.h"

#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QSharedPointer>
#include <QtCore/QVariant>

namespace Zeto {
namespace Testing {

// The errors of one remote object, as codes.
class Errors
{
public:
    explicit Errors(Client::RemoteObject *remote);

    QList<int> codes;

private:
    QObject m_context;
};

// Whether connected() came within 5 s.
bool waitUntilConnected(Client::RemoteObject &remote);

// The answer of a call, or an invalid value if none came within 5 s.
QVariant resultOf(const QSharedPointer<Client::IRemoteSlotResponse> &response);

} // namespace Testing
} // namespace Zeto

#endif // ZETO_REMOTEOBJECTWAITS_H
