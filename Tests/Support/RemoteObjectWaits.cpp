#include "RemoteObjectWaits.h"

#include <QtTest/QSignalSpy>

namespace Zeto {
namespace Testing {

Errors::Errors(Client::RemoteObject *remote)
{
    QObject::connect(remote, &Client::RemoteObject::error, &m_context,
                     [this](const ErrorInfo &errorInfo) { codes.append(errorInfo.error.connectionError); });
}

bool waitUntilConnected(Client::RemoteObject &remote)
{
    QSignalSpy connected(&remote, &Client::RemoteObject::connected);
    return connected.wait(5000);
}

QVariant resultOf(const QSharedPointer<Client::IRemoteSlotResponse> &response)
{
    QSignalSpy responded(response.data(), &Client::IRemoteSlotResponse::responded);
    return responded.wait(5000) ? responded.at(0).at(0) : QVariant();
}

} // namespace Testing
} // namespace Zeto
