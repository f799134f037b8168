#include "Client/Private/RemoteObjectConnection.h"
#include "Client/Private/RemoteObjectConnectionPrivate.h"
#include "Client/Private/RemoteSlotResponse.h"
#include "Client/Private/RemoteSlotResponsePrivate.h"
#include "Client/RemoteObject.h"
#include "ErrorHandler/ErrorHandler.h"
#include "Journal.h"
#include "RemoteObjectWaits.h"
#include "TestObjects.h"
#include "TestServer.h"
#include "TestServerProcess.h"

#include <QtTest/QtTest>

#include <memory>

using namespace Zeto;
using namespace Zeto::Client;
using namespace Zeto::Testing;

namespace {

const char *const CalculatorName = "Zeto::Testing::Calculator";
const char *const DemolisherName = "Zeto::Testing::Demolisher";
constexpr int DeadlineInMs = 150;
constexpr int ReportedError = -1;

// What can settle an outstanding call or link, or end its handle.
enum class Event { Answer, Deadline, ConnectionDrop, ObjectDestroyed, HandleDropped, RemoteObjectDeleted };

const QVector<Event> Events{Event::Answer,          Event::Deadline,      Event::ConnectionDrop,
                            Event::ObjectDestroyed, Event::HandleDropped, Event::RemoteObjectDeleted};

QString nameOf(Event event)
{
    switch (event) {
    case Event::Answer: return QStringLiteral("answer");
    case Event::Deadline: return QStringLiteral("deadline");
    case Event::ConnectionDrop: return QStringLiteral("connection drop");
    case Event::ObjectDestroyed: return QStringLiteral("object destroyed");
    case Event::HandleDropped: return QStringLiteral("handle dropped");
    case Event::RemoteObjectDeleted: return QStringLiteral("remote object deleted");
    }
    return {};
}

// How a remote object is lost in a row of lossSettlesHandles.
enum class Loss { ConnectionDrop, ObjectDestroyed, Refused, InvalidUrl, RemoteObjectDeleted };

// A calculator on a server in its own process, and beside it, on the same
// socket, a demolisher: its answers tell that everything the server sent
// before them has been heard, it makes the server destroy the calculator, and
// it outlives the calculator to see the connection drop.
class Scene
{
public:
    Scene()
        : calculator(new RemoteObject(CalculatorName, server.url("/calc"))),
          demolisher(DemolisherName, server.url("/demolisher")),
          demolisherErrors(&demolisher)
    {
        calculator->setSettleOnLoss(true);
        calculator->setDefaultTimeout(DeadlineInMs);
        journal.watch("calculator", calculator.get());
    }

    bool isReady()
    {
        QSignalSpy demolisherConnected(&demolisher, &RemoteObject::connected);
        return waitUntilConnected(*calculator) && (demolisherConnected.size() == 1 || demolisherConnected.wait());
    }

    // Everything the server has sent so far has been heard.
    bool isHeard() { return resultOf(demolisher.call("ping")).isValid(); }

    void makeRequests()
    {
        call = calculator->call("echo", "settled");
        link = RemoteObject::connect(calculator.get(), SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
        journal.watch("call", call.data());
        journal.watch("link", link.data());
        callLibrary = static_cast<RemoteSlotResponse *>(call.data())->d_func();
        linkLibrary = static_cast<RemoteObjectConnection *>(link.data())->d_func();
    }

    // A handle still waiting says when its deadline passes; one that has
    // settled, or been dropped, has no deadline left.
    bool letDeadlinesPass()
    {
        for (QObject *library : {callLibrary.data(), linkLibrary.data()}) {
            if (library && hasDeadline(library) && !QSignalSpy(library, SIGNAL(timedOut())).wait())
                return false;
        }
        return true;
    }

    TestServerProcess server;
    std::unique_ptr<RemoteObject> calculator;
    RemoteObject demolisher;
    Errors demolisherErrors;
    Listener listener;
    Journal journal;
    QSharedPointer<IRemoteSlotResponse> call;
    QSharedPointer<IRemoteObjectConnection> link;
    QPointer<QObject> callLibrary;
    QPointer<QObject> linkLibrary;
    bool isPaused = false;
    bool isDead = false;
};

} // namespace

Q_DECLARE_METATYPE(Event)
Q_DECLARE_METATYPE(Loss)

class tst_SettlingHandles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deadlinePassesBeforeTheAnswer_data();
    void deadlinePassesBeforeTheAnswer();
    void linkMadeAfterItsDeadlineIsUndone();
    void lossSettlesHandles_data();
    void lossSettlesHandles();
    void everyHandleSettlesOnce_data();
    void everyHandleSettlesOnce();

private:
    void happen(Event event, Scene &scene);
};

