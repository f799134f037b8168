#include "RemoteObjectRepositoryEntry.h"

#include <utility>

namespace Zeto {

IQObjectFactory::~IQObjectFactory() = default;

RemoteObjectRepositoryEntry::RemoteObjectRepositoryEntry()
    : m_kind(0)
{
}

RemoteObjectRepositoryEntry::RemoteObjectRepositoryEntry(qint32 kind, QSharedPointer<IQObjectFactory> factory,
                                                         QList<qint32> extraData)
    : m_kind(kind)
    , m_factory(std::move(factory))
    , m_extraData(std::move(extraData))
{
}

qint32 RemoteObjectRepositoryEntry::kind() const { return m_kind; }
QSharedPointer<IQObjectFactory> RemoteObjectRepositoryEntry::factory() const { return m_factory; }
QList<qint32> RemoteObjectRepositoryEntry::extraData() const { return m_extraData; }

bool RemoteObjectRepositoryEntry::isCreatable() const
{
    return m_kind == CreatableKind && m_factory;
}

} // namespace Zeto
