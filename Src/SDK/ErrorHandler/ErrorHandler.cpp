#include "ErrorHandler.h"
#include "ErrorInfoRegistration_p.h"
#include "../LoggingCategories_p.h"

#include "IErrorHandler.h"
#include "../DataStream/StreamHelper.h"

#include <QtCore/QMetaEnum>
#include <QtCore/QMutex>
#include <QtCore/QSharedPointer>

#include <cstring>

namespace Zeto {

namespace {

static_assert(sizeof(Error) == sizeof(qint32), "Error codes travel as 32-bit integers.");

// Indexed by ConnectionError.
const char *const connectionErrorTexts[] = {
    "Invalid proxy header",
    "Proxy header read timed out.",
    "Ssl handshake timed out.",
    "WebSocket handshake timed out.",
    "Zeto handshake timed out.",
    "Zeto handshake failed.",
    "Request timed out.",
    "Connection timed out.",
    "Message integrity check failed.",
    "Invalid http request.",
    "Http handler was not found.",
    "Invalid message.",
    "Remote object not found.",
    "Remote signal not found.",
    "Remote slot not found.",
    "Signal is too big (has more than 10 arguments).",
    "Invalid object.",
    "Invalid signal.",
    "Invalid slot.",
    "Signal is incompatible to slot.",
    "Signal emitter is invalid.",
    "Remote slot raised an exception.",
    "Too many remote objects per connection.",
    "Too many remote signal slot connections.",
    "Remote object url is not valid.",
    "Connection dropped.",
    "Connected receiver not found.",
    "Argument is invalid. It is a pointer or reference to a pointer (**, *&, *).",
    "Argument is not registered. Use Zeto::registerType to register a custom type.",
    "Peer is not responding."
};

// Indexed by QAbstractSocket::SocketError + 1. Our own texts, so that both
// peers describe a code alike whatever their Qt version.
const char *const socketErrorTexts[] = {
    "An unidentified error occurred.",
    "The connection was refused by the peer (or timed out).",
    "The remote host closed the connection.",
    "The host address was not found.",
    "The socket operation failed because the application lacked the required privileges.",
    "The local system ran out of resources (e.g., too many sockets).",
    "The socket operation timed out.",
    "The datagram was larger than the operating system's limit (which can be as low as 8192 bytes).",
    "An error occurred with the network (e.g., the network cable was accidentally plugged out).",
    "The address specified is already in use and was set to be exclusive.",
    "The address specified does not belong to the host.",
    "The requested socket operation is not supported by the local operating system (e.g., lack of IPv6 support).",
    "The last socket operation attempted has not finished yet (still in progress in the background).",
    "The socket is using a proxy, and the proxy requires authentication.",
    "The SSL/TLS handshake failed, so the connection was closed.",
    "Could not contact the proxy server because the connection to that server was denied",
    "The connection to the proxy server was closed unexpectedly (before the connection to the final peer was established)",
    "The connection to the proxy server timed out or the proxy server stopped responding in the authentication phase.",
    "The proxy address was not found.",
    "The connection negotiation with the proxy server failed, because the response from the proxy server could not be understood.",
    "An operation was attempted while the socket was in a state that did not permit it.",
    "The SSL library being used reported an internal error. This is probably the result of a bad installation or misconfiguration of the library.",
    "Invalid data (certificate, key, cypher, etc.) was provided and its use resulted in an error in the SSL library.",
    "A temporary error occurred (e.g., operation would block and socket is non-blocking)."
};

template <std::size_t Count>
QLatin1String textAt(const char *const (&texts)[Count], qint64 index)
{
    return index >= 0 && index < qint64(Count) ? QLatin1String(texts[index]) : QLatin1String();
}

// Codes may come from a peer and lie outside every enumeration, so they are
// handled as the integers they are rather than loaded as enumerators.
qint32 errorCode(const Error &error)
{
    qint32 code;
    std::memcpy(&code, &error, sizeof code);
    return code;
}

Error errorFromCode(qint32 code)
{
    Error error;
    std::memcpy(&error, &code, sizeof error);
    return error;
}

bool hasKnownType(const ErrorInfo &errorInfo)
{
    return errorInfo.type >= SocketErrorType && errorInfo.type <= ConnectionErrorType;
}

// Qt describes every code it does not know as an unspecified error; mapping
// them here keeps integers outside the enumeration out of QSslError.
QString sslErrorText(qint32 code)
{
    const bool known = QMetaEnum::fromType<QSslError::SslError>().valueToKey(code) != nullptr;
    return QSslError(known ? QSslError::SslError(code) : QSslError::UnspecifiedError).errorString();
}

QMutex &mainLock()
{
    static QMutex mutex;
    return mutex;
}

// Guarded by mainLock(). Deleted at unload with the library.
QSharedPointer<IErrorHandler> &installedHandler()
{
    static QSharedPointer<IErrorHandler> handler;
    return handler;
}

} // namespace

int registerErrorInfoType()
{
    // Thread-safe once; every later ErrorInfo pays a load, not a lock.
    static const int id = [] {
        const int registered = registerType<ErrorInfo>();
        // Client signals spell the type without its namespace; the alias lets
        // string-based and queued connections to them carry it.
        qRegisterMetaType<ErrorInfo>("ErrorInfo");
        return registered;
    }();
    return id;
}

ErrorInfo::ErrorInfo()
    : ErrorInfo(SocketErrorType, errorFromCode(QAbstractSocket::UnknownSocketError))
{
}

ErrorInfo::ErrorInfo(ErrorType errorType, Error code)
    : type(errorType)
    , error(code)
{
    if (registerErrorInfoType() <= 0)
        zetoFatal(lcZetoStream, "Failed to register type against Qt's meta type system.");
}

QString ErrorInfo::description() const
{
    return errorInfoDescription(*this);
}

ErrorInfo makeErrorInfo(ConnectionError connectionError)
{
    return ErrorInfo(ConnectionErrorType, errorFromCode(connectionError));
}

ErrorInfo makeErrorInfo(QAbstractSocket::SocketError socketError)
{
    return ErrorInfo(SocketErrorType, errorFromCode(socketError));
}

ErrorInfo makeErrorInfo(QSslError::SslError sslError)
{
    return ErrorInfo(SslErrorType, errorFromCode(sslError));
}

QString errorInfoDescription(ErrorInfo errorInfo)
{
    QString description;
    description.reserve(128);
    const qint32 code = errorCode(errorInfo.error);
    switch (errorInfo.type) {
    case SocketErrorType:
        description += QLatin1String("Socket error. ");
        description += textAt(socketErrorTexts, qint64(code) + 1);
        break;
    case SslErrorType:
        description += QLatin1String("Ssl socket error. ");
        description += sslErrorText(code);
        break;
    case ConnectionErrorType:
        description += QLatin1String("Connection error. ");
        description += textAt(connectionErrorTexts, code);
        break;
    }
    return description;
}

bool operator==(const ErrorInfo &left, const ErrorInfo &right)
{
    return left.type == right.type && hasKnownType(left)
        && errorCode(left.error) == errorCode(right.error);
}

bool operator!=(const ErrorInfo &left, const ErrorInfo &right)
{
    return !(left == right);
}

// The reader always takes a type and a code, so both are written for every
// type, known or not, and a value reads back as it was written.
DataStream &operator<<(DataStream &stream, const ErrorInfo &errorInfo)
{
    return stream << qint32(errorInfo.type) << errorCode(errorInfo.error);
}

DataStream &operator>>(DataStream &stream, ErrorInfo &errorInfo)
{
    qint32 type = 0;
    qint32 code = 0;
    stream >> type >> code;
    errorInfo.type = ErrorType(type);
    errorInfo.error = errorFromCode(code);
    return stream;
}

IErrorHandler::~IErrorHandler() = default;

void setErrorHandler(IErrorHandler *handler)
{
    QMutexLocker locker(&mainLock());
    QSharedPointer<IErrorHandler> &installed = installedHandler();
    if (!installed) {
        if (!handler) {
            qCCritical(lcZetoProtocol, "Failed to set error handler. Given error handler is null.");
            return;
        }
        qCWarning(lcZetoProtocol, "Set error handler.");
    } else if (!handler) {
        qCWarning(lcZetoProtocol, "Removed error handler.");
    } else if (handler == installed.data()) {
        // Replacing it would delete the very object that is to stay installed.
        qCWarning(lcZetoProtocol, "Error handler is already installed.");
        return;
    } else {
        qCWarning(lcZetoProtocol, "Switched error handler.");
    }
    // The old handler goes before the new one takes its place.
    installed.reset();
    if (handler)
        installed.reset(handler);
}

void ErrorHandler::handleError(const ErrorInfo &errorInfo, const ConnectionInfo &connectionInfo)
{
    QMutexLocker locker(&mainLock());
    if (const QSharedPointer<IErrorHandler> &handler = installedHandler())
        handler->handleError(errorInfo, connectionInfo);
}

} // namespace Zeto
