#include "SlotCalls.h"

#include "../LoggingCategories_p.h"
#include "../Messenger/Id.h"
#include "LinkedReceivers.h"
#include "Messages/CallSlotRequest.h"
#include "Messages/CallSlotResponse.h"
#include "ObjectTable.h"
#include "PeerQuota.h"
#include "QObjectEndpoint.h"

#include <QtCore/QMetaObject>

#include <algorithm>
#include <utility>

namespace Zeto {

namespace {

// SLOT-coded: the code, the name, and the type names of the arguments.
QByteArray slotSignatureOf(const char *slotName, const QVector<QVariant> &arguments)
{
    // Every call builds one: sized first, it is allocated once.
    int length = int(qstrlen(slotName)) + 3;
    for (const QVariant &argument : arguments)
        length += int(qstrlen(argument.typeName())) + 1;
    QByteArray signature;
    signature.reserve(length);
    signature += '1';
    signature += slotName;
    signature += '(';
    for (int index = 0; index < arguments.size(); ++index) {
        if (index > 0)
            signature += ',';
        signature += arguments.at(index).typeName();
    }
    signature += ')';
    return signature;
}

} // namespace

SlotCalls::SlotCalls(QObjectEndpoint &endpoint, const ObjectTable &objects, const LinkedReceivers &linkedReceivers,
                     QSharedPointer<PeerQuota> quota)
    : m_endpoint(endpoint),
      m_objects(objects),
      m_linkedReceivers(linkedReceivers),
      m_quota(std::move(quota))
{}

QByteArray SlotCalls::call(const QByteArray &objectId, const char *slotName, const QVector<QVariant> &arguments)
{
    if (!isValidId(objectId) || !slotName || arguments.size() > SlotInvocation::MaxArguments) {
        const QByteArray slotCallId = generateId();
        failSlotCallLater(slotCallId, InvalidMessage);
        return slotCallId;
    }
    // A copy: sending may call again and replace the remembered one.
    const QByteArray slotSignature = signatureFor(slotName, arguments);
    return call(objectId, slotSignature, arguments);
}

const QByteArray &SlotCalls::signatureFor(const char *slotName, const QVector<QVariant> &arguments)
{
    const auto sameTypes = [&arguments](const QVarLengthArray<int, 4> &types) {
        return std::equal(types.cbegin(), types.cend(), arguments.cbegin(), arguments.cend(),
                          [](int type, const QVariant &argument) { return type == argument.userType(); });
    };
    if (m_lastSent.slotName != slotName || !sameTypes(m_lastSent.argumentTypes)) {
        m_lastSent.slotName = slotName;
        m_lastSent.argumentTypes.clear();
        for (const QVariant &argument : arguments)
            m_lastSent.argumentTypes.append(argument.userType());
        m_lastSent.signature = slotSignatureOf(slotName, arguments);
    }
    return m_lastSent.signature;
}

QByteArray SlotCalls::call(const QByteArray &objectId, const QByteArray &slotSignature,
                           const QVector<QVariant> &arguments)
{
    const QByteArray slotCallId = generateId();
    if (!isValidId(objectId) || slotSignature.isEmpty() || arguments.size() > SlotInvocation::MaxArguments) {
        failSlotCallLater(slotCallId, InvalidMessage);
    } else if (m_endpoint.isFinished()) {
        failSlotCallLater(slotCallId, ConnectionDropped);
    } else if (!m_endpoint.send(
                   QVariant::fromValue(CallSlotRequest(objectId, slotCallId, slotSignature, arguments, {})))) {
        logFailure(slotSignature, objectId, makeErrorInfo(UnregisteredArgument), " (an argument cannot travel)");
        failSlotCallLater(slotCallId, UnregisteredArgument);
    } else {
        m_pendingSlotCalls.insert(slotCallId, slotSignature);
    }
    return slotCallId;
}

QByteArray SlotCalls::callLinkedSlot(const QByteArray &connectionId, const QByteArray &receiverObjectId,
                                     const QByteArray &slotSignature, const QVector<QVariant> &arguments)
{
    const QByteArray slotCallId = generateId();
    if (!isValidId(connectionId) || !isValidId(receiverObjectId) || slotSignature.isEmpty()
        || arguments.size() > SlotInvocation::MaxArguments) {
        failSlotCallLater(slotCallId, InvalidMessage);
    } else if (m_endpoint.isFinished()) {
        failSlotCallLater(slotCallId, ConnectionDropped);
    } else if (!m_quota->hasRoomFor(PeerQuota::WaitingCalls)) {
        failSlotCallLater(slotCallId, PeerNotResponding);
        m_quota->reportExhausted(PeerQuota::WaitingCalls);
    } else if (!m_endpoint.send(QVariant::fromValue(
                   CallSlotRequest(receiverObjectId, slotCallId, slotSignature, arguments, connectionId)))) {
        failSlotCallLater(slotCallId, UnregisteredArgument);
    } else {
        m_pendingForwardedCalls.insert(slotCallId);
        m_endpoint.reportUsage();
    }
    return slotCallId;
}

void SlotCalls::serveSlotCall(const CallSlotRequest &request)
{
    const bool reachesApplication = m_linkedReceivers.contains(request.connectionId())
        && m_objects.contains(request.objectId()) && !m_objects.record(request.objectId()).isInstantiated();
    if (reachesApplication)
        serveInTurnWithReports(request);
    else
        answerSlotCall(request);
}

// What the peer sent before this emission reaches the application two queued
// steps after it arrived; the emission waits as long, so that the application
// hears both in the peer's order.
void SlotCalls::serveInTurnWithReports(const CallSlotRequest &request)
{
    QObjectEndpoint *endpoint = &m_endpoint;
    QMetaObject::invokeMethod(
        endpoint,
        [this, endpoint, request] {
            QMetaObject::invokeMethod(
                endpoint, [this, request] { answerSlotCall(request); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void SlotCalls::answerSlotCall(const CallSlotRequest &request)
{
    QVariant result;
    std::optional<ConnectionError> failure = invokeRequestedSlot(request, &result);
    if (!failure
        && !m_endpoint.send(
            QVariant::fromValue(CallSlotResponse(true, request.objectId(), request.slotCallId(), result, {}))))
        failure = UnregisteredArgument;
    if (failure) {
        const ErrorInfo errorInfo = makeErrorInfo(*failure);
        const QByteArray resultType = *failure == UnregisteredArgument ? resultTypeOf(request) : QByteArray();
        const QByteArray detail =
            resultType.isEmpty() ? QByteArray(" refused") : " (its result, a " + resultType + ", cannot travel)";
        logFailure(request.slotSignature(), request.objectId(), errorInfo, detail.constData());
        m_endpoint.send(QVariant::fromValue(
            CallSlotResponse(false, request.objectId(), request.slotCallId(), QVariant(), errorInfo)));
        Q_EMIT m_endpoint.slotCallFailed(request.slotCallId(), errorInfo, false);
    } else {
        Q_EMIT m_endpoint.slotCalled(request.slotCallId(), result, false);
    }
}

std::optional<ConnectionError> SlotCalls::invokeRequestedSlot(const CallSlotRequest &request, QVariant *result)
{
    if (!isValidId(request.objectId()) || !isValidId(request.slotCallId())
        || request.arguments().size() > SlotInvocation::MaxArguments)
        return InvalidMessage;
    if (request.connectionId().isEmpty())
        return invokeCalledSlot(request, result);
    return invokeLinkedSlot(request, result);
}

std::optional<ConnectionError> SlotCalls::invokeCalledSlot(const CallSlotRequest &request, QVariant *result)
{
    const ObjectRecord record = m_objects.record(request.objectId());
    // The application's own objects answer only the links it made to them.
    if (!record.isInstantiated())
        return InvalidMessage;
    const QByteArray normalizedSlot = m_slotSignatures.normalizedSlot(request.slotSignature());
    if (normalizedSlot.isEmpty())
        return InvalidMessage;
    return invokeSlot(record, normalizedSlot, SlotInvocation::ExactArguments, request.arguments(), result);
}

// A link reaches only the receiver and the slot it was made for.
std::optional<ConnectionError> SlotCalls::invokeLinkedSlot(const CallSlotRequest &request, QVariant *result)
{
    const QByteArray &connectionId = request.connectionId();
    if (!isValidId(connectionId))
        return InvalidMessage;
    if (!m_linkedReceivers.contains(connectionId))
        return ConnectedReceiverNotFound;
    const QByteArray normalizedSlot = m_slotSignatures.normalizedSlot(request.slotSignature());
    const LinkedReceivers::Receiver receiver = m_linkedReceivers.receiver(connectionId);
    if (normalizedSlot.isEmpty() || receiver.objectId != request.objectId()
        || receiver.normalizedSlot != normalizedSlot)
        return InvalidMessage;
    const ObjectRecord record = m_objects.record(request.objectId());
    return invokeSlot(record, normalizedSlot, SlotInvocation::LeadingArguments, request.arguments(), result);
}

std::optional<ConnectionError> SlotCalls::invokeSlot(const ObjectRecord &record, const QByteArray &normalizedSlot,
                                                     SlotInvocation::ArgumentCount argumentCount,
                                                     const QVector<QVariant> &arguments, QVariant *result)
{
    const int slotIndex = record.slotIndex(normalizedSlot);
    QObject *object = record.object();
    if (slotIndex < 0 || !object)
        return RemoteSlotNotFound;
    const QMetaMethod slot = object->metaObject()->method(slotIndex);
    if (!slot.isValid())
        return RemoteSlotNotFound;
    return SlotInvocation(object, slot, argumentCount).invoke(arguments, result);
}

void SlotCalls::onSlotCallResponse(const CallSlotResponse &response)
{
    const QByteArray slotCallId = response.slotCallId();
    const auto pending = m_pendingSlotCalls.constFind(slotCallId);
    if (pending != m_pendingSlotCalls.cend()) {
        const QByteArray slotSignature = *pending;
        m_pendingSlotCalls.erase(pending);
        if (response.success()) {
            Q_EMIT m_endpoint.slotCalled(slotCallId, response.result(), true);
        } else {
            logFailure(slotSignature, response.objectId(), response.errorInfo());
            Q_EMIT m_endpoint.slotCallFailed(slotCallId, response.errorInfo(), true);
        }
    } else if (m_pendingForwardedCalls.remove(slotCallId)) {
        // The peer removed the link while the emission was on its way.
        if (!response.success() && response.errorInfo() != makeErrorInfo(ConnectedReceiverNotFound))
            Q_EMIT m_endpoint.slotCallFailed(slotCallId, response.errorInfo(), true);
    } else {
        m_endpoint.reportInvalidMessage();
    }
}

void SlotCalls::failSlotCallLater(const QByteArray &slotCallId, ConnectionError connectionError)
{
    const ErrorInfo errorInfo = makeErrorInfo(connectionError);
    QObjectEndpoint *endpoint = &m_endpoint;
    QMetaObject::invokeMethod(
        endpoint, [endpoint, slotCallId, errorInfo] { Q_EMIT endpoint->slotCallFailed(slotCallId, errorInfo, true); },
        Qt::QueuedConnection);
}

// The type the called slot returns; empty when no slot was found.
QByteArray SlotCalls::resultTypeOf(const CallSlotRequest &request)
{
    const ObjectRecord record = m_objects.record(request.objectId());
    const int slotIndex = record.slotIndex(m_slotSignatures.normalizedSlot(request.slotSignature()));
    const QObject *object = record.object();
    return slotIndex >= 0 && object ? QByteArray(object->metaObject()->method(slotIndex).typeName()) : QByteArray();
}

// "add(QString,int) on Calculator at zeto://host:4000/calc: Connection error.
// Remote slot not found.", from either side: each knows what it sent or got.
void SlotCalls::logFailure(const QByteArray &slotSignature, const QByteArray &objectId, const ErrorInfo &errorInfo,
                           const char *detail) const
{
    const QByteArray slot = slotSignature.startsWith('1') ? slotSignature.mid(1) : slotSignature;
    qCWarning(lcZetoProtocol, "%s on %s%s: %s", loggable(slot).constData(), m_objects.describe(objectId).constData(),
              detail, qPrintable(errorInfo.description()));
}

int SlotCalls::waitingForwardedCallCount() const { return m_pendingForwardedCalls.size(); }

} // namespace Zeto
