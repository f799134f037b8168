#include "DataStream/DataStream.h"
#include "DataStream/IZetoStreamHelper.h"
#include "ErrorHandler/ConnectionInfo.h"
#include "ErrorHandler/ErrorHandler.h"
#include "ErrorHandler/IErrorHandler.h"
#include "ConcurrentRun.h"
#include "MessageLog.h"
#include "StreamForm.h"

#include <QtCore/QAtomicInt>
#include <QtCore/QBuffer>
#include <QtCore/QReadLocker>
#include <QtCore/QThread>
#include <QtTest/QtTest>

#include <cstring>
#include <memory>
#include <stdexcept>

using namespace Zeto;
using Zeto::Testing::MessageLog;
using Zeto::Testing::runTogether;
using Zeto::Testing::streamForm;

namespace {

ErrorInfo errorInfoOf(qint32 type, qint32 code)
{
    Error error;
    std::memcpy(&error, &code, sizeof error);
    return ErrorInfo(ErrorType(type), error);
}

qint32 codeOf(const ErrorInfo &errorInfo)
{
    qint32 code;
    std::memcpy(&code, &errorInfo.error, sizeof code);
    return code;
}

// Writes what happens to it into a list the test owns.
class RecordingHandler : public IErrorHandler
{
public:
    RecordingHandler(const QString &name, QStringList *events) : m_name(name), m_events(events) {}
    ~RecordingHandler() override { m_events->append(m_name + " deleted"); }

    void handleError(const ErrorInfo &errorInfo, const ConnectionInfo &connectionInfo) override
    {
        m_events->append(m_name + " handled " + errorInfo.description() + " at " + connectionInfo.peerIp());
    }

private:
    QString m_name;
    QStringList *m_events;
};

class OverlapDetector : public IErrorHandler
{
public:
    void handleError(const ErrorInfo &, const ConnectionInfo &) override
    {
        if (m_inside.fetchAndAddOrdered(1) != 0)
            m_overlapped.storeRelease(1);
        QThread::yieldCurrentThread();
        m_calls.fetchAndAddRelaxed(1);
        m_inside.fetchAndSubOrdered(1);
    }

    QAtomicInt m_inside;
    QAtomicInt m_overlapped;
    QAtomicInt m_calls;
};

class ThrowingHandler : public IErrorHandler
{
public:
    void handleError(const ErrorInfo &, const ConnectionInfo &) override
    {
        throw std::runtime_error("handler failed");
    }
};

} // namespace

class ErrorReceiver : public QObject
{
    Q_OBJECT
public:
    QList<ErrorInfo> received;

Q_SIGNALS:
    void failed(Zeto::ErrorInfo errorInfo);

public Q_SLOTS:
    void record(Zeto::ErrorInfo errorInfo) { received.append(errorInfo); }
};

class TestErrorHandler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Must stay first: it needs a process in which no ErrorInfo exists yet.
    void registersOnceFromManyThreads();

    void describesErrors_data();
    void describesErrors();
    void defaultIsUnknownSocketError();
    void comparesTypeAndCode_data();
    void comparesTypeAndCode();
    void writesTypeThenCode_data();
    void writesTypeThenCode();
    void readsZeroFromShortOrFailedStream_data();
    void readsZeroFromShortOrFailedStream();
    void travelsInsideQVariant();
    void travelsThroughQueuedCalls();

    void cleanup();
    void installsSwitchesAndRemovesHandlers();
    void refusesNullWithoutHandler();
    void keepsHandlerInstalledTwice();
    void neverRunsHandlerConcurrently();
    void releasesLockWhenHandlerThrows();

    void buildsLocationString_data();
    void buildsLocationString();
    void keepsConnectionFields();

private:
    QStringList m_events;
};

