#include "RemoteObjects/QObjectFactory.h"
#include "RemoteObjects/RemoteObjectRepository.h"

#include <QtTest/QtTest>

using namespace Zeto;

class tst_RemoteObjectRepository : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lookup_data();
    void lookup();
};

void tst_RemoteObjectRepository::lookup_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("entry");

    QTest::newRow("path on any host") << "zeto://other.example:1/calc" << 1;
    QTest::newRow("host and path first") << "zeto://example.org:1/calc" << 2;
    QTest::newRow("host in any case") << "zeto://EXAMPLE.org:1/calc" << 2;
    QTest::newRow("scheme, port, query and fragment ignored") << "zetos://example.org/calc?a=1#f" << 2;
    QTest::newRow("path cleaned") << "zeto://other.example:1/x/../calc/" << 1;
    QTest::newRow("path encoded alike") << "zeto://h:1/two%20words" << 3;
    QTest::newRow("no path is the root") << "zeto://h:1" << 4;
    QTest::newRow("unknown path") << "zeto://example.org:1/other" << 0;
    QTest::newRow("path is case-sensitive") << "zeto://h:1/CALC" << 0;
}

// Each entry is told apart by its extra data.
void tst_RemoteObjectRepository::lookup()
{
    QFETCH(QString, url);
    QFETCH(int, entry);

    const QSharedPointer<IQObjectFactory> factory(new QObjectFactory<QObject>);
    const auto creatable = [&factory](qint32 tag) {
        return RemoteObjectRepositoryEntry(RemoteObjectRepositoryEntry::CreatableKind, factory, {tag});
    };
    RemoteObjectRepository repository;
    repository.addEntry(QStringLiteral("/calc"), creatable(1));
    repository.addEntry(QStringLiteral("/calc"), creatable(2), QStringLiteral("Example.ORG"));
    repository.addEntry(QStringLiteral("/two words"), creatable(3));
    repository.addEntry(QStringLiteral("/"), creatable(4));

    const RemoteObjectRepositoryEntry found = repository.entry(QUrl(url));
    QCOMPARE(found.isCreatable(), entry != 0);
    QCOMPARE(found.extraData(), entry ? QList<qint32>{entry} : QList<qint32>());
}

QTEST_MAIN(tst_RemoteObjectRepository)
#include "tst_RemoteObjectRepository.moc"