void tst_SettlingHandles::deadlinePassesBeforeTheAnswer_data()
{
    QTest::addColumn<QString>("request");
    QTest::newRow("call") << "call";
    QTest::newRow("link") << "link";
    QTest::newRow("unlink") << "unlink";
}

// The server holds its answer back until the deadline has passed; the answer
// that comes then is dropped.
void tst_SettlingHandles::deadlinePassesBeforeTheAnswer()
{
    QFETCH(QString, request);

    TestServerProcess server;
    RemoteObject calculator(CalculatorName, server.url("/calc"));
    Listener listener;
    Journal journal;
    QVERIFY(waitUntilConnected(calculator));
    // A request made before the pause may be answered before it takes hold.
    QSharedPointer<IRemoteObjectConnection> link;
    const auto makeLink = [&] {
        link = RemoteObject::connect(&calculator, SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
    };
    if (request == "unlink") {
        makeLink();
        QVERIFY(QSignalSpy(link.data(), &IRemoteObjectConnection::connected).wait());
    }

    server.pause();
    if (request == "link")
        makeLink();
    QSharedPointer<IRemoteSlotResponse> call;
    if (request == "call") {
        call = calculator.call("add", 1, 2);
        call->setTimeout(DeadlineInMs);
        journal.watch(request, call.data());
    } else {
        link->setTimeout(DeadlineInMs);
        journal.watch(request, link.data());
    }
    if (request == "unlink")
        RemoteObject::disconnect(&calculator, SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
    const QStringList timedOut{failure(request, makeErrorInfo(RequestTimedOut))};
    QTRY_COMPARE(journal.entries, timedOut);

    server.resume();
    QCOMPARE(resultOf(calculator.call("add", 0, 0)), QVariant(0));
    waitForQueuedReports();
    QCOMPARE(journal.entries, timedOut);
}

// The application was told the link failed: the server must not keep it.
void tst_SettlingHandles::linkMadeAfterItsDeadlineIsUndone()
{
    TestServerProcess server;
    RemoteObject calculator(CalculatorName, server.url("/calc"));
    Listener listener;
    QVERIFY(waitUntilConnected(calculator));

    server.pause();
    const auto link = RemoteObject::connect(&calculator, SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
    link->setTimeout(DeadlineInMs);
    QVERIFY(QSignalSpy(link.data(), &IRemoteObjectConnection::failed).wait());
    server.resume();
    QCOMPARE(resultOf(calculator.call("add", 0, 0)), QVariant(0));

    calculator.call("setValue", 7);
    QCOMPARE(resultOf(calculator.call("add", 0, 0)), QVariant(0));
    QCOMPARE(listener.received, QVariantList());
}

void tst_SettlingHandles::lossSettlesHandles_data()
{
    QTest::addColumn<Loss>("loss");
    QTest::addColumn<bool>("settlesOnLoss");
    QTest::addColumn<bool>("madeAfterTheLoss");
    // The error the handles fail with: -1 for the one the remote object
    // reports, 0 where they stay silent.
    QTest::addColumn<int>("error");

    QTest::newRow("connection drop") << Loss::ConnectionDrop << true << false << ReportedError;
    QTest::newRow("object destroyed") << Loss::ObjectDestroyed << true << false << int(ConnectionDropped);
    QTest::newRow("refused") << Loss::Refused << true << false << int(RemoteObjectNotFound);
    QTest::newRow("remote object deleted") << Loss::RemoteObjectDeleted << true << false << int(ConnectionDropped);
    QTest::newRow("after a connection drop") << Loss::ConnectionDrop << true << true << ReportedError;
    QTest::newRow("after the object was destroyed") << Loss::ObjectDestroyed << true << true << int(ConnectionDropped);
    QTest::newRow("after a refusal") << Loss::Refused << true << true << int(RemoteObjectNotFound);
    QTest::newRow("after an invalid url") << Loss::InvalidUrl << true << true << int(InvalidRemoteObjectUrl);
    QTest::newRow("off: connection drop") << Loss::ConnectionDrop << false << false << 0;
    QTest::newRow("off: object destroyed") << Loss::ObjectDestroyed << false << false << 0;
    QTest::newRow("off: remote object deleted") << Loss::RemoteObjectDeleted << false << false << 0;
    QTest::newRow("off: after the object was destroyed") << Loss::ObjectDestroyed << false << true << 0;
}

// With settle-on-loss, each waiting handle fails once, after the remote
// object's error and with its error; without, none says a word.
void tst_SettlingHandles::lossSettlesHandles()
{
    QFETCH(Loss, loss);
    QFETCH(bool, settlesOnLoss);
    QFETCH(bool, madeAfterTheLoss);
    QFETCH(int, error);

    TestServer server;
    if (loss == Loss::InvalidUrl)
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("^Failed to create remote object")));
    const QUrl url = loss == Loss::InvalidUrl ? QUrl("zeto://127.0.0.1/calc") : server.url("/calc");
    auto calculator = std::make_unique<RemoteObject>(loss == Loss::Refused ? "Unknown" : CalculatorName, url);
    calculator->setSettleOnLoss(settlesOnLoss);
    Journal journal;
    journal.watch("calculator", calculator.get());
    Listener listener;
    QSharedPointer<IRemoteSlotResponse> call;
    QSharedPointer<IRemoteObjectConnection> link;
    const auto makeRequests = [&] {
        call = calculator->call("add", 1, 2);
        link = RemoteObject::connect(calculator.get(), SIGNAL(valueChanged(int)), &listener, SLOT(onValue(int)));
        journal.watch("call", call.data());
        journal.watch("link", link.data());
    };
    if (loss == Loss::ConnectionDrop || loss == Loss::ObjectDestroyed || loss == Loss::RemoteObjectDeleted)
        QVERIFY(waitUntilConnected(*calculator));
    if (!madeAfterTheLoss)
        makeRequests();

    if (loss == Loss::ConnectionDrop)
        server.dropClientConnections();
    else if (loss == Loss::ObjectDestroyed)
        server.destroyCreatedObjects();
    else if (loss == Loss::RemoteObjectDeleted)
        calculator.reset();
    if (loss != Loss::RemoteObjectDeleted)
        QTRY_COMPARE(journal.entriesOf("calculator").size(), 1);
    if (madeAfterTheLoss) {
        makeRequests();
        QCOMPARE(journal.entries.size(), 1);
    }
    waitForQueuedReports();

    QStringList expected = journal.entriesOf("calculator");
    if (settlesOnLoss) {
        const QString reason = error == ReportedError ? expected.first().section(": ", 1)
                                                      : makeErrorInfo(ConnectionError(error)).description();
        for (const char *handle : {"call", "link"})
            expected.append(QString::fromLatin1(handle) + " failed: " + reason);
    }
    QCOMPARE(journal.entries, expected);
}

void tst_SettlingHandles::everyHandleSettlesOnce_data()
{
    QTest::addColumn<QVector<Event>>("events");

    // The first event decides; the second shows that nothing after it is
    // heard, and the others follow so that every event meets every other.
    for (const Event first : Events) {
        for (const Event second : Events) {
            if (second == first)
                continue;
            QVector<Event> events{first, second};
            for (const Event other : Events) {
                if (!events.contains(other))
                    events.append(other);
            }
            QTest::addRow("%s, then %s", qPrintable(nameOf(first)), qPrintable(nameOf(second))) << events;
        }
    }
}

// However the events fall, a call and a link each report their outcome once,
// from the event loop, and the first event alone decides it.
void tst_SettlingHandles::everyHandleSettlesOnce()
{
    QFETCH(QVector<Event>, events);

    Scene scene;
    QVERIFY(scene.isReady());
    scene.server.pause();
    scene.isPaused = true;
    // The server destroys the object before it reads the requests.
    if (events.indexOf(Event::ObjectDestroyed) < events.indexOf(Event::Answer))
        scene.demolisher.call("destroyCreatedObjects");
    scene.makeRequests();
    QCOMPARE(scene.journal.entries, QStringList());

    for (const Event event : qAsConst(events)) {
        happen(event, scene);
        if (event == events.first() && event != Event::HandleDropped) {
            QTRY_COMPARE(scene.journal.entriesOf("call").size(), 1);
            QTRY_COMPARE(scene.journal.entriesOf("link").size(), 1);
        }
    }
    waitForQueuedReports();

    const QStringList lossEntries = scene.journal.entriesOf("calculator");
    QString outcome;
    switch (events.first()) {
    case Event::Answer: break;
    case Event::Deadline: outcome = makeErrorInfo(RequestTimedOut).description(); break;
    case Event::ConnectionDrop: outcome = lossEntries.value(0).section(": ", 1); break;
    default: outcome = makeErrorInfo(ConnectionDropped).description(); break;
    }
    const QStringList call = scene.journal.entriesOf("call");
    const QStringList link = scene.journal.entriesOf("link");
    if (events.first() == Event::HandleDropped) {
        QCOMPARE(call, QStringList());
        QCOMPARE(link, QStringList());
    } else if (events.first() == Event::Answer) {
        QCOMPARE(call, QStringList{"call responded"});
        // Once made, the link ends with its object's end.
        QCOMPARE(link.value(0), QStringLiteral("link connected"));
        QVERIFY(link.size() == 1 || link.value(1) == QStringLiteral("link disconnected"));
    } else {
        QCOMPARE(call, QStringList{"call failed: " + outcome});
        QCOMPARE(link, QStringList{"link failed: " + outcome});
    }
    // The handles fail after the error that tells the loss.
    if (events.first() == Event::ConnectionDrop || events.first() == Event::ObjectDestroyed)
        QCOMPARE(scene.journal.entries.first(), lossEntries.first());
}

void tst_SettlingHandles::happen(Event event, Scene &scene)
{
    switch (event) {
    case Event::Answer:
    case Event::ObjectDestroyed:
        if (scene.isDead)
            return;
        if (event == Event::ObjectDestroyed && !scene.isPaused)
            scene.demolisher.call("destroyCreatedObjects");
        scene.server.resume();
        scene.isPaused = false;
        QVERIFY(scene.isHeard());
        return;
    case Event::Deadline: QVERIFY(scene.letDeadlinesPass()); return;
    case Event::ConnectionDrop:
        scene.server.kill();
        scene.isDead = true;
        QTRY_COMPARE(scene.demolisherErrors.codes.size(), 1);
        return;
    case Event::HandleDropped:
        scene.call.reset();
        scene.link.reset();
        return;
    case Event::RemoteObjectDeleted: scene.calculator.reset(); return;
    }
}

QTEST_MAIN(tst_SettlingHandles)
#include "tst_SettlingHandles.moc"
