#include "TestCertificates.h"

#include <QtCore/QFile>
#include <QtNetwork/QSslCertificate>
#include <QtNetwork/QSslKey>

namespace Zeto {
namespace Testing {

namespace {

QByteArray readCertificateFile(const char *name)
{
    QFile file(QStringLiteral(ZETO_TEST_CERTIFICATES_DIR "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("Cannot read the test certificate file %s", qPrintable(file.fileName()));
    return file.readAll();
}

QSslCertificate testServerCertificate()
{
    return QSslCertificate(readCertificateFile("test-server.pem"), QSsl::Pem);
}

} // namespace

QSslConfiguration testServerSslConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(testServerCertificate());
    configuration.setPrivateKey(QSslKey(readCertificateFile("test-server.key"), QSsl::Ec, QSsl::Pem));
    return configuration;
}

QSslConfiguration testClientSslConfiguration()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates({testServerCertificate()});
    return configuration;
}

} // namespace Testing
} // namespace Zeto
