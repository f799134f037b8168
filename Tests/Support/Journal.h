#ifndef ZETO_JOURNAL_H
#define ZETO_JOURNAL_H

#include "Client/IRemoteObjectConnection.h"
#include "Client/IRemoteSlotResponse.h"
#include "Client/RemoteObject.h"
#include "ErrorHandler/ErrorHandler.h"

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace Zeto {
namespace Testing {

// What remote objects and handles report, in the order heard, each line
// headed by the name it was watched under: "sum responded",
// "link failed: Request timed out.", "calculator error: Connection dropped.".
class Journal : public QObject
{
    Q_OBJECT

public:
    void watch(const QString &name, Client::RemoteObject *remote);
    void watch(const QString &name, Client::IRemoteSlotResponse *response);
    void watch(const QString &name, Client::IRemoteObjectConnection *connection);

    QStringList entriesOf(const QString &name) const;

    QStringList entries;

private:
    void note(const QString &name, const QString &report);
};

// The line a failure of that name is noted as.
QString failure(const QString &name, const ErrorInfo &errorInfo);

// Returns once every report that the library has queued so far has been
// heard: one more report, queued as they are, arrives after them.
void waitForQueuedReports();

// Whether a handle's library half still has a deadline to pass: its
// deadline is the only timer it runs.
bool hasDeadline(QObject *library);

} // namespace Testing
} // namespace Zeto

#endif // ZETO_JOURNAL_H
