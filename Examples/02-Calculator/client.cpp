// The calculator client: talks to the calculator server on 127.0.0.1, over
// TLS (zetos://) with --tls, trusting the server's certificate from the file.
//
//     calculator-client [--tls <ca-certificate.pem>] <port>
//
// The conversation gives every call and link a deadline and has them fail at
// once should the calculator be lost, so that none waits forever.

#include "Conversation.h"
#include "TlsFiles.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    QStringList tlsFiles;
    bool validPort = takeTlsFiles(arguments, 1, tlsFiles) && arguments.size() == 1;
    const quint16 port = validPort ? arguments.first().toUShort(&validPort) : 0;
    if (!validPort || port == 0) {
        QTextStream(stderr) << "usage: calculator-client [--tls <ca-certificate.pem>] <port>" << Qt::endl;
        return 2;
    }

    const bool useTls = !tlsFiles.isEmpty();
    const std::optional<QSslConfiguration> tls =
        useTls ? clientSslConfiguration(tlsFiles.first()) : QSslConfiguration::defaultConfiguration();
    if (!tls)
        return 1;
    const QString scheme = useTls ? QStringLiteral("zetos") : QStringLiteral("zeto");
    const Conversation conversation(QUrl(QStringLiteral("%1://127.0.0.1:%2/calc").arg(scheme).arg(port)), *tls);
    return application.exec();
}
