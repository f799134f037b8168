#ifndef ZETO_OBJECTTABLE_H
#define ZETO_OBJECTTABLE_H

#include "../ErrorHandler/ErrorHandler.h"
#include "../RemoteObjects/RemoteObjectRepository.h"
#include "ObjectRecord.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QMultiHash>
#include <QtCore/QSet>
#include <QtCore/QSharedPointer>
#include <QtCore/QUrl>
#include <QtCore/QVariant>
#include <QtCore/QVector>

#include <optional>

namespace Zeto {

class IConnectionInformationFactory;
class InstantiateQObjectRequest;
class InstantiateQObjectResponse;
class InstantiatedQObjectDestroyedEvent;
class PeerQuota;
class QObjectEndpoint;

// The objects of one endpoint that the peer may reach, and the objects the
// peer created for it: registration, creation on either side's request, and
// the events of their end.
class ObjectTable
{
public:
    // The ids a gone object was known by, and those of them that had been
    // created here for the peer.
    struct Removal
    {
        QList<QByteArray> objectIds;
        QVector<QByteArray> instantiatedIds;
    };

    ObjectTable(QObjectEndpoint &endpoint, const RemoteObjectRepository &repository,
                QSharedPointer<IConnectionInformationFactory> connectionInformationFactory,
                QSharedPointer<PeerQuota> quota);

    QByteArray registerQObject(QObject *object);
    QByteArray requestInstantiation(const QByteArray &className, const QUrl &url, const QVariant &argument);

    void serveInstantiation(const InstantiateQObjectRequest &request);
    void onInstantiationResponse(const InstantiateQObjectResponse &response);
    void onInstantiatedObjectDestroyedEvent(const InstantiatedQObjectDestroyedEvent &event);

    bool contains(const QByteArray &objectId) const;
    // An empty record for an unknown id.
    ObjectRecord record(const QByteArray &objectId) const;
    // For the log: "Class at URL" for an object made at the peer, the class
    // for one of ours.
    QByteArray describe(const QByteArray &objectId) const;
    int localInstantiationCount() const;

    Removal remove(QObject *object);
    // Tells the peer and then this side that the objects are gone.
    void announceDestroyed(const QVector<QByteArray> &instantiatedIds);
    // Lets every object go, deleting those created for the peer later, and
    // tells this side which of those went; nothing is sent.
    void releaseAll();

private:
    std::optional<ErrorInfo> instantiate(const InstantiateQObjectRequest &request);
    QObject *createObject(const RemoteObjectRepositoryEntry &entry, const QVariant &argument);
    QByteArray addRecord(const QByteArray &objectId, const ObjectRecord &record);
    void failInstantiationLater(const QByteArray &objectId, ConnectionError connectionError);

    QObjectEndpoint &m_endpoint;
    const RemoteObjectRepository m_repository;
    const QSharedPointer<IConnectionInformationFactory> m_connectionInformationFactory;
    const QSharedPointer<PeerQuota> m_quota;

    QHash<QByteArray, ObjectRecord> m_records;
    // The ids of each live object; the pointer is a key only, never used.
    QMultiHash<QObject *, QByteArray> m_objectIds;
    // Requested of the peer, each with its class and URL for the log.
    QHash<QByteArray, QByteArray> m_pendingInstantiations;
    // Created here for the peer, and created at the peer for this side (with
    // its class and URL). A peer's destruction event concerns only the
    // second kind.
    QSet<QByteArray> m_localInstantiations;
    QHash<QByteArray, QByteArray> m_remoteInstantiations;
};

} // namespace Zeto

#endif // ZETO_OBJECTTABLE_H