void TestErrorHandler::registersOnceFromManyThreads()
{
    QCOMPARE(QMetaType::type("Zeto::ErrorInfo"), 0);

    QVERIFY(runTogether(8, [](int) {
        ErrorInfo errorInfo;
        Q_UNUSED(errorInfo);
    }));

    const int id = QMetaType::type("Zeto::ErrorInfo");
    QVERIFY(id > 0);
    QCOMPARE(qMetaTypeId<ErrorInfo>(), id);
    auto registeredHelper = [id] {
        QReadLocker locker(&IZetoStreamHelper::mainReadWriteLock());
        return IZetoStreamHelper::registeredStreamHelpers().value(id);
    };
    const QSharedPointer<IZetoStreamHelper> helper = registeredHelper();
    QVERIFY(helper);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    DataStream stream(&buffer);
    const ErrorInfo dropped = makeErrorInfo(ConnectionDropped);
    helper->save(stream, &dropped);
    QCOMPARE(buffer.data(), streamForm(dropped));
    QCOMPARE(registeredHelper(), helper);
}

void TestErrorHandler::describesErrors_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected");

    const char *const connectionTexts[] = {
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
        "Peer is not responding.",
    };
    for (int code = 0; code < 30; ++code)
        QTest::addRow("connection %d", code) << 2 << code << QString("Connection error. ") + connectionTexts[code];
    for (int code : {-1, 30, INT_MIN, INT_MAX})
        QTest::addRow("connection %d", code) << 2 << code << "Connection error. ";

    const char *const socketTexts[] = {
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
        "The requested socket operation is not supported by the local operating system (e.g., lack of IPv6 "
        "support).",
        "The last socket operation attempted has not finished yet (still in progress in the background).",
        "The socket is using a proxy, and the proxy requires authentication.",
        "The SSL/TLS handshake failed, so the connection was closed.",
        "Could not contact the proxy server because the connection to that server was denied",
        "The connection to the proxy server was closed unexpectedly (before the connection to the final peer "
        "was established)",
        "The connection to the proxy server timed out or the proxy server stopped responding in the "
        "authentication phase.",
        "The proxy address was not found.",
        "The connection negotiation with the proxy server failed, because the response from the proxy server "
        "could not be understood.",
        "An operation was attempted while the socket was in a state that did not permit it.",
        "The SSL library being used reported an internal error. This is probably the result of a bad "
        "installation or misconfiguration of the library.",
        "Invalid data (certificate, key, cypher, etc.) was provided and its use resulted in an error in the SSL "
        "library.",
        "A temporary error occurred (e.g., operation would block and socket is non-blocking).",
    };
    for (int code = -1; code <= 22; ++code)
        QTest::addRow("socket %d", code) << 0 << code << QString("Socket error. ") + socketTexts[code + 1];
    for (int code : {-2, 23, INT_MIN, INT_MAX})
        QTest::addRow("socket %d", code) << 0 << code << "Socket error. ";

    for (QSslError::SslError code : {QSslError::NoError, QSslError::HostNameMismatch, QSslError::OcspStatusUnknown,
                                     QSslError::UnspecifiedError})
        QTest::addRow("ssl %d", code) << 1 << int(code) << "Ssl socket error. " + QSslError(code).errorString();
    // Qt has one text for every code it does not know.
    for (int code : {-2, 1000, INT_MAX})
        QTest::addRow("ssl %d", code) << 1 << code
                                      << "Ssl socket error. " + QSslError(QSslError::UnspecifiedError).errorString();

    QTest::newRow("type 3") << 3 << 0 << "";
    QTest::newRow("type -1") << -1 << 0 << "";
}

void TestErrorHandler::describesErrors()
{
    QFETCH(int, type);
    QFETCH(int, code);
    QFETCH(QString, expected);

    const ErrorInfo errorInfo = errorInfoOf(type, code);
    QCOMPARE(errorInfoDescription(errorInfo), expected);
    QCOMPARE(errorInfo.description(), expected);
}

void TestErrorHandler::defaultIsUnknownSocketError()
{
    const ErrorInfo errorInfo;
    QCOMPARE(errorInfo.type, SocketErrorType);
    QCOMPARE(codeOf(errorInfo), int(QAbstractSocket::UnknownSocketError));
    QCOMPARE(makeErrorInfo(QAbstractSocket::UnknownSocketError), errorInfo);
    QCOMPARE(makeErrorInfo(QSslError::HostNameMismatch), errorInfoOf(SslErrorType, QSslError::HostNameMismatch));
}

