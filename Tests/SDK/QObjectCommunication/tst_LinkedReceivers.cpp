#include "QObjectCommunication/LinkedReceivers.h"

#include <QtTest/QtTest>

#include <algorithm>

using namespace Zeto;

namespace {

using Links = QVector<QPair<QByteArray, QByteArray>>; // connection id, object id

QVector<QByteArray> sorted(QVector<QByteArray> ids)
{
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace

class tst_LinkedReceivers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void takesOnlyTheLinksOfTheObject_data();
    void takesOnlyTheLinksOfTheObject();
};

void tst_LinkedReceivers::takesOnlyTheLinksOfTheObject_data()
{
    QTest::addColumn<Links>("links");
    QTest::addColumn<QByteArray>("objectId");
    QTest::addColumn<QVector<QByteArray>>("taken");
    QTest::addColumn<QVector<QByteArray>>("kept");

    const Links mixed{{"c1", "a"}, {"c2", "b"}, {"c3", "a"}, {"c4", "c"}};
    QTest::newRow("none linked") << Links{} << QByteArray("a") << QVector<QByteArray>{} << QVector<QByteArray>{};
    QTest::newRow("another object's") << Links{{"c1", "b"}} << QByteArray("a") << QVector<QByteArray>{}
                                      << QVector<QByteArray>{"c1"};
    QTest::newRow("all of one object among others")
        << mixed << QByteArray("a") << QVector<QByteArray>{"c1", "c3"} << QVector<QByteArray>{"c2", "c4"};
    QTest::newRow("the only one") << mixed << QByteArray("c") << QVector<QByteArray>{"c4"}
                                  << QVector<QByteArray>{"c1", "c2", "c3"};
}

void tst_LinkedReceivers::takesOnlyTheLinksOfTheObject()
{
    QFETCH(Links, links);
    QFETCH(QByteArray, objectId);
    QFETCH(QVector<QByteArray>, taken);
    QFETCH(QVector<QByteArray>, kept);

    LinkedReceivers receivers;
    for (const auto &link : qAsConst(links))
        receivers.insert(link.first, {link.second, "slot()"});

    QCOMPARE(sorted(receivers.takeLinksOf(objectId)), taken);
    QCOMPARE(receivers.size(), kept.size());
    for (const QByteArray &connectionId : qAsConst(kept))
        QVERIFY(receivers.contains(connectionId));
    for (const QByteArray &connectionId : qAsConst(taken))
        QVERIFY(!receivers.contains(connectionId));
}

QTEST_GUILESS_MAIN(tst_LinkedReceivers)
#include "tst_LinkedReceivers.moc"
