// A TestServer in a process of its own: main [port [tls]]. It announces its
// port as the first line on stdout and serves until it is killed or its
// stdin closes, so that it never outlives a test that died; "drain" on stdin
// has it drain, then end.

#include "TestServer.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QSocketNotifier>
#include <QtCore/QTextStream>

#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    using Zeto::Testing::Transport;
    const QStringList arguments = application.arguments();
    const quint16 port = arguments.size() > 1 ? arguments.at(1).toUShort() : 0;
    const Transport transport = arguments.size() > 2 && arguments.at(2) == "tls" ? Transport::Tls : Transport::Plain;
    Zeto::Testing::TestServer server(transport, nullptr, port);
    if (!server.isListening())
        return 1;
    QTextStream(stdout) << "port " << server.port() << Qt::endl;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&server, &Zeto::Testing::TestServer::drained, &application, &QCoreApplication::quit);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&application, &server] {
        char command[256];
        const ssize_t size = read(STDIN_FILENO, command, sizeof command);
        if (size <= 0)
            application.quit();
        else if (QByteArray(command, int(size)).startsWith("drain"))
            server.drain();
    });
    return application.exec();
}