void TestErrorHandler::comparesTypeAndCode_data()
{
    QTest::addColumn<ErrorInfo>("left");
    QTest::addColumn<ErrorInfo>("right");
    QTest::addColumn<bool>("equal");

    const ErrorInfo closed = makeErrorInfo(QAbstractSocket::RemoteHostClosedError);
    QTest::newRow("socket 1, same") << closed << errorInfoOf(0, 1) << true;
    QTest::newRow("socket 1, connection 1") << closed << errorInfoOf(2, 1) << false;
    QTest::newRow("socket 1, socket 2") << closed << errorInfoOf(0, 2) << false;
    QTest::newRow("ssl 22, same") << makeErrorInfo(QSslError::HostNameMismatch) << errorInfoOf(1, 22) << true;
    QTest::newRow("connection 25, same") << makeErrorInfo(ConnectionDropped) << errorInfoOf(2, 25) << true;
    QTest::newRow("connection out of range, same") << errorInfoOf(2, 1000) << errorInfoOf(2, 1000) << true;
    QTest::newRow("type 3, same") << errorInfoOf(3, 7) << errorInfoOf(3, 7) << false;
    QTest::newRow("type -1, same") << errorInfoOf(-1, 0) << errorInfoOf(-1, 0) << false;
}

void TestErrorHandler::comparesTypeAndCode()
{
    QFETCH(ErrorInfo, left);
    QFETCH(ErrorInfo, right);
    QFETCH(bool, equal);

    QCOMPARE(left == right, equal);
    QCOMPARE(right == left, equal);
    QCOMPARE(left != right, !equal);
    if (left.type > ConnectionErrorType || left.type < SocketErrorType)
        QVERIFY(left != left);
}

void TestErrorHandler::writesTypeThenCode_data()
{
    QTest::addColumn<ErrorInfo>("errorInfo");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("connection dropped") << makeErrorInfo(ConnectionDropped)
                                        << QByteArray::fromHex("00000002 00000019");
    QTest::newRow("default") << ErrorInfo() << QByteArray::fromHex("00000000 ffffffff");
    QTest::newRow("ssl") << makeErrorInfo(QSslError::HostNameMismatch) << QByteArray::fromHex("00000001 00000016");
    // Unknown types keep the code too, or the reader would take the next value's bytes for it.
    QTest::newRow("type 3") << errorInfoOf(3, 7) << QByteArray::fromHex("00000003 00000007");
    QTest::newRow("type -5") << errorInfoOf(-5, -2) << QByteArray::fromHex("fffffffb fffffffe");
}

void TestErrorHandler::writesTypeThenCode()
{
    QFETCH(ErrorInfo, errorInfo);
    QFETCH(QByteArray, bytes);

    QCOMPARE(streamForm(errorInfo), bytes);

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    DataStream stream(&buffer);
    ErrorInfo read;
    stream >> read;
    QVERIFY(stream.isValid());
    QVERIFY(stream.atEnd());
    QCOMPARE(read.type, errorInfo.type);
    QCOMPARE(codeOf(read), codeOf(errorInfo));
}

void TestErrorHandler::readsZeroFromShortOrFailedStream_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("failedBefore");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");

    QTest::newRow("empty") << QByteArray() << false << 0 << 0;
    QTest::newRow("three bytes") << QByteArray::fromHex("000000") << false << 0 << 0;
    QTest::newRow("type only") << QByteArray::fromHex("00000002") << false << 2 << 0;
    QTest::newRow("half a code") << QByteArray::fromHex("00000002 0000") << false << 2 << 0;
    QTest::newRow("failed stream") << QByteArray::fromHex("00000002 00000019") << true << 0 << 0;
}

void TestErrorHandler::readsZeroFromShortOrFailedStream()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, failedBefore);
    QFETCH(int, type);
    QFETCH(int, code);

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    DataStream stream(&buffer);
    stream.setValid(!failedBefore);
    ErrorInfo read = makeErrorInfo(PeerNotResponding);
    stream >> read;
    QVERIFY(!stream.isValid());
    QCOMPARE(int(read.type), type);
    QCOMPARE(codeOf(read), code);
}

