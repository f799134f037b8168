// Serves a class with the installed server library and calls it with the
// installed client library, in one process: proves that an application can
// build a server from the package alone.

#include <ZetoSdk/IConnectionInformation>
#include <ZetoSdk/RemoteObject>
#include <ZetoSdk/RemoteTags>
#include <ZetoSdk/ZetoServer>

#if __has_include(<ZetoServer/ZetoServer.h>) || __has_include(<RemoteObjects/IQObjectFactory.h>)
#error "The installed package puts the server's or the SDK's folders on the include path"
#endif

#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>

#include <cstdio>

class Adder : public QObject
{
    Q_OBJECT

public:
    explicit Adder(const QSharedPointer<Zeto::IConnectionInformation> &connectionInformation)
    {
        Q_UNUSED(connectionInformation)
    }

public Q_SLOTS:
    REMOTE_SLOT int add(int first, int second) { return first + second; }
};

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    Zeto::Server::ZetoServer server;
    server.registerClass<Adder>(QStringLiteral("/adder"));
    if (!server.listen(QHostAddress::LocalHost))
        return 1;

    Zeto::Client::RemoteObject adder("Adder", QUrl(QStringLiteral("zeto://127.0.0.1:%1/adder").arg(server.serverPort())));
    int sum = 0;
    QSharedPointer<Zeto::Client::IRemoteSlotResponse> response = adder.call("add", 2, 3);
    QObject::connect(response.data(), &Zeto::Client::IRemoteSlotResponse::responded, [&sum](const QVariant &result) {
        sum = result.toInt();
        QCoreApplication::quit();
    });
    QTimer::singleShot(10000, &application, &QCoreApplication::quit);
    QCoreApplication::exec();

    std::printf("installed server and client: %s\n", sum == 5 ? "ok" : "FAILED");
    return sum == 5 ? 0 : 1;
}

#include "server.moc"
