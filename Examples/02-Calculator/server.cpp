// The calculator server: offers Calculator at /calc on 127.0.0.1 and serves
// until SIGINT or SIGTERM.
//
//     calculator-server [port]      (0, the default, lets the system pick)

#include "Calculator.h"
#include "TerminationSignals.h"

#include <ZetoSdk/ZetoServer>

#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    bool validPort = true;
    const quint16 port = argc > 1 ? QString::fromLocal8Bit(argv[1]).toUShort(&validPort) : 0;
    if (!validPort) {
        QTextStream(stderr) << "usage: calculator-server [port]" << Qt::endl;
        return 2;
    }

    Zeto::Server::ZetoServer server;
    server.registerClass<Calculator>(QStringLiteral("/calc"));
    if (!server.listen(QHostAddress::LocalHost, port))
        return 1;
    // Whoever started the server reads the port from this line.
    out << "listening on port " << server.serverPort() << Qt::endl;

    quitOnTerminationSignals(application);
    const int status = application.exec();
    server.close();
    out << "server: stopped" << Qt::endl;
    return status;
}
