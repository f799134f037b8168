#include "EndpointPeers.h"
#include "ErrorHandler/ErrorHandler.h"
#include "Messenger/Id.h"
#include "QObjectCommunication/Messages/CallSlotRequest.h"
#include "QObjectCommunication/Messages/ConnectionRequest.h"
#include "QObjectCommunication/Messages/ConnectionResponse.h"
#include "TestObjects.h"

#include <QtTest/QtTest>

#include <array>

using namespace Zeto;
using namespace Zeto::Testing;

namespace {

enum class Ends { RemoteToLocal, LocalToRemote, BothLocal, BothRemote };

// A link between the server's instantiated object and the requester's own
// listener, with both sides' outcomes.
struct LinkedPeers
{
    explicit LinkedPeers(const QByteArray &className = SlotTargetClass)
        : remoteId(peers.instantiate(className, urlWithPath(className == CalculatorClass ? "/calc" : "/target")))
        , localId(peers.endpoints.requester->registerQObject(listener.data()))
    {
    }

    QByteArray link(Ends ends, const QByteArray &signal, const QByteArray &slot)
    {
        const bool localSender = ends == Ends::LocalToRemote || ends == Ends::BothLocal;
        const bool localReceiver = ends == Ends::RemoteToLocal || ends == Ends::BothLocal;
        const QByteArray id = peers.endpoints.requester->connectToRemoteObject(
            localSender ? localId : remoteId, signal, localReceiver ? localId : remoteId, slot);
        peers.couriers.deliverAll();
        return id;
    }

    QObject *remote() const { return peers.created; }

    EndpointPeers peers;
    QScopedPointer<Listener> listener{new Listener};
    QByteArray remoteId;
    QByteArray localId;
    EndpointOutcomes requester{peers.endpoints.requester.data()};
    EndpointOutcomes server{peers.endpoints.server.data()};
};

// Emits a signal by its signature with the given values.
void emitSignal(QObject *emitter, const QByteArray &signal, const QVariantList &values)
{
    const QMetaMethod method = emitter->metaObject()->method(emitter->metaObject()->indexOfSignal(signal.mid(1)));
    std::array<QGenericArgument, 10> arguments;
    for (int index = 0; index < values.size(); ++index)
        arguments[index] = QGenericArgument(values.at(index).typeName(), values.at(index).constData());
    QVERIFY(method.invoke(emitter, Qt::DirectConnection, arguments[0], arguments[1], arguments[2], arguments[3],
                          arguments[4], arguments[5], arguments[6], arguments[7], arguments[8], arguments[9]));
}

QByteArrayList linkOutcomes(const QByteArrayList &log)
{
    QByteArrayList links;
    for (const QByteArray &entry : log) {
        if (entry.startsWith("link") || entry.startsWith("unlink") || entry.startsWith("error"))
            links.append(entry);
    }
    return links;
}

} // namespace

Q_DECLARE_METATYPE(Ends)

class tst_QObjectEndpointLinks : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void linking_data();
    void linking();
    void valuesArrive();
    void disconnection_data();
    void disconnection();
    void linkEndsWithAnObject_data();
    void linkEndsWithAnObject();
    void forwardedCallAfterUnlinkingIsDropped();
    void peerLinksOnlyToItsOwnObjects();
    void responseIsMatchedAgainstTheRequestSent();
    void refusedLinkLeavesNoReceiver();
    void emissionFromAnotherThread();
};

void tst_QObjectEndpointLinks::initTestCase()
{
    qRegisterMetaType<ErrorInfo>();
    registerIntegerList();
}

