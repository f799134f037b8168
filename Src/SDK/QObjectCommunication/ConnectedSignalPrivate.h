#ifndef ZETO_CONNECTEDSIGNALPRIVATE_H
#define ZETO_CONNECTEDSIGNALPRIVATE_H

#include "../ErrorHandler/ErrorHandler.h"
#include "../ZetoGlobal.h"
#include "Messages/ConnectedSignalEmittedEvent.h"

#include <QtCore/QByteArray>
#include <QtCore/QObject>

namespace Zeto {

// The signals and the placeholder slot of a signal watcher. The watched
// signal is connected to the placeholder by index; ConnectedSignal takes the
// call over while the raw argument pointers are still at hand.
class ZETO_PRIVATE_EXPORT ConnectedSignalPrivate : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ConnectedSignalPrivate)

public:
    ConnectedSignalPrivate(const QByteArray &connectionId, const QByteArray &senderObjectId,
                           const QByteArray &signalSignature, const QByteArray &receiverObjectId,
                           const QByteArray &slotSignature);

    QByteArray connectionId() const;

Q_SIGNALS:
    void connectedSignalEmitted(Zeto::ConnectedSignalEmittedEvent connectedSignalEmittedEvent);
    void connected(QByteArray connectionId);
    void emitterDestroyed(QByteArray connectionId);
    void failed(QByteArray connectionId, Zeto::ErrorInfo errorInfo);

protected Q_SLOTS:
    // Does nothing when invoked normally.
    void onConnectedSignalEmitted();

protected:
    int placeholderSlotIndex() const;
    // The link's fields; every emission gets an event of its own built from
    // them, since emitters on several threads may emit at once.
    const ConnectedSignalEmittedEvent &link() const;

private:
    const ConnectedSignalEmittedEvent m_link;
    int m_slotIndex = -1;
};

} // namespace Zeto

#endif // ZETO_CONNECTEDSIGNALPRIVATE_H
