#include "RemoteObjectRepository.h"

#include <QtCore/QDir>

namespace Zeto {

namespace {

// Host and path in their fully encoded forms, so that equivalent spellings
// of a URL find the same entry. Every path is absolute, and no path is the
// root, as in any URL with a host.
QUrl key(const QString &encodedHost, const QString &encodedPath)
{
    QString path = QDir::cleanPath(encodedPath);
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    QUrl key;
    if (!encodedHost.isEmpty())
        key.setHost(encodedHost.toLower(), QUrl::StrictMode);
    key.setPath(path, QUrl::StrictMode);
    return key;
}

QUrl hostAndPathKey(const QUrl &url)
{
    return key(url.host(QUrl::FullyEncoded), url.path(QUrl::FullyEncoded));
}

QUrl pathKey(const QUrl &url)
{
    return key(QString(), url.path(QUrl::FullyEncoded));
}

} // namespace

void RemoteObjectRepository::addEntry(const QString &path, const RemoteObjectRepositoryEntry &entry,
                                      const QString &host)
{
    QUrl url;
    url.setHost(host);
    url.setPath(path);
    m_entries.insert(host.isEmpty() ? pathKey(url) : hostAndPathKey(url), entry);
}

void RemoteObjectRepository::addEntry(const QString &path, const QSharedPointer<IQObjectFactory> &factory,
                                      const QString &host)
{
    addEntry(path, RemoteObjectRepositoryEntry(RemoteObjectRepositoryEntry::CreatableKind, factory), host);
}

RemoteObjectRepositoryEntry RemoteObjectRepository::entry(const QUrl &url) const
{
    const auto withHost = m_entries.constFind(hostAndPathKey(url));
    if (withHost != m_entries.cend())
        return *withHost;
    return m_entries.value(pathKey(url));
}

bool RemoteObjectRepository::isEmpty() const
{
    return m_entries.isEmpty();
}

int RemoteObjectRepository::size() const
{
    return m_entries.size();
}

} // namespace Zeto