void TestErrorHandler::travelsInsideQVariant()
{
    const ErrorInfo dropped = makeErrorInfo(ConnectionDropped);
    const QVariant variant = QVariant::fromValue(dropped);
    QCOMPARE(QByteArray(variant.typeName()), QByteArray("Zeto::ErrorInfo"));
    QCOMPARE(variant.value<ErrorInfo>(), dropped);

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    DataStream stream(&buffer);
    stream << variant;
    buffer.seek(0);
    QVariant read;
    stream >> read;
    QVERIFY(stream.isValid());
    QCOMPARE(read.userType(), variant.userType());
    QCOMPARE(read.value<ErrorInfo>(), dropped);
}

void TestErrorHandler::travelsThroughQueuedCalls()
{
    ErrorReceiver receiver;
    connect(&receiver, &ErrorReceiver::failed, &receiver, &ErrorReceiver::record, Qt::QueuedConnection);
    Q_EMIT receiver.failed(makeErrorInfo(ConnectionDropped));
    QVERIFY(QMetaObject::invokeMethod(&receiver, "record", Qt::QueuedConnection,
                                      Q_ARG(Zeto::ErrorInfo, makeErrorInfo(PeerNotResponding))));
    QVERIFY(receiver.received.isEmpty());
    QTRY_COMPARE(receiver.received.size(), 2);
    QCOMPARE(receiver.received, (QList<ErrorInfo>{makeErrorInfo(ConnectionDropped), makeErrorInfo(PeerNotResponding)}));
}

void TestErrorHandler::cleanup()
{
    // Leaves the hook empty for the next test, whatever this one left behind.
    MessageLog quiet;
    QStringList ignored;
    setErrorHandler(new RecordingHandler("leftover", &ignored));
    setErrorHandler(nullptr);
    m_events.clear();
}

void TestErrorHandler::installsSwitchesAndRemovesHandlers()
{
    MessageLog log;
    const ErrorInfo dropped = makeErrorInfo(ConnectionDropped);
    const ConnectionInfo connection(false, "10.1.2.3", 5000, "127.0.0.1", 50001, {}, 0, {}, 0);

    ErrorHandler::handleError(dropped, connection);
    setErrorHandler(new RecordingHandler("first", &m_events));
    ErrorHandler::handleError(dropped, connection);
    setErrorHandler(new RecordingHandler("second", &m_events));
    ErrorHandler::handleError(dropped, connection);
    setErrorHandler(nullptr);
    ErrorHandler::handleError(dropped, connection);

    QCOMPARE(m_events, QStringList({"first handled Connection error. Connection dropped. at 10.1.2.3",
                                    "first deleted",
                                    "second handled Connection error. Connection dropped. at 10.1.2.3",
                                    "second deleted"}));
    QCOMPARE(log.entries(), QStringList({"warning: Set error handler.", "warning: Switched error handler.",
                                         "warning: Removed error handler."}));
    QVERIFY2(log.files().first().endsWith("ErrorHandler.cpp"), qPrintable(log.files().first()));
}

void TestErrorHandler::refusesNullWithoutHandler()
{
    MessageLog log;
    setErrorHandler(nullptr);
    QCOMPARE(log.entries(), QStringList({"critical: Failed to set error handler. Given error handler is null."}));
}

void TestErrorHandler::keepsHandlerInstalledTwice()
{
    MessageLog log;
    auto *handler = new RecordingHandler("only", &m_events);
    setErrorHandler(handler);
    setErrorHandler(handler);
    ErrorHandler::handleError(makeErrorInfo(ConnectionDropped), ConnectionInfo());

    QCOMPARE(m_events, QStringList({"only handled Connection error. Connection dropped. at "}));
    QCOMPARE(log.entries(),
             QStringList({"warning: Set error handler.", "warning: Error handler is already installed."}));
}

void TestErrorHandler::neverRunsHandlerConcurrently()
{
    MessageLog quiet;
    auto *detector = new OverlapDetector;
    setErrorHandler(detector);
    const int callsPerThread = 2000;
    const bool inTime = runTogether(2, [](int) {
        for (int i = 0; i < callsPerThread; ++i)
            ErrorHandler::handleError(makeErrorInfo(ConnectionDropped), ConnectionInfo());
    }, 60000);
    QVERIFY(inTime);

    QCOMPARE(detector->m_calls.loadAcquire(), 2 * callsPerThread);
    QCOMPARE(detector->m_overlapped.loadAcquire(), 0);
}