void tst_QObjectEndpointLinks::linking_data()
{
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<Ends>("ends");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QVariantList>("emitted");
    // -1 when the link is made, else the error code on both sides.
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("failsBeforeSending");

    const QByteArray calculator = CalculatorClass;
    const QByteArray target = SlotTargetClass;
    QTest::newRow("remote signal to local slot") << calculator << Ends::RemoteToLocal << QByteArray("2valueChanged(int)")
                                                 << QByteArray("1onValue(int)") << QVariantList{5} << -1 << false;
    QTest::newRow("two values") << target << Ends::RemoteToLocal << QByteArray("2pair(int,QString)")
                                << QByteArray("1onPair(int, const QString &)")
                                << QVariantList{5, QStringLiteral("x")} << -1 << false;
    QTest::newRow("slot taking none") << calculator << Ends::RemoteToLocal << QByteArray("2valueChanged(int)")
                                      << QByteArray("1touch()") << QVariantList{5} << -1 << false;
    QTest::newRow("local signal to remote slot") << calculator << Ends::LocalToRemote << QByteArray("2valueSent(int)")
                                                 << QByteArray("1setValue(int)") << QVariantList{5} << -1 << false;
    // Qt keeps the typedefs in the declared signature; the link must still meet the signal by its index.
    const QVariant handle = QVariant::fromValue(qintptr(7));
    const QVariant list = QVariant::fromValue(QList<qint32>{1, 2});
    QTest::newRow("typedef, remote signal") << target << Ends::RemoteToLocal << QByteArray("2handleChanged(qintptr)")
                                            << QByteArray("1onHandle(qintptr)") << QVariantList{handle} << -1 << false;
    QTest::newRow("typedef, local signal") << target << Ends::LocalToRemote << QByteArray("2handleSent(qintptr)")
                                           << QByteArray("1handle(qintptr)") << QVariantList{handle} << -1 << false;
    QTest::newRow("typedef in a template, remote signal")
        << target << Ends::RemoteToLocal << QByteArray("2listed(QList<qint32>)") << QByteArray("1onList(QList<int>)")
        << QVariantList{list} << -1 << false;
    QTest::newRow("typedef in a template, local signal")
        << target << Ends::LocalToRemote << QByteArray("2listSent(QList<qint32>)") << QByteArray("1count(QList<int>)")
        << QVariantList{list} << -1 << false;
    QTest::newRow("incompatible") << calculator << Ends::RemoteToLocal << QByteArray("2valueChanged(int)")
                                  << QByteArray("1onText(QString)") << QVariantList() << int(SignalIncompatibleToSlot)
                                  << true;
    QTest::newRow("both local") << calculator << Ends::BothLocal << QByteArray("2valueSent(int)")
                                << QByteArray("1onValue(int)") << QVariantList() << int(InvalidMessage) << true;
    QTest::newRow("both remote") << calculator << Ends::BothRemote << QByteArray("2valueChanged(int)")
                                 << QByteArray("1setValue(int)") << QVariantList() << int(InvalidMessage) << true;
    QTest::newRow("untagged remote slot") << calculator << Ends::LocalToRemote << QByteArray("2valueSent(int)")
                                          << QByteArray("1reset()") << QVariantList() << int(InvalidSlot) << false;
    QTest::newRow("inherited remote signal") << target << Ends::RemoteToLocal << QByteArray("2valueChanged(int)")
                                             << QByteArray("1onValue(int)") << QVariantList() << int(InvalidSignal)
                                             << false;
    QTest::newRow("signal too big") << target << Ends::RemoteToLocal
                                    << QByteArray("2eleven(int,int,int,int,int,int,int,int,int,int,int)")
                                    << QByteArray("1touch()") << QVariantList() << int(InvalidSignal) << false;
}

void tst_QObjectEndpointLinks::linking()
{
    QFETCH(QByteArray, className);
    QFETCH(Ends, ends);
    QFETCH(QByteArray, signal);
    QFETCH(QByteArray, slot);
    QFETCH(QVariantList, emitted);
    QFETCH(int, error);
    QFETCH(bool, failsBeforeSending);

    LinkedPeers linked(className);
    const QByteArray id = linked.link(ends, signal, slot);

    if (error >= 0) {
        QCOMPARE(linked.requester.log, QByteArrayList{outcome("linkFailed", id, QByteArray::number(error), true)});
        const QByteArrayList serverLog{outcome("linkFailed", id, QByteArray::number(error), false)};
        QCOMPARE(linked.server.log, failsBeforeSending ? QByteArrayList() : serverLog);
        return;
    }
    QCOMPARE(linked.requester.log, QByteArrayList{outcome("linked", id, {}, true)});
    QCOMPARE(linked.server.log, QByteArrayList{outcome("linked", id, {}, false)});

    // Each emission reaches the slot once, as a call the receiving side serves.
    const bool localSender = ends == Ends::LocalToRemote;
    emitSignal(localSender ? static_cast<QObject *>(linked.listener.data()) : linked.remote(), signal, emitted);
    QVERIFY(linked.peers.couriers.deliverAll());
    const QByteArrayList &receiverLog = localSender ? linked.server.log : linked.requester.log;
    QCOMPARE(receiverLog.size(), 2);
    QVERIFY(receiverLog.constLast().startsWith("called "));
    QVERIFY(receiverLog.constLast().endsWith(" false"));
}

