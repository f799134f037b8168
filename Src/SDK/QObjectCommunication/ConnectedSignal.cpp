#include "ConnectedSignal.h"

#include "../QObjectInfo/QObjectInfo.h"

#include <QtCore/QThread>

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
    // Only the public signals that the emitter's own class declares.
    const QByteArray signature = QMetaObject::normalizedSignature(m_signal.methodSignature().constData());
    if (!m_signal.isValid() || QObjectInfo(metaObject).signalIndex(signature) != m_signalIndex)
        return makeErrorInfo(RemoteSignalNotFound);
    if (m_signal.parameterCount() > MaxSignalParameters)
        return makeErrorInfo(SignalTooBig);
    if (!QMetaObject::connect(emitter, m_signalIndex, this, placeholderSlotIndex(), Qt::DirectConnection))
        return makeErrorInfo(InvalidSignal);
    connect(emitter, &QObject::destroyed, this, [this] { Q_EMIT emitterDestroyed(connectionId()); });
    return std::nullopt;
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
    const int count = m_signal.parameterCount();
    QVector<QVariant> values;
    values.reserve(count);
    for (int parameter = 0; parameter < count; ++parameter)
        values.append(QVariant(m_signal.parameterType(parameter), arguments[parameter + 1]));
    return values;
}

} // namespace Zeto
