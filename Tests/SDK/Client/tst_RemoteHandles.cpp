#include "Client/Private/RemoteObjectConnection.h"
#include "Client/Private/RemoteObjectConnectionPrivate.h"
#include "Client/Private/RemoteSlotResponse.h"
#include "Client/Private/RemoteSlotResponsePrivate.h"
#include "ErrorHandler/ErrorHandler.h"
#include "Journal.h"

#include <QtTest/QtTest>

#include <functional>

using namespace Zeto;
using namespace Zeto::Client;
using namespace Zeto::Testing;

namespace {

// One handle as the application holds it, its private half as the library
// watches it, one report that the library makes, and the public signal
// that repeats it, spelled as an application connects by string.
struct Handle
{
    QSharedPointer<QObject> application;
    QPointer<QObject> library;
    std::function<void()> report;
    const char *signal;
};

enum class Report { Responded, ResponseFailed, Connected, Disconnected, ConnectionFailed };

const ErrorInfo Failure = makeErrorInfo(RemoteSlotNotFound);

Handle makeResponse(Report report)
{
    const QSharedPointer<RemoteSlotResponse> response(new RemoteSlotResponse);
    RemoteSlotResponsePrivate *d = response->d_func();
    if (report == Report::Responded)
        return {response, d, [d] { d->emitResponded(QVariant(42)); }, SIGNAL(responded(QVariant))};
    return {response, d, [d] { d->emitFailed(Failure); }, SIGNAL(failed(Zeto::ErrorInfo))};
}

Handle makeConnection(Report report)
{
    const QSharedPointer<RemoteObjectConnection> connection(new RemoteObjectConnection);
    RemoteObjectConnectionPrivate *d = connection->d_func();
    if (report == Report::Connected)
        return {connection, d, [d] { d->emitConnected(); }, SIGNAL(connected())};
    if (report == Report::Disconnected)
        return {connection, d, [d] { d->emitDisconnected(); }, SIGNAL(disconnected())};
    return {connection, d, [d] { d->emitFailed(Failure); }, SIGNAL(failed(ErrorInfo))};
}

Handle makeHandle(Report report)
{
    const bool isResponse = report == Report::Responded || report == Report::ResponseFailed;
    return isResponse ? makeResponse(report) : makeConnection(report);
}

// Delivers what is queued for one object only, leaving every other queue.
void deliverTo(QObject *object) { QCoreApplication::sendPostedEvents(object, 0); }

// Notes which handle reported, in the order of arrival.
class Arrivals : public QObject
{
    Q_OBJECT

public:
    void watch(const Handle &handle)
    {
        QVERIFY(connect(handle.application.data(), handle.signal, this, SLOT(record())));
    }

    QList<QObject *> senders;

private Q_SLOTS:
    void record() { senders.append(sender()); }
};

// What happens to a request, in a row of settlesOnce: what the library
// reports to a handle, and its deadline passing or being gone for good.
enum class Step { Answer, Fail, SetDeadline, DeadlinePasses, NoDeadlineLeft, AwaitDisconnection, Disconnect };

constexpr int ShortDeadlineInMs = 20;

// A link has no answer to give but its connection.
void take(Step step, RemoteSlotResponsePrivate *response)
{
    switch (step) {
    case Step::Answer: response->emitResponded(QVariant(42)); break;
    case Step::Fail: response->emitFailed(Failure); break;
    case Step::SetDeadline: response->setTimeout(ShortDeadlineInMs); break;
    default: break;
    }
}

void take(Step step, RemoteObjectConnectionPrivate *connection)
{
    switch (step) {
    case Step::Answer: connection->emitConnected(); break;
    case Step::Fail: connection->emitFailed(Failure); break;
    case Step::SetDeadline: connection->setTimeout(ShortDeadlineInMs); break;
    case Step::AwaitDisconnection: connection->awaitDisconnection(); break;
    case Step::Disconnect: connection->emitDisconnected(); break;
    default: break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Report)
Q_DECLARE_METATYPE(Step)

class tst_RemoteHandles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reportsTwoQueuedStepsLater_data();
    void reportsTwoQueuedStepsLater();
    void twoHandles_data();
    void twoHandles();
    void settlesOnce_data();
    void settlesOnce();
};

void tst_RemoteHandles::reportsTwoQueuedStepsLater_data()
{
    QTest::addColumn<Report>("report");
    QTest::addColumn<QVariantList>("arguments");

    const QVariant failure = QVariant::fromValue(Failure);
    QTest::newRow("responded") << Report::Responded << QVariantList{42};
    QTest::newRow("response failed") << Report::ResponseFailed << QVariantList{failure};
    QTest::newRow("connected") << Report::Connected << QVariantList();
    QTest::newRow("disconnected") << Report::Disconnected << QVariantList();
    QTest::newRow("connection failed") << Report::ConnectionFailed << QVariantList{failure};
}

void tst_RemoteHandles::reportsTwoQueuedStepsLater()
{
    QFETCH(Report, report);
    QFETCH(QVariantList, arguments);

    const Handle handle = makeHandle(report);
    QSignalSpy spy(handle.application.data(), handle.signal);
    QVERIFY(spy.isValid());

    handle.report();
    QCOMPARE(spy.count(), 0);
    deliverTo(handle.application.data());
    QCOMPARE(spy.count(), 0);
    deliverTo(handle.library);
    QCOMPARE(spy.count(), 0);
    deliverTo(handle.application.data());
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).size(), arguments.size());
    if (arguments.isEmpty() || arguments.at(0).userType() != qMetaTypeId<ErrorInfo>())
        QCOMPARE(spy.at(0), arguments);
    else
        QCOMPARE(spy.at(0).at(0).value<ErrorInfo>(), Failure);
}

