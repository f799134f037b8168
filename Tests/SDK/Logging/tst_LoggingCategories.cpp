#include "Client/RemoteObject.h"
#include "DataStream/DataStream.h"
#include "ErrorHandler/ErrorHandler.h"
#include "MessageLog.h"
#include "RemoteObjectWaits.h"
#include "TestObjects.h"
#include "TestServer.h"
#include "WebSocketBasedQVariantCourier/DataCompressor.h"

#include <QtCore/QBuffer>
#include <QtCore/QLoggingCategory>
#include <QtTest/QtTest>

#include <functional>

using namespace Zeto;
using namespace Zeto::Testing;

namespace {

// What logs one line of a module.
const std::map<QString, std::function<void()>> &triggers()
{
    static const std::map<QString, std::function<void()>> all{
        {"stream",
         [] {
             QBuffer buffer;
             buffer.open(QIODevice::WriteOnly);
             DataStream stream(&buffer);
             stream << QVariant::fromValue(Unwritable());
         }},
        {"transport",
         [] {
             QByteArray inflated;
             DataCompressor().uncompress(QByteArray("not zlib at all"), inflated);
         }},
        {"protocol", [] { setErrorHandler(nullptr); }},
        {"client", [] { const Client::RemoteObject remote(nullptr, QUrl("zeto://127.0.0.1:1/calc")); }},
    };
    return all;
}

} // namespace

class tst_LoggingCategories : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachModuleHasItsCategory_data();
    void eachModuleHasItsCategory();
    void traceShowsEveryFrameWhenAskedFor_data();
    void traceShowsEveryFrameWhenAskedFor();
};

// The texts stay as they were; only the category is new.
void tst_LoggingCategories::eachModuleHasItsCategory_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("line");
    QTest::newRow("stream") << "stream"
                            << "zeto.stream: Custom type with name Zeto::Testing::Unwritable has not been registered. "
                               "Call Zeto::registerType to register custom types.";
    QTest::newRow("transport") << "transport"
                               << "zeto.transport: Failed to compress/uncompress data. Internal zlib error.";
    QTest::newRow("protocol") << "protocol"
                              << "zeto.protocol: Failed to set error handler. Given error handler is null.";
    QTest::newRow("client") << "client" << "zeto.client: Failed to create remote object. Given class name is null.";
}

void tst_LoggingCategories::eachModuleHasItsCategory()
{
    QFETCH(QString, trigger);
    QFETCH(QString, line);
    const MessageLog log;
    triggers().at(trigger)();
    QVERIFY2(log.categorized().contains(line), qPrintable(log.categorized().join('\n')));
}

void tst_LoggingCategories::traceShowsEveryFrameWhenAskedFor_data()
{
    QTest::addColumn<QString>("rules");
    QTest::addColumn<bool>("traced");
    QTest::newRow("by default") << QString() << false;
    QTest::newRow("zeto.trace.debug=true") << "zeto.trace.debug=true" << true;
}

// One line per frame each way, naming the message's type and fields.
void tst_LoggingCategories::traceShowsEveryFrameWhenAskedFor()
{
    QFETCH(QString, rules);
    QFETCH(bool, traced);
    QLoggingCategory::setFilterRules(rules);
    const TestServer server;
    const MessageLog log;
    Client::RemoteObject calculator("Zeto::Testing::Calculator", server.url(QStringLiteral("/calc")));
    QCOMPARE(resultOf(calculator.call("add", 2, 3)), QVariant(5));
    QLoggingCategory::setFilterRules(QString());

    const QStringList trace = log.categorized().filter(QRegularExpression("^zeto\\.trace: "));
    QCOMPARE(trace.isEmpty(), !traced);
    if (!traced)
        return;
    const QStringList calls = trace.filter("CallSlotRequest(");
    QCOMPARE(calls.size(), 2); // sent by the client, received by the server
    QVERIFY2(calls.first().contains(QRegularExpression("^zeto\\.trace: sent \\d+ bytes to 127\\.0\\.0\\.1:\\d+: ")),
             qPrintable(calls.first()));
    QVERIFY2(calls.first().contains("slotSignature: \"1add(int,int)\""), qPrintable(calls.first()));
    QCOMPARE(trace.filter("CallSlotResponse(").size(), 2);
}

QTEST_MAIN(tst_LoggingCategories)
#include "tst_LoggingCategories.moc"
