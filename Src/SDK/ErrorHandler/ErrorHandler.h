#ifndef ZETO_ERRORHANDLER_H
#define ZETO_ERRORHANDLER_H

#include "../ZetoGlobal.h"

#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtNetwork/QAbstractSocket>
#include <QtNetwork/QSslError>

namespace Zeto {

class ConnectionInfo;
class DataStream;
class IErrorHandler;

// Which enumeration the code of an ErrorInfo belongs to.
enum ErrorType : qint32 {
    SocketErrorType = 0,
    SslErrorType = 1,
    ConnectionErrorType = 2
};

// The SDK's own error codes. They travel on the wire, so the numbers are
// fixed: new codes are appended, none is ever renumbered.
enum ConnectionError : qint32 {
    InvalidProxyHeader = 0,
    ProxyHeaderReadTimedOut = 1,
    SslHandshakeTimedOut = 2,
    WebSocketHandshakeTimedOut = 3,
    ZetoHandshakeTimedOut = 4,
    ZetoHandshakeFailed = 5,
    RequestTimedOut = 6,
    ConnectionTimedOut = 7,
    MessageIntegrityCheckFailed = 8,
    InvalidHttpRequest = 9,
    HttpHandlerNotFound = 10,
    InvalidMessage = 11,
    RemoteObjectNotFound = 12,
    RemoteSignalNotFound = 13,
    RemoteSlotNotFound = 14,
    SignalTooBig = 15,
    InvalidObject = 16,
    InvalidSignal = 17,
    InvalidSlot = 18,
    SignalIncompatibleToSlot = 19,
    InvalidSignalEmitter = 20,
    RemoteSlotRaisedException = 21,
    TooManyRemoteObjects = 22,
    TooManyRemoteSignalSlotConnections = 23,
    InvalidRemoteObjectUrl = 24,
    ConnectionDropped = 25,
    ConnectedReceiverNotFound = 26,
    PointerArgument = 27,
    UnregisteredArgument = 28,
    PeerNotResponding = 29
};

// One 32-bit code; the ErrorType of the ErrorInfo says which member is meant.
union Error {
    QAbstractSocket::SocketError socketError;
    QSslError::SslError sslError;
    ConnectionError connectionError;
};

// Every failure the SDK reports. A plain value: copying copies both fields.
struct ZETO_EXPORT ErrorInfo
{
    // An unknown socket error.
    ErrorInfo();
    // Stores both as given; codes from a peer may lie outside the known ranges.
    ErrorInfo(ErrorType errorType, Error code);

    QString description() const;

    ErrorType type;
    Error error;
};

ZETO_EXPORT ErrorInfo makeErrorInfo(ConnectionError connectionError);
ZETO_EXPORT ErrorInfo makeErrorInfo(QAbstractSocket::SocketError socketError);
ZETO_EXPORT ErrorInfo makeErrorInfo(QSslError::SslError sslError);

ZETO_EXPORT QString errorInfoDescription(ErrorInfo errorInfo);

// Values of a type outside the three known ones are never equal, not even to
// themselves: their codes have no meaning to compare.
ZETO_EXPORT bool operator==(const ErrorInfo &left, const ErrorInfo &right);
ZETO_EXPORT bool operator!=(const ErrorInfo &left, const ErrorInfo &right);

// Two 32-bit integers, the type and then the code, for every value.
ZETO_EXPORT DataStream &operator<<(DataStream &stream, const ErrorInfo &errorInfo);
ZETO_EXPORT DataStream &operator>>(DataStream &stream, ErrorInfo &errorInfo);

// Takes ownership of the handler and deletes the one it replaces. Null removes
// the installed handler.
ZETO_EXPORT void setErrorHandler(IErrorHandler *handler);

class ZETO_EXPORT ErrorHandler
{
public:
    // Passes the error to the installed handler, if any. Calls are serialised
    // across threads, so a handler must not call back into the hook.
    static void handleError(const ErrorInfo &errorInfo, const ConnectionInfo &connectionInfo);
};

} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::ErrorInfo)

#endif // ZETO_ERRORHANDLER_H
