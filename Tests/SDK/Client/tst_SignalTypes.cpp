#include "Client/RemoteObject.h"
#include "ErrorHandler/ErrorHandler.h"

#include <QtCore/QThread>
#include <QtTest/QtTest>

#include <atomic>

using namespace Zeto;
using Zeto::Client::RemoteObject;

namespace {

class Receiver : public QObject
{
    Q_OBJECT

public:
    std::atomic<bool> received{false};

public Q_SLOTS:
    void onError(const ErrorInfo &errorInfo) { received = errorInfo.type == SocketErrorType; }
};

} // namespace

// Its own process: no ErrorInfo may have been made before the test runs.
class tst_SignalTypes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstErrorReachesSpyAndOtherThread();
};

void tst_SignalTypes::firstErrorReachesSpyAndOtherThread()
{
    QCOMPARE(QMetaType::type("ErrorInfo"), int(QMetaType::UnknownType));

    // Nothing listens there: the connection fails from the event loop.
    RemoteObject remote("Calculator", QUrl(QStringLiteral("zeto://127.0.0.1:1/")));
    QSignalSpy spy(&remote, SIGNAL(error(ErrorInfo)));
    QVERIFY(spy.isValid());
    QThread thread;
    Receiver receiver;
    receiver.moveToThread(&thread);
    thread.start();
    QVERIFY(QObject::connect(&remote, SIGNAL(error(ErrorInfo)), &receiver, SLOT(onError(ErrorInfo))));

    QVERIFY(spy.wait());
    QCOMPARE(spy.constFirst().constFirst().userType(), qMetaTypeId<ErrorInfo>());
    QTRY_VERIFY(receiver.received);
    thread.quit();
    thread.wait();
}

QTEST_MAIN(tst_SignalTypes)
#include "tst_SignalTypes.moc"
