#ifndef ZETO_REMOTEOBJECTREPOSITORY_H
#define ZETO_REMOTEOBJECTREPOSITORY_H

#include "../ZetoGlobal.h"
#include "RemoteObjectRepositoryEntry.h"

#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QUrl>

namespace Zeto {

// The classes that peers may instantiate, by URL path and optionally host.
// An implicitly shared value: every endpoint of a connection holds a copy.
class ZETO_PRIVATE_EXPORT RemoteObjectRepository
{
public:
    // An entry for a path answers requests for that path on any host; one
    // added with a host as well takes precedence on that host. Adding again
    // under the same path and host replaces the entry.
    void addEntry(const QString &path, const RemoteObjectRepositoryEntry &entry, const QString &host = QString());
    // A creatable entry made by the factory (see QObjectFactory).
    void addEntry(const QString &path, const QSharedPointer<IQObjectFactory> &factory,
                  const QString &host = QString());

    // Host and path only; scheme, port, user, query and fragment play no
    // part. An empty entry when nothing matches.
    RemoteObjectRepositoryEntry entry(const QUrl &url) const;

    bool isEmpty() const;
    int size() const;

private:
    QHash<QUrl, RemoteObjectRepositoryEntry> m_entries;
};

} // namespace Zeto

#endif // ZETO_REMOTEOBJECTREPOSITORY_H
