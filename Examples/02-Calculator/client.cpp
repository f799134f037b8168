// The calculator client: talks to the calculator server on 127.0.0.1.
//
//     calculator-client <port>

#include "Conversation.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    bool validPort = false;
    const quint16 port = argc > 1 ? QString::fromLocal8Bit(argv[1]).toUShort(&validPort) : 0;
    if (!validPort || port == 0) {
        QTextStream(stderr) << "usage: calculator-client <port>" << Qt::endl;
        return 2;
    }

    const Conversation conversation(QUrl(QStringLiteral("zeto://127.0.0.1:%1/calc").arg(port)));
    return application.exec();
}
