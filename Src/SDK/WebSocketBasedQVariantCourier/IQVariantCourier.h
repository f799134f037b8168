#ifndef ZETO_IQVARIANTCOURIER_H
#define ZETO_IQVARIANTCOURIER_H

#include "../ZetoGlobal.h"
#include "../ErrorHandler/ErrorHandler.h"

#include <QtCore/QObject>
#include <QtCore/QVariant>

namespace Zeto {

// Carries whole QVariants between two peers. After error() the courier
// receives nothing more, and what it is still asked to send reaches nobody.
class ZETO_PRIVATE_EXPORT IQVariantCourier : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // False when the value cannot be written: then nothing is sent, and the
    // sender fails the operation the value belongs to. A value is written
    // once, so that is known before it is promised to the peer.
    virtual bool sendQVariant(const QVariant &qVariant) = 0;

Q_SIGNALS:
    void receivedQVariant(QVariant qVariant);
    void error(Zeto::ErrorInfo errorInfo);
};

} // namespace Zeto

#endif // ZETO_IQVARIANTCOURIER_H
