#ifndef ZETO_CLIENT_IREMOTESLOTRESPONSE_H
#define ZETO_CLIENT_IREMOTESLOTRESPONSE_H

#include "../ZetoGlobal.h"
#include "../ErrorHandler/ErrorHandler.h"

#include <QtCore/QObject>
#include <QtCore/QVariant>

namespace Zeto {
namespace Client {

// The outcome of one call of a remote slot. It reports at most once, always
// from the event loop, and never after the application has dropped it.
class ZETO_EXPORT IRemoteSlotResponse : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(IRemoteSlotResponse)

public:
    IRemoteSlotResponse();
    ~IRemoteSlotResponse() override;

    // Fails the call with RequestTimedOut unless it is answered within this
    // time from now; an answer that comes later is dropped. Set it right
    // after call(), before the event loop runs. 0 or less removes the
    // deadline; once the handle has reported, it changes nothing.
    virtual void setTimeout(int milliseconds) = 0;

Q_SIGNALS:
    // The remote slot returned; response is its result.
    void responded(QVariant response);
    void failed(Zeto::ErrorInfo error);
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_IREMOTESLOTRESPONSE_H