void TestErrorHandler::releasesLockWhenHandlerThrows()
{
    MessageLog quiet;
    setErrorHandler(new ThrowingHandler);
    QVERIFY_EXCEPTION_THROWN(ErrorHandler::handleError(ErrorInfo(), ConnectionInfo()), std::runtime_error);

    // Another thread, so that a lock still held fails the test instead of hanging it.
    std::unique_ptr<QThread> remover(QThread::create([] { setErrorHandler(nullptr); }));
    remover->start();
    QVERIFY(remover->wait(10000));
}

void TestErrorHandler::buildsLocationString_data()
{
    QTest::addColumn<QString>("peerIp");
    QTest::addColumn<bool>("hasProxy");
    QTest::addColumn<QString>("proxyIp");
    QTest::addColumn<int>("proxyPort");
    QTest::addColumn<QString>("proxiedIp");
    QTest::addColumn<int>("proxiedPort");
    QTest::addColumn<QString>("expected");

    const QString direct = "Peer IP: 127.0.0.1, peer port: 5000, local IP: 127.0.0.1, local port: 50001";
    QTest::newRow("no proxy") << "127.0.0.1" << false << "" << 0 << "" << 0 << direct + ".";
    QTest::newRow("proxy") << "127.0.0.1" << true << "10.0.0.1" << 3128 << "" << 0
                           << direct + ", proxyIp: 10.0.0.1, proxyPort: 3128.";
    QTest::newRow("all proxy parts") << "127.0.0.1" << true << "10.0.0.1" << 3128 << "192.168.0.7" << 443
                                     << direct + ", proxyIp: 10.0.0.1, proxyPort: 3128, proxiedIp: 192.168.0.7, "
                                                 "proxiedPort: 443.";
    QTest::newRow("proxied port alone") << "127.0.0.1" << false << "" << 0 << "" << 8080
                                        << direct + ", proxiedPort: 8080.";
    QTest::newRow("proxy flag alone") << "127.0.0.1" << true << "" << 0 << "" << 0 << direct + ".";
    // Scoped IPv6 addresses carry a percent sign that must not be taken for a place marker.
    QTest::newRow("scoped addresses")
        << "fe80::1%2" << true << "fe80::2%1" << 0 << "fe80::3%1" << 0
        << "Peer IP: fe80::1%2, peer port: 5000, local IP: 127.0.0.1, local port: 50001, proxyIp: fe80::2%1, "
           "proxiedIp: fe80::3%1.";
}

void TestErrorHandler::buildsLocationString()
{
    QFETCH(QString, peerIp);
    QFETCH(bool, hasProxy);
    QFETCH(QString, proxyIp);
    QFETCH(int, proxyPort);
    QFETCH(QString, proxiedIp);
    QFETCH(int, proxiedPort);
    QFETCH(QString, expected);

    const ConnectionInfo info(hasProxy, peerIp, 5000, "127.0.0.1", 50001, proxyIp, quint16(proxyPort), proxiedIp,
                              quint16(proxiedPort));
    QCOMPARE(info.locationString(), expected);
}

void TestErrorHandler::keepsConnectionFields()
{
    ConnectionInfo copy;
    QCOMPARE(copy.locationString(), QString());
    QCOMPARE(copy.peerPort(), quint16(0));
    QVERIFY(!copy.hasProxy());

    copy = ConnectionInfo(true, "1.1.1.1", 1, "2.2.2.2", 2, "3.3.3.3", 3, "4.4.4.4", 4);
    const QStringList values{copy.peerIp(), QString::number(copy.peerPort()), copy.localIp(),
                             QString::number(copy.localPort()), copy.proxyIp(), QString::number(copy.proxyPort()),
                             copy.proxiedIp(), QString::number(copy.proxiedPort())};
    QCOMPARE(values, QStringList({"1.1.1.1", "1", "2.2.2.2", "2", "3.3.3.3", "3", "4.4.4.4", "4"}));
    QVERIFY(copy.hasProxy());
    QVERIFY(ConnectionInfo(copy).locationString().endsWith(", proxiedPort: 4."));
}

QTEST_GUILESS_MAIN(TestErrorHandler)
#include "tst_ErrorHandler.moc"
