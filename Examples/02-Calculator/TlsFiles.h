#ifndef TLSFILES_H
#define TLSFILES_H

#include <QtCore/QStringList>
#include <QtNetwork/QSslConfiguration>

#include <optional>

// Takes "--tls" and the fileCount file names after it from the front of the
// arguments into files (left empty without --tls). False when fewer follow.
bool takeTlsFiles(QStringList &arguments, int fileCount, QStringList &files);

// The default configuration with the PEM certificate and RSA key of the files,
// as the server presents them; nothing, with a message on stderr, when a file
// cannot be read.
std::optional<QSslConfiguration> serverSslConfiguration(const QString &certificateFile, const QString &keyFile);

// The default configuration trusting the PEM certificate of the file, which
// the client needs for a self-signed server; nothing, with a message on
// stderr, when the file cannot be read.
std::optional<QSslConfiguration> clientSslConfiguration(const QString &caCertificateFile);

#endif // TLSFILES_H
