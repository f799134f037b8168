#ifndef ZETO_INPROCESSCOURIERPAIR_H
#define ZETO_INPROCESSCOURIERPAIR_H

#include "WebSocketBasedQVariantCourier/IQVariantCourier.h"

#include <QtCore/QPointer>
#include <QtCore/QSharedPointer>
#include <QtCore/QVariantList>

namespace Zeto {
namespace Testing {

// One end of an in-process transport. What it sends reaches its peer through
// the event loop, as over a socket, and is recorded for the test to inspect.
// Like a socket's courier, it refuses a value that cannot be written.
class InProcessCourier : public IQVariantCourier
{
    Q_OBJECT

public:
    bool sendQVariant(const QVariant &qVariant) override;

    // Everything sendQVariant accepted, in order, including what was sent
    // after an error and so reached nobody.
    QVariantList sentQVariants() const;
    void clearSentQVariants();

    // Both arrive from the event loop, as if from the peer or the transport.
    // After an error nothing more is received or delivered, as on a socket.
    void injectReceivedQVariant(const QVariant &qVariant);
    void injectError(const ErrorInfo &errorInfo);

    int pendingDeliveries() const;

private:
    friend class InProcessCourierPair;

    void receiveLater(const QVariant &qVariant);

    QPointer<InProcessCourier> m_peer;
    QVariantList m_sentQVariants;
    int m_pendingDeliveries = 0;
    bool m_failed = false;
};

// Two couriers wired to each other, shared so that brokers can hold them.
class InProcessCourierPair
{
public:
    InProcessCourierPair();

    QSharedPointer<InProcessCourier> first() const;
    QSharedPointer<InProcessCourier> second() const;

    // Runs the event loop until neither side has a value in flight, including
    // values sent in answer to delivered ones. False if that takes too long.
    bool deliverAll(int timeoutInMs = 5000);

private:
    const QSharedPointer<InProcessCourier> m_first;
    const QSharedPointer<InProcessCourier> m_second;
};

} // namespace Testing
} // namespace Zeto

#endif // ZETO_INPROCESSCOURIERPAIR_H
