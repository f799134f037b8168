// The calculator server: offers Calculator at /calc on 127.0.0.1, over TLS
// (zetos://) with --tls, and serves until SIGINT or SIGTERM, on which it
// drains: it answers what its clients have sent, tells them it goes away,
// and ends once they have gone, within 5 s.
//
//     calculator-server [--tls <certificate.pem> <key.pem>] [port]
//
// Port 0, the default, lets the system pick.

#include "Calculator.h"
#include "TerminationSignals.h"
#include "TlsFiles.h"

#include <ZetoSdk/ZetoServer>

#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

namespace {

constexpr int DrainDeadlineInMs = 5 * 1000;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QStringList arguments = application.arguments().mid(1);
    QStringList tlsFiles;
    bool valid = takeTlsFiles(arguments, 2, tlsFiles) && arguments.size() <= 1;
    const quint16 port = valid && !arguments.isEmpty() ? arguments.first().toUShort(&valid) : 0;
    if (!valid) {
        QTextStream(stderr) << "usage: calculator-server [--tls <certificate.pem> <key.pem>] [port]" << Qt::endl;
        return 2;
    }

    Zeto::Server::ZetoServer server;
    if (!tlsFiles.isEmpty()) {
        const std::optional<QSslConfiguration> tls = serverSslConfiguration(tlsFiles.at(0), tlsFiles.at(1));
        if (!tls)
            return 1;
        server.setSslConfiguration(*tls);
        out << "server: zetos:// with the certificate of " << tlsFiles.at(0) << Qt::endl;
    }
    server.registerClass<Calculator>(QStringLiteral("/calc"));
    if (!server.listen(QHostAddress::LocalHost, port))
        return 1;
    // Whoever started the server reads the port from this line.
    out << "listening on port " << server.serverPort() << Qt::endl;

    QObject::connect(&server, &Zeto::Server::ZetoServer::drained, &application, &QCoreApplication::quit);
    onTerminationSignals(application, [&server, &out] {
        out << "server: draining" << Qt::endl;
        server.drain(DrainDeadlineInMs);
    });
    const int status = application.exec();
    out << "server: stopped" << Qt::endl;
    return status;
}
