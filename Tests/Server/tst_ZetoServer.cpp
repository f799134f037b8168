#include "Client/RemoteObject.h"
#include "ErrorHandler/ErrorHandler.h"
#include "RemoteObjectWaits.h"
#include "TestObjects.h"
#include "TestServer.h"
#include "ZetoServer/ZetoServer.h"

#include <QtTest/QtTest>

#include <memory>
#include <vector>

using namespace Zeto;
using namespace Zeto::Client;
using namespace Zeto::Testing;

namespace {

const char *const CalculatorName = "Zeto::Testing::Calculator";

} // namespace

class tst_ZetoServer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void servesRegisteredClasses_data();
    void servesRegisteredClasses();

private:
    // Registers a calculator whose factory notes the registration it came from.
    void registerCalculator(Server::ZetoServer &server, const QString &path, const QString &host);

    QStringList m_madeBy;
    QList<QPointer<QObject>> m_made;
};

void tst_ZetoServer::registerCalculator(Server::ZetoServer &server, const QString &path, const QString &host)
{
    const QString registration = host.isEmpty() ? QStringLiteral("any host") : host;
    server.registerClass<Calculator>(
        path,
        [this, registration](const QSharedPointer<IConnectionInformation> &information) {
            m_madeBy.append(registration);
            auto *calculator = new Calculator(information);
            m_made.append(calculator);
            return calculator;
        },
        host);
}

void tst_ZetoServer::servesRegisteredClasses_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("maxRemoteObjects");
    QTest::addColumn<int>("remoteObjects");
    // Of the last remote object; -1 when it is served and answers add(2, 3).
    QTest::addColumn<int>("error");
    QTest::addColumn<QStringList>("madeBy");

    const int defaultCap = Server::ZetoServer::DefaultMaxRemoteObjectsPerConnection;
    const QString any = QStringLiteral("any host");
    const QString local = QStringLiteral("127.0.0.1");
    QTest::newRow("path on any host") << "/any" << defaultCap << 1 << -1 << QStringList{any};
    QTest::newRow("host-specific wins") << "/calc" << defaultCap << 1 << -1 << QStringList{local};
    QTest::newRow("unregistered path") << "/unknown" << defaultCap << 1 << int(RemoteObjectNotFound) << QStringList();
    QTest::newRow("registered on another host only")
        << "/elsewhere" << defaultCap << 1 << int(RemoteObjectNotFound) << QStringList();
    QTest::newRow("remote objects up to the cap") << "/any" << 2 << 2 << -1 << QStringList{any, any};
    QTest::newRow("one remote object over the cap")
        << "/any" << 2 << 3 << int(TooManyRemoteObjects) << QStringList{any, any};
}

void tst_ZetoServer::servesRegisteredClasses()
{
    QFETCH(QString, path);
    QFETCH(int, maxRemoteObjects);
    QFETCH(int, remoteObjects);
    QFETCH(int, error);
    QFETCH(QStringList, madeBy);

    m_madeBy.clear();
    m_made.clear();
    Server::ZetoServer server;
    registerCalculator(server, QStringLiteral("/any"), {});
    registerCalculator(server, QStringLiteral("/calc"), {});
    registerCalculator(server, QStringLiteral("/calc"), QStringLiteral("127.0.0.1"));
    registerCalculator(server, QStringLiteral("/elsewhere"), QStringLiteral("192.0.2.1"));
    server.setMaxRemoteObjectsPerConnection(maxRemoteObjects);
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QUrl url = localServerUrl(Transport::Plain, server.serverPort(), path);

    std::vector<std::unique_ptr<RemoteObject>> remotes;
    for (int i = 0; i < remoteObjects - 1; ++i) {
        remotes.push_back(std::make_unique<RemoteObject>(CalculatorName, url));
        QVERIFY(waitUntilConnected(*remotes.back()));
    }
    RemoteObject last(CalculatorName, url);
    Errors errors(&last);
    if (error < 0) {
        QVERIFY(waitUntilConnected(last));
        QCOMPARE(resultOf(last.call("add", 2, 3)), QVariant(5));
    } else {
        QTRY_COMPARE(errors.codes, QList<int>{error});
    }
    QCOMPARE(m_madeBy, madeBy);

    remotes.clear();
    QTRY_VERIFY(std::all_of(m_made.cbegin(), m_made.cend() - (error < 0 ? 1 : 0),
                            [](const QPointer<QObject> &object) { return object.isNull(); }));
}

QTEST_MAIN(tst_ZetoServer)
#include "tst_ZetoServer.moc"
