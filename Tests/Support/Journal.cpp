#include "Journal.h"

#include "Client/Private/RemoteSlotResponse.h"
#include "Client/Private/RemoteSlotResponsePrivate.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QRegularExpression>
#include <QtTest/QSignalSpy>

namespace Zeto {
namespace Testing {

using Client::IRemoteObjectConnection;
using Client::IRemoteSlotResponse;

void Journal::watch(const QString &name, Client::RemoteObject *remote)
{
    connect(remote, &Client::RemoteObject::error, this,
            [this, name](const ErrorInfo &errorInfo) { note(name, "error: " + errorInfo.description()); });
}

void Journal::watch(const QString &name, IRemoteSlotResponse *response)
{
    connect(response, &IRemoteSlotResponse::responded, this, [this, name] { note(name, "responded"); });
    connect(response, &IRemoteSlotResponse::failed, this,
            [this, name](const ErrorInfo &errorInfo) { entries.append(failure(name, errorInfo)); });
}

void Journal::watch(const QString &name, IRemoteObjectConnection *connection)
{
    connect(connection, &IRemoteObjectConnection::connected, this, [this, name] { note(name, "connected"); });
    connect(connection, &IRemoteObjectConnection::disconnected, this, [this, name] { note(name, "disconnected"); });
    connect(connection, &IRemoteObjectConnection::failed, this,
            [this, name](const ErrorInfo &errorInfo) { entries.append(failure(name, errorInfo)); });
}

QStringList Journal::entriesOf(const QString &name) const
{
    return entries.filter(QRegularExpression("^" + QRegularExpression::escape(name) + " "));
}

void Journal::note(const QString &name, const QString &report) { entries.append(name + ' ' + report); }

QString failure(const QString &name, const ErrorInfo &errorInfo)
{
    return name + " failed: " + errorInfo.description();
}

void waitForQueuedReports()
{
    Client::RemoteSlotResponse marker;
    QSignalSpy heard(&marker, &IRemoteSlotResponse::responded);
    marker.d_func()->emitResponded(QVariant());
    heard.wait(5000);
}

bool hasDeadline(QObject *library)
{
    return !QAbstractEventDispatcher::instance(library->thread())->registeredTimers(library).isEmpty();
}

} // namespace Testing
} // namespace Zeto
