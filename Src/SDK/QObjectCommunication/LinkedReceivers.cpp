#include "LinkedReceivers.h"

namespace Zeto {

bool LinkedReceivers::contains(const QByteArray &connectionId) const { return m_receivers.contains(connectionId); }

LinkedReceivers::Receiver LinkedReceivers::receiver(const QByteArray &connectionId) const
{
    return m_receivers.value(connectionId);
}

int LinkedReceivers::size() const { return m_receivers.size(); }

void LinkedReceivers::insert(const QByteArray &connectionId, const Receiver &receiver)
{
    m_receivers.insert(connectionId, receiver);
}

bool LinkedReceivers::remove(const QByteArray &connectionId) { return m_receivers.remove(connectionId) > 0; }

QVector<QByteArray> LinkedReceivers::takeLinksOf(const QByteArray &objectId)
{
    QVector<QByteArray> connectionIds;
    for (auto link = m_receivers.begin(); link != m_receivers.end();) {
        if (link->objectId == objectId) {
            connectionIds.append(link.key());
            link = m_receivers.erase(link);
        } else {
            ++link;
        }
    }
    return connectionIds;
}

} // namespace Zeto
