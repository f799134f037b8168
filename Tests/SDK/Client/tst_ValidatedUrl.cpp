#include "Client/Private/ValidatedUrl.h"

#include <QtTest/QtTest>

using Zeto::Client::ValidatedUrl;

class tst_ValidatedUrl : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checks_data();
    void checks();
};

void tst_ValidatedUrl::checks_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<QString>("errorString");

    const QString noPort = QStringLiteral("Given URL is invalid. A port must be specified.");
    const QString noHost = QStringLiteral("Given URL is invalid. A valid host must be specified.");
    const QString badScheme = QStringLiteral("Given URL is invalid. Scheme must be set to either zeto for unencrypted "
                                             "connections or zetos for encrypted connections.");
    // The marker is filled with QUrl's own reason.
    const auto unparsable = [](const char *url) {
        return QStringLiteral("Given URL is invalid. ") + QUrl(QString::fromLatin1(url)).errorString();
    };

    // clang-format off
    QTest::newRow("plain, host in mixed case, path") << "zeto://Example.ORG:4000/calc" << "example.org" << 4000 << false << QString();
    QTest::newRow("encrypted, port 1")             << "zetos://example.org:1"         << "example.org" << 1    << true  << QString();
    QTest::newRow("scheme in capitals")            << "ZETOS://h:1"                   << "h"           << 1    << true  << QString();
    QTest::newRow("percent-encoded host")          << "zeto://%45xample.org:4000"     << "example.org" << 4000 << false << QString();
    QTest::newRow("IPv6 host")                     << "zeto://[::1]:4000"             << "::1"         << 4000 << false << QString();
    QTest::newRow("port 0")                        << "zeto://h:0"                    << "h"           << 0    << false << QString();
    QTest::newRow("no port")                       << "zeto://h/calc"                 << "h"           << 65535 << false << noPort;
    QTest::newRow("port 65535")                    << "zetos://h:65535"               << "h"           << 65535 << false << noPort;
    QTest::newRow("web scheme")                    << "https://h:443"                 << "h"           << 443  << false << badScheme;
    QTest::newRow("no host")                       << "zeto://:4000/calc"             << ""            << 65535 << false << noHost;
    QTest::newRow("port out of range")             << "zeto://h:99999"                << ""            << 65535 << false << unparsable("zeto://h:99999");
    QTest::newRow("space in host")                 << "zeto://exa mple:1"             << ""            << 65535 << false << unparsable("zeto://exa mple:1");
    // clang-format on
}

void tst_ValidatedUrl::checks()
{
    QFETCH(QString, url);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(bool, encrypted);
    QFETCH(QString, errorString);

    const ValidatedUrl validated{QUrl(url)};

    QCOMPARE(validated.url(), QUrl(url));
    QCOMPARE(validated.host(), host);
    QCOMPARE(int(validated.port()), port);
    QCOMPARE(validated.isEncrypted(), encrypted);
    QCOMPARE(validated.errorString(), errorString);
    QCOMPARE(validated.isValid(), errorString.isEmpty());
}

QTEST_APPLESS_MAIN(tst_ValidatedUrl)
#include "tst_ValidatedUrl.moc"
