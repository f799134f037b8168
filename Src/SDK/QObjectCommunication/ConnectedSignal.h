#ifndef ZETO_CONNECTEDSIGNAL_H
#define ZETO_CONNECTEDSIGNAL_H

#include "ConnectedSignalPrivate.h"

#include <QtCore/QMetaMethod>
#include <QtCore/QVector>

#include <optional>

namespace Zeto {

// Watches one signal of any class by method index and reports each emission,
// with its arguments as QVariants, as a ConnectedSignalEmittedEvent.
//
// A watcher lives in its emitter's thread, so that it is never deleted while
// an emission runs through it; its owner lets it go with deleteLater().
class ZETO_PRIVATE_EXPORT ConnectedSignal : public ConnectedSignalPrivate
{
public:
    // Signals with more parameters cannot be forwarded in one call.
    static constexpr int MaxSignalParameters = 10;

    // Whether the watch started is read from isWatching() right after; a
    // failure is also posted as failed().
    ConnectedSignal(QObject *emitter, int signalIndex, const QByteArray &connectionId,
                    const QByteArray &senderObjectId, const QByteArray &signalSignature,
                    const QByteArray &receiverObjectId, const QByteArray &slotSignature);

    bool isWatching() const;

    int qt_metacall(QMetaObject::Call call, int index, void **arguments) override;

private:
    std::optional<ErrorInfo> watch(QObject *emitter);
    bool isOwnPublicSignal(const QMetaObject *metaObject) const;
    void postFailure(const ErrorInfo &errorInfo);
    QVector<QVariant> capture(void **arguments) const;

    bool m_watching = false;
    QMetaMethod m_signal;
    // Resolved once: Qt knows no type for a parameter spelt with a typedef.
    QVector<int> m_parameterTypes;
    int m_signalIndex = -1;
};

} // namespace Zeto

#endif // ZETO_CONNECTEDSIGNAL_H
