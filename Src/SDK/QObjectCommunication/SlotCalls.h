#ifndef ZETO_SLOTCALLS_H
#define ZETO_SLOTCALLS_H

#include "../ErrorHandler/ErrorHandler.h"
#include "SlotInvocation.h"
#include "SlotSignatureCache.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QSharedPointer>
#include <QtCore/QVarLengthArray>
#include <QtCore/QVariant>
#include <QtCore/QVector>

#include <optional>

namespace Zeto {

class CallSlotRequest;
class CallSlotResponse;
class LinkedReceivers;
class ObjectRecord;
class ObjectTable;
class PeerQuota;
class QObjectEndpoint;

// The slot calls of one endpoint: those it makes of the peer, directly or
// for a linked emission, those the peer makes of it, and their answers.
class SlotCalls
{
public:
    SlotCalls(QObjectEndpoint &endpoint, const ObjectTable &objects, const LinkedReceivers &linkedReceivers,
              QSharedPointer<PeerQuota> quota);

    QByteArray call(const QByteArray &objectId, const char *slotName, const QVector<QVariant> &arguments);
    QByteArray call(const QByteArray &objectId, const QByteArray &slotSignature, const QVector<QVariant> &arguments);
    // Forwards an emission of a watched signal to the peer's linked slot.
    QByteArray callLinkedSlot(const QByteArray &connectionId, const QByteArray &receiverObjectId,
                              const QByteArray &slotSignature, const QVector<QVariant> &arguments);
    void onSlotCallResponse(const CallSlotResponse &response);

    void serveSlotCall(const CallSlotRequest &request);

    // Forwarded emissions that wait for the peer's answer.
    int waitingForwardedCallCount() const;

private:
    void serveInTurnWithReports(const CallSlotRequest &request);
    void answerSlotCall(const CallSlotRequest &request);
    std::optional<ConnectionError> invokeRequestedSlot(const CallSlotRequest &request, QVariant *result);
    std::optional<ConnectionError> invokeCalledSlot(const CallSlotRequest &request, QVariant *result);
    std::optional<ConnectionError> invokeLinkedSlot(const CallSlotRequest &request, QVariant *result);
    // The record is a copy: the slot may change the table.
    static std::optional<ConnectionError> invokeSlot(const ObjectRecord &record, const QByteArray &normalizedSlot,
                                                     SlotInvocation::ArgumentCount argumentCount,
                                                     const QVector<QVariant> &arguments, QVariant *result);
    void failSlotCallLater(const QByteArray &slotCallId, ConnectionError connectionError);
    QByteArray resultTypeOf(const CallSlotRequest &request);
    void logFailure(const QByteArray &slotSignature, const QByteArray &objectId, const ErrorInfo &errorInfo,
                    const char *detail = "") const;
    const QByteArray &signatureFor(const char *slotName, const QVector<QVariant> &arguments);

    QObjectEndpoint &m_endpoint;
    const ObjectTable &m_objects;
    const LinkedReceivers &m_linkedReceivers;
    const QSharedPointer<PeerQuota> m_quota;
    // Each call's signature, for the log should it fail.
    QHash<QByteArray, QByteArray> m_pendingSlotCalls;
    QSet<QByteArray> m_pendingForwardedCalls;
    SlotSignatureCache m_slotSignatures;
    // The signature the last call was sent with: calls in a row are mostly
    // of one slot with the same argument types.
    struct SentSignature
    {
        QByteArray slotName;
        QVarLengthArray<int, 4> argumentTypes;
        QByteArray signature;
    };
    SentSignature m_lastSent;
};

} // namespace Zeto

#endif // ZETO_SLOTCALLS_H