void tst_QObjectEndpointLinks::valuesArrive()
{
    LinkedPeers linked;
    auto *target = qobject_cast<SlotTarget *>(linked.remote());
    linked.link(Ends::RemoteToLocal, "2pair(int,QString)", "1onPair(int,QString)");
    linked.link(Ends::LocalToRemote, "2pairSent(int,QString)", "1record(int,QString)");

    Q_EMIT target->pair(1, QStringLiteral("to the requester"));
    Q_EMIT linked.listener->pairSent(2, QStringLiteral("to the server"));
    QVERIFY(linked.peers.couriers.deliverAll());

    QCOMPARE(linked.listener->received, QVariantList{QVariant(QVariantList{1, QStringLiteral("to the requester")})});
    QCOMPARE(target->received, (QVariantList{2, QStringLiteral("to the server")}));

    // Parameters spelt with typedefs arrive under the types they stand for.
    linked.listener->received.clear();
    linked.link(Ends::RemoteToLocal, "2handleChanged(qintptr)", "1onHandle(qintptr)");
    linked.link(Ends::LocalToRemote, "2listSent(QList<qint32>)", "1count(QList<qint32>)");
    Q_EMIT target->handleChanged(qintptr(1) << 40);
    Q_EMIT linked.listener->listSent({3, 4});
    QVERIFY(linked.peers.couriers.deliverAll());

    QCOMPARE(linked.listener->received, QVariantList{QVariant::fromValue(qintptr(1) << 40)});
    QCOMPARE(target->received.size(), 1);
    QCOMPARE(target->received.constFirst().value<QList<qint32>>(), (QList<qint32>{3, 4}));
}

void tst_QObjectEndpointLinks::disconnection_data()
{
    QTest::addColumn<bool>("byRequester");
    QTest::addColumn<bool>("byServer");
    QTest::addColumn<bool>("beforeTheResponse");

    QTest::newRow("by the requester") << true << false << false;
    QTest::newRow("by the server") << false << true << false;
    QTest::newRow("by both at once") << true << true << false;
    QTest::newRow("before the link is made") << true << false << true;
}

void tst_QObjectEndpointLinks::disconnection()
{
    QFETCH(bool, byRequester);
    QFETCH(bool, byServer);
    QFETCH(bool, beforeTheResponse);

    LinkedPeers linked(CalculatorClass);
    const QByteArray id = linked.peers.endpoints.requester->connectToRemoteObject(
        linked.remoteId, "2valueChanged(int)", linked.localId, "1onValue(int)");
    if (!beforeTheResponse)
        QVERIFY(linked.peers.couriers.deliverAll());

    if (byRequester)
        linked.peers.endpoints.requester->disconnectFromRemoteObject(id);
    if (byServer)
        linked.peers.endpoints.server->disconnectFromRemoteObject(id);
    QVERIFY(linked.peers.couriers.deliverAll());

    const QByteArrayList asked{outcome("linked", id, {}, true), outcome("unlinked", id, {}, true)};
    const QByteArrayList told{outcome("linked", id, {}, true), outcome("unlinked", id, {}, false)};
    QCOMPARE(linked.requester.log, byRequester ? asked : told);
    const QByteArrayList serverAsked{outcome("linked", id, {}, false), outcome("unlinked", id, {}, true)};
    const QByteArrayList serverTold{outcome("linked", id, {}, false), outcome("unlinked", id, {}, false)};
    QCOMPARE(linked.server.log, byServer ? serverAsked : serverTold);

    // Gone on both sides: an emission goes nowhere.
    qobject_cast<Calculator *>(linked.remote())->setValue(3);
    QVERIFY(linked.peers.couriers.deliverAll());
    QVERIFY(linked.listener->received.isEmpty());
}

void tst_QObjectEndpointLinks::linkEndsWithAnObject_data()
{
    QTest::addColumn<Ends>("ends");
    QTest::addColumn<bool>("destroyLocal");

    QTest::newRow("remote emitter") << Ends::RemoteToLocal << false;
    QTest::newRow("local receiver") << Ends::RemoteToLocal << true;
    QTest::newRow("local emitter") << Ends::LocalToRemote << true;
    QTest::newRow("remote receiver") << Ends::LocalToRemote << false;
}

void tst_QObjectEndpointLinks::linkEndsWithAnObject()
{
    QFETCH(Ends, ends);
    QFETCH(bool, destroyLocal);

    LinkedPeers linked(CalculatorClass);
    const bool remoteToLocal = ends == Ends::RemoteToLocal;
    const QByteArray id = remoteToLocal ? linked.link(ends, "2valueChanged(int)", "1onValue(int)")
                                        : linked.link(ends, "2valueSent(int)", "1setValue(int)");

    // The side whose object went asks the other to drop the link.
    if (destroyLocal)
        linked.listener.reset();
    else
        delete linked.remote();
    QVERIFY(linked.peers.couriers.deliverAll());

    QCOMPARE(linkOutcomes(linked.requester.log),
             (QByteArrayList{outcome("linked", id, {}, true), outcome("unlinked", id, {}, destroyLocal)}));
    QCOMPARE(linkOutcomes(linked.server.log),
             (QByteArrayList{outcome("linked", id, {}, false), outcome("unlinked", id, {}, !destroyLocal)}));
}

