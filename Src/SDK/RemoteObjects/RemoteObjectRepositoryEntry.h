#ifndef ZETO_REMOTEOBJECTREPOSITORYENTRY_H
#define ZETO_REMOTEOBJECTREPOSITORYENTRY_H

#include "../ZetoGlobal.h"
#include "IQObjectFactory.h"

#include <QtCore/QList>
#include <QtCore/QSharedPointer>

namespace Zeto {

// One class that peers may instantiate under a URL.
class ZETO_PRIVATE_EXPORT RemoteObjectRepositoryEntry
{
public:
    // The only kind whose objects peers may create.
    static constexpr qint32 CreatableKind = 1;

    // Kind 0 without factory: nothing can be created from it.
    RemoteObjectRepositoryEntry();
    RemoteObjectRepositoryEntry(qint32 kind, QSharedPointer<IQObjectFactory> factory, QList<qint32> extraData = {});

    qint32 kind() const;
    QSharedPointer<IQObjectFactory> factory() const;
    // Kept for whoever fills the repository; the endpoint does not read it.
    QList<qint32> extraData() const;

    bool isCreatable() const;

private:
    qint32 m_kind;
    QSharedPointer<IQObjectFactory> m_factory;
    QList<qint32> m_extraData;
};

} // namespace Zeto

#endif // ZETO_REMOTEOBJECTREPOSITORYENTRY_H
