#ifndef ZETO_LINKEDRECEIVERS_H
#define ZETO_LINKEDRECEIVERS_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QVector>

namespace Zeto {

// The local slots that links from the peer's signals reach, by connection
// id: the links make and remove them, the forwarded calls are checked
// against them.
class ZETO_PRIVATE_EXPORT LinkedReceivers
{
public:
    struct Receiver
    {
        QByteArray objectId;
        QByteArray normalizedSlot;
    };

    bool contains(const QByteArray &connectionId) const;
    // An empty receiver for an unknown id.
    Receiver receiver(const QByteArray &connectionId) const;
    int size() const;

    void insert(const QByteArray &connectionId, const Receiver &receiver);
    bool remove(const QByteArray &connectionId);
    // Removes the links to one object; their connection ids.
    QVector<QByteArray> takeLinksOf(const QByteArray &objectId);

private:
    QHash<QByteArray, Receiver> m_receivers;
};

} // namespace Zeto

#endif // ZETO_LINKEDRECEIVERS_H