void tst_QObjectEndpointLinks::forwardedCallAfterUnlinkingIsDropped()
{
    LinkedPeers linked(CalculatorClass);
    const QByteArray id = linked.link(Ends::RemoteToLocal, "2valueChanged(int)", "1onValue(int)");

    // The server emits before it learns that the link is gone.
    linked.peers.endpoints.requester->disconnectFromRemoteObject(id);
    qobject_cast<Calculator *>(linked.remote())->setValue(9);
    QVERIFY(linked.peers.couriers.deliverAll());

    QVERIFY(linked.listener->received.isEmpty());
    QCOMPARE(linked.requester.log.size(), 3);
    QVERIFY(linked.requester.log.at(1).startsWith("callFailed"));
    QVERIFY(linked.requester.log.at(1).endsWith(code(ConnectedReceiverNotFound) + " false"));
    QCOMPARE(linked.server.log,
             (QByteArrayList{outcome("linked", id, {}, false), outcome("unlinked", id, {}, false)}));
}

void tst_QObjectEndpointLinks::peerLinksOnlyToItsOwnObjects()
{
    LinkedPeers linked(CalculatorClass);
    const ConnectionRequest request(generateId(), linked.localId, "2valueSent(int)", generateId(), "1setValue(int)");

    linked.peers.injectToRequester(QVariant::fromValue(request));
    QVERIFY(linked.peers.couriers.deliverAll());

    QCOMPARE(linked.requester.log,
             QByteArrayList{outcome("linkFailed", request.connectionId(), code(InvalidMessage), false)});
    Q_EMIT linked.listener->valueSent(4);
    QVERIFY(linked.peers.couriers.deliverAll());
    QCOMPARE(qobject_cast<Calculator *>(linked.remote())->value(), 0);
}

void tst_QObjectEndpointLinks::responseIsMatchedAgainstTheRequestSent()
{
    LinkedPeers linked(CalculatorClass);
    const QByteArray id = linked.peers.endpoints.requester->connectToRemoteObject(
        linked.remoteId, "2valueChanged(int)", linked.localId, "1onValue(int)");
    const ConnectionRequest altered(id, linked.remoteId, "2valueChanged(int)", linked.localId, "1touch()");

    linked.peers.injectToRequester(QVariant::fromValue(ConnectionResponse(true, {}, altered)));
    QVERIFY(linked.peers.couriers.deliverAll());
    qobject_cast<Calculator *>(linked.remote())->setValue(6);
    QVERIFY(linked.peers.couriers.deliverAll());

    QCOMPARE(linked.listener->received, QVariantList{6});
    QCOMPARE(linked.listener->touched, 0);
    // The genuine response comes second and concerns nothing pending.
    QCOMPARE(linked.requester.log.at(1), outcome("error", {}, code(InvalidMessage), false));
}

void tst_QObjectEndpointLinks::refusedLinkLeavesNoReceiver()
{
    LinkedPeers linked(CalculatorClass);
    QObjectEndpoint &server = *linked.peers.endpoints.server;
    const QByteArray id =
        server.connectToRemoteObject(linked.localId, "2valueSent(int)", linked.remoteId, "1setValue(int)");
    const ConnectionRequest request(id, linked.localId, "2valueSent(int)", linked.remoteId, "1setValue(int)");

    // The peer makes a link of its own under the pending id, then refuses the one asked for.
    linked.peers.injectToServer(QVariant::fromValue(request));
    linked.peers.injectToServer(QVariant::fromValue(ConnectionResponse(false, makeErrorInfo(InvalidSignal), request)));
    const CallSlotRequest forwarded(linked.remoteId, generateId(), "1setValue(int)", {5}, id);
    linked.peers.injectToServer(QVariant::fromValue(forwarded));
    QVERIFY(linked.peers.couriers.deliverAll());

    QCOMPARE(qobject_cast<Calculator *>(linked.remote())->value(), 0);
    QVERIFY(linked.server.log.contains(
        outcome("callFailed", forwarded.slotCallId(), code(ConnectedReceiverNotFound), false)));
}

void tst_QObjectEndpointLinks::emissionFromAnotherThread()
{
    LinkedPeers linked(CalculatorClass);
    linked.link(Ends::LocalToRemote, "2valueSent(int)", "1setValue(int)");
    QThread emitterThread;
    emitterThread.start();
    linked.listener->moveToThread(&emitterThread);

    QMetaObject::invokeMethod(linked.listener.data(), [&linked] { Q_EMIT linked.listener->valueSent(8); });

    QTRY_COMPARE(qobject_cast<Calculator *>(linked.remote())->value(), 8);
    QMetaObject::invokeMethod(
        linked.listener.data(), [&linked] { linked.listener->moveToThread(qApp->thread()); },
        Qt::BlockingQueuedConnection);
    emitterThread.quit();
    emitterThread.wait();
}

QTEST_MAIN(tst_QObjectEndpointLinks)
#include "tst_QObjectEndpointLinks.moc"
