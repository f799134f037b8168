// The calculator client: talks to the calculator server on 127.0.0.1, over
// TLS (zetos://) with --tls, trusting the server's certificate from the file.
//
//     calculator-client [--tls <ca-certificate.pem>] [--expect-restart] <port>
//
// The conversation gives every call and link a deadline. With
// --expect-restart it waits, after its first round, for the server to
// restart, and finishes with a second round once the calculator is back.

#include "Conversation.h"
#include "TlsFiles.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    QStringList tlsFiles;
    const bool expectRestart = arguments.removeAll(QStringLiteral("--expect-restart")) > 0;
    bool validPort = takeTlsFiles(arguments, 1, tlsFiles) && arguments.size() == 1;
    const quint16 port = validPort ? arguments.first().toUShort(&validPort) : 0;
    if (!validPort || port == 0) {
        QTextStream(stderr) << "usage: calculator-client [--tls <ca-certificate.pem>] [--expect-restart] <port>" << Qt::endl;
        return 2;
    }

    const bool useTls = !tlsFiles.isEmpty();
    const std::optional<QSslConfiguration> tls =
        useTls ? clientSslConfiguration(tlsFiles.first()) : QSslConfiguration::defaultConfiguration();
    if (!tls)
        return 1;
    const QString scheme = useTls ? QStringLiteral("zetos") : QStringLiteral("zeto");
    const Conversation conversation(QUrl(QStringLiteral("%1://127.0.0.1:%2/calc").arg(scheme).arg(port)), *tls,
                                    expectRestart);
    return application.exec();
}