void tst_RemoteHandles::twoHandles_data()
{
    QTest::addColumn<Report>("first");
    QTest::addColumn<Report>("second");
    // -1: the first handle is kept; otherwise the queued steps it has been
    // through when the application drops it.
    QTest::addColumn<int>("firstDroppedAfter");

    QTest::newRow("response, then link") << Report::Responded << Report::Connected << -1;
    QTest::newRow("link, then response") << Report::ConnectionFailed << Report::ResponseFailed << -1;
    QTest::newRow("two links") << Report::Disconnected << Report::Connected << -1;
    QTest::newRow("response dropped before the first step") << Report::ResponseFailed << Report::Responded << 0;
    QTest::newRow("link dropped between the steps") << Report::Connected << Report::Connected << 1;
}

// Reports made in one pass arrive in the order made; a dropped handle stays
// silent without disturbing the other, and the library sees it gone.
void tst_RemoteHandles::twoHandles()
{
    QFETCH(Report, first);
    QFETCH(Report, second);
    QFETCH(int, firstDroppedAfter);

    Handle one = makeHandle(first);
    const Handle two = makeHandle(second);
    Arrivals arrivals;
    arrivals.watch(one);
    arrivals.watch(two);
    QList<QObject *> expected{one.application.data(), two.application.data()};

    one.report();
    two.report();
    if (firstDroppedAfter >= 0) {
        if (firstDroppedAfter > 0)
            deliverTo(one.library);
        one.application.reset();
        QVERIFY(one.library.isNull());
        expected.removeFirst();
    }
    QTRY_COMPARE(arrivals.senders.size(), expected.size());
    QCoreApplication::processEvents();

    QCOMPARE(arrivals.senders, expected);
}

void tst_RemoteHandles::settlesOnce_data()
{
    QTest::addColumn<bool>("isLink");
    QTest::addColumn<QVector<Step>>("steps");
    QTest::addColumn<QStringList>("heard");

    const QString failed = failure("handle", Failure);
    const QString timedOut = failure("handle", makeErrorInfo(RequestTimedOut));
    using S = Step;
    QTest::newRow("answer, then failure") << false << QVector<S>{S::Answer, S::Fail} << QStringList{"handle responded"};
    QTest::newRow("failure, then answer") << false << QVector<S>{S::Fail, S::Answer} << QStringList{failed};
    QTest::newRow("deadline, then answer")
        << false << QVector<S>{S::SetDeadline, S::DeadlinePasses, S::Answer} << QStringList{timedOut};
    QTest::newRow("answer before the deadline")
        << false << QVector<S>{S::SetDeadline, S::Answer, S::NoDeadlineLeft} << QStringList{"handle responded"};
    QTest::newRow("deadline set once answered")
        << false << QVector<S>{S::Answer, S::SetDeadline, S::NoDeadlineLeft} << QStringList{"handle responded"};
    QTest::newRow("link: connected, then failure")
        << true << QVector<S>{S::Answer, S::Fail} << QStringList{"handle connected"};
    QTest::newRow("link: deadline, then connected")
        << true << QVector<S>{S::SetDeadline, S::DeadlinePasses, S::Answer} << QStringList{timedOut};
    QTest::newRow("link: no deadline while linked")
        << true << QVector<S>{S::SetDeadline, S::Answer, S::NoDeadlineLeft} << QStringList{"handle connected"};
    QTest::newRow("link: disconnect request times out")
        << true << QVector<S>{S::SetDeadline, S::Answer, S::AwaitDisconnection, S::DeadlinePasses, S::Disconnect}
        << QStringList{"handle connected", timedOut};
    QTest::newRow("link: disconnected, then failure")
        << true << QVector<S>{S::Answer, S::AwaitDisconnection, S::Disconnect, S::Fail}
        << QStringList{"handle connected", "handle disconnected"};
}

// Whatever races to settle a request, the application hears the first
// report only; a deadline that passes is one of them.
void tst_RemoteHandles::settlesOnce()
{
    QFETCH(bool, isLink);
    QFETCH(QVector<Step>, steps);
    QFETCH(QStringList, heard);

    const QSharedPointer<RemoteSlotResponse> response(new RemoteSlotResponse);
    const QSharedPointer<RemoteObjectConnection> connection(new RemoteObjectConnection);
    Journal journal;
    journal.watch("handle", response.data());
    journal.watch("handle", connection.data());
    QObject *library = isLink ? static_cast<QObject *>(connection->d_func()) : response->d_func();
    QSignalSpy deadlinePassed(library, SIGNAL(timedOut()));

    for (const Step step : qAsConst(steps)) {
        if (step == Step::DeadlinePasses) {
            QVERIFY(hasDeadline(library));
            QVERIFY(deadlinePassed.wait());
        } else if (step == Step::NoDeadlineLeft)
            QVERIFY(!hasDeadline(library));
        else if (isLink)
            take(step, connection->d_func());
        else
            take(step, response->d_func());
    }
    waitForQueuedReports();

    QCOMPARE(journal.entries, heard);
}

QTEST_MAIN(tst_RemoteHandles)
#include "tst_RemoteHandles.moc"
