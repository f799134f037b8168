#ifndef ZETO_IERRORHANDLER_H
#define ZETO_IERRORHANDLER_H

#include "../ZetoGlobal.h"

namespace Zeto {

class ConnectionInfo;
struct ErrorInfo;

// Receives the errors passed to ErrorHandler::handleError. The SDK owns the
// installed handler and calls it with its lock held, one call at a time.
class ZETO_EXPORT IErrorHandler
{
public:
    IErrorHandler() = default;
    IErrorHandler(const IErrorHandler &) = default;
    IErrorHandler &operator=(const IErrorHandler &) = default;
    virtual ~IErrorHandler();

    virtual void handleError(const ErrorInfo &errorInfo, const ConnectionInfo &connectionInfo) = 0;
};

} // namespace Zeto

#endif // ZETO_IERRORHANDLER_H
