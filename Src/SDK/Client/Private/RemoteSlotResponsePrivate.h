#ifndef ZETO_CLIENT_REMOTESLOTRESPONSEPRIVATE_H
#define ZETO_CLIENT_REMOTESLOTRESPONSEPRIVATE_H

#include "../../ZetoGlobal.h"
#include "../../ErrorHandler/ErrorHandler.h"

#include <QtCore/QObject>
#include <QtCore/QVariant>

namespace Zeto {
namespace Client {

// The half of a slot response that the library reports to. A report is
// queued twice (here, then to the public half), so the application never
// hears it inside the library's own processing, and reports keep their order.
class ZETO_PROTOCOL_EXPORT RemoteSlotResponsePrivate : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(RemoteSlotResponsePrivate)

public:
    RemoteSlotResponsePrivate() = default;

    void emitResponded(const QVariant &response);
    void emitFailed(const Zeto::ErrorInfo &errorInfo);

Q_SIGNALS:
    void responded(QVariant response);
    void failed(Zeto::ErrorInfo errorInfo);

private Q_SLOTS:
    void emitRespondedInternal(QVariant response);
    void emitFailedInternal(Zeto::ErrorInfo errorInfo);
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_REMOTESLOTRESPONSEPRIVATE_H
