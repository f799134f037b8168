#include "ConnectedSignal.h"

#include "../QObjectInfo/QObjectInfo.h"

#include <QtCore/QThread>

#include <algorithm>

namespace Zeto {

ConnectedSignal::ConnectedSignal(QObject *emitter, int signalIndex, const QByteArray &connectionId,
                                 const QByteArray &senderObjectId, const QByteArray &signalSignature,
                                 const QByteArray &receiverObjectId, const QByteArray &slotSignature)
    : ConnectedSignalPrivate(connectionId, senderObjectId, signalSignature, receiverObjectId, slotSignature)
    , m_signalIndex(signalIndex)
{
    const std::optional<ErrorInfo> failure = watch(emitter);
    if (failure) {
        postFailure(*failure);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT connected(this->connectionId()); }, Qt::QueuedConnection);
    m_watching = true;
    moveToThread(emitter->thread());
}

bool ConnectedSignal::isWatching() const
{
    return m_watching;
}

std::optional<ErrorInfo> ConnectedSignal::watch(QObject *emitter)
{
    if (!emitter)
        return makeErrorInfo(InvalidSignalEmitter);
    const QMetaObject *metaObject = emitter->metaObject();
    m_signal = metaObject->method(m_signalIndex);
    if (!m_signal.isValid() || !isOwnPublicSignal(metaObject))
        return makeErrorInfo(RemoteSignalNotFound);
    if (m_signal.parameterCount() > MaxSignalParameters)
        return makeErrorInfo(SignalTooBig);
    for (int parameter = 0; parameter < m_signal.parameterCount(); ++parameter)
        m_parameterTypes.append(parameterTypeId(m_signal, parameter));
    if (!QMetaObject::connect(emitter, m_signalIndex, this, placeholderSlotIndex(), Qt::DirectConnection))
        return makeErrorInfo(InvalidSignal);
    connect(emitter, &QObject::destroyed, this, [this] { Q_EMIT emitterDestroyed(connectionId()); });
    return std::nullopt;
}

// Only the public signals that the emitter's own class declares. Compared by
// index: the declared signature may spell its types with typedefs.
bool ConnectedSignal::isOwnPublicSignal(const QMetaObject *metaObject) const
{
    const QList<MethodInfo> signalList = QObjectInfo(metaObject).signalList();
    return std::any_of(signalList.cbegin(), signalList.cend(),
                       [this](const MethodInfo &signal) { return signal.methodIndex() == m_signalIndex; });
}

void ConnectedSignal::postFailure(const ErrorInfo &errorInfo)
{
    QMetaObject::invokeMethod(
        this, [this, errorInfo] { Q_EMIT failed(connectionId(), errorInfo); }, Qt::QueuedConnection);
}

int ConnectedSignal::qt_metacall(QMetaObject::Call call, int index, void **arguments)
{
    if (call != QMetaObject::InvokeMetaMethod || index != placeholderSlotIndex())
        return ConnectedSignalPrivate::qt_metacall(call, index, arguments);
    const ConnectedSignalEmittedEvent &fields = link();
    Q_EMIT connectedSignalEmitted(ConnectedSignalEmittedEvent(fields.connectionId(), fields.senderObjectId(),
                                                              fields.signalSignature(), fields.receiverObjectId(),
                                                              fields.slotSignature(), capture(arguments)));
    return -1;
}

QVector<QVariant> ConnectedSignal::capture(void **arguments) const
{
    QVector<QVariant> values;
    values.reserve(m_parameterTypes.size());
    for (int parameter = 0; parameter < m_parameterTypes.size(); ++parameter)
        values.append(QVariant(m_parameterTypes.at(parameter), arguments[parameter + 1]));
    return values;
}

} // namespace Zeto
