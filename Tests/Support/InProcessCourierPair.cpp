#include "InProcessCourierPair.h"

#include "WebSocketBasedQVariantCourier/QVariantReaderWriter.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>

namespace Zeto {
namespace Testing {

bool InProcessCourier::sendQVariant(const QVariant &qVariant)
{
    QByteArray streamForm;
    if (!QVariantReaderWriter::forCurrentThread().writeStreamForm(streamForm, qVariant))
        return false;
    m_sentQVariants.append(qVariant);
    if (!m_failed && m_peer)
        m_peer->receiveLater(qVariant);
    return true;
}

QVariantList InProcessCourier::sentQVariants() const
{
    return m_sentQVariants;
}

void InProcessCourier::clearSentQVariants()
{
    m_sentQVariants.clear();
}

void InProcessCourier::injectReceivedQVariant(const QVariant &qVariant)
{
    receiveLater(qVariant);
}

void InProcessCourier::injectError(const ErrorInfo &errorInfo)
{
    ++m_pendingDeliveries;
    QMetaObject::invokeMethod(this, [this, errorInfo] {
        --m_pendingDeliveries;
        m_failed = true;
        Q_EMIT error(errorInfo);
    }, Qt::QueuedConnection);
}

int InProcessCourier::pendingDeliveries() const
{
    return m_pendingDeliveries;
}

void InProcessCourier::receiveLater(const QVariant &qVariant)
{
    ++m_pendingDeliveries;
    QMetaObject::invokeMethod(this, [this, qVariant] {
        --m_pendingDeliveries;
        if (!m_failed)
            Q_EMIT receivedQVariant(qVariant);
    }, Qt::QueuedConnection);
}

InProcessCourierPair::InProcessCourierPair()
    : m_first(new InProcessCourier)
    , m_second(new InProcessCourier)
{
    m_first->m_peer = m_second.data();
    m_second->m_peer = m_first.data();
}

QSharedPointer<InProcessCourier> InProcessCourierPair::first() const
{
    return m_first;
}

QSharedPointer<InProcessCourier> InProcessCourierPair::second() const
{
    return m_second;
}

bool InProcessCourierPair::deliverAll(int timeoutInMs)
{
    // One round at least, so that reports queued without a delivery arrive too.
    const QDeadlineTimer deadline(timeoutInMs);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (deadline.hasExpired())
            return false;
    } while (m_first->pendingDeliveries() > 0 || m_second->pendingDeliveries() > 0);
    return true;
}

} // namespace Testing
} // namespace Zeto
