#include "TlsFiles.h"

#include <QtCore/QFile>
#include <QtCore/QTextStream>
#include <QtNetwork/QSslCertificate>
#include <QtNetwork/QSslKey>

namespace {

// Reads a certificate or key (Value) from the PEM file; the arguments after
// the data go to Value's constructor.
template <typename Value, typename... Arguments>
std::optional<Value> readPem(const QString &fileName, const char *what, Arguments... arguments)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << fileName << ": " << file.errorString() << Qt::endl;
        return std::nullopt;
    }
    const Value value(file.readAll(), arguments...);
    if (value.isNull()) {
        QTextStream(stderr) << fileName << ": no PEM " << what << Qt::endl;
        return std::nullopt;
    }
    return value;
}

} // namespace

bool takeTlsFiles(QStringList &arguments, int fileCount, QStringList &files)
{
    files.clear();
    if (arguments.value(0) != QLatin1String("--tls"))
        return true;
    if (arguments.size() <= fileCount)
        return false;
    files = arguments.mid(1, fileCount);
    arguments = arguments.mid(1 + fileCount);
    return true;
}

std::optional<QSslConfiguration> serverSslConfiguration(const QString &certificateFile, const QString &keyFile)
{
    const std::optional<QSslCertificate> certificate = readPem<QSslCertificate>(certificateFile, "certificate");
    const std::optional<QSslKey> key = readPem<QSslKey>(keyFile, "RSA private key", QSsl::Rsa);
    if (!certificate || !key)
        return std::nullopt;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(*certificate);
    configuration.setPrivateKey(*key);
    return configuration;
}

std::optional<QSslConfiguration> clientSslConfiguration(const QString &caCertificateFile)
{
    const std::optional<QSslCertificate> certificate = readPem<QSslCertificate>(caCertificateFile, "certificate");
    if (!certificate)
        return std::nullopt;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificate(*certificate);
    return configuration;
}
