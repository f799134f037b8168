// Streams a QVariant through the installed SDK and reads it back: proves that
// the installed headers compile on their own, behind the one prefix ZetoSdk/,
// and that the exported symbols,
// the type registry among them, are reachable from an application. The remote
// tags must vanish for the compiler in front of a declaration, and a remote
// object reports from the event loop.

#include <ZetoSdk/ConnectionInfo>
#include <ZetoSdk/DataStream>
#include <ZetoSdk/ErrorInfo>
#include <ZetoSdk/IErrorHandler>
#include <ZetoSdk/IRemoteObjectConnection>
#include <ZetoSdk/IRemoteSlotResponse>
#include <ZetoSdk/RemoteObject>
#include <ZetoSdk/RemoteTags>
#include <ZetoSdk/StreamHelper>

// The SDK's own folders are no include roots of an application.
#if __has_include(<DataStream/DataStream.h>) || __has_include(<Client/RemoteObject.h>) || __has_include(<ZetoGlobal.h>)
#error "The installed package puts the SDK's module folders on the include path"
#endif

#include <QtCore/QBuffer>
#include <QtCore/QCoreApplication>
#include <QtCore/QTimer>
#include <QtCore/QMetaType>
#include <QtCore/QVariantMap>

#include <cstdio>

struct Tag
{
    QString name;
};

Zeto::DataStream &operator<<(Zeto::DataStream &stream, const Tag &tag)
{
    return stream << tag.name;
}

Zeto::DataStream &operator>>(Zeto::DataStream &stream, Tag &tag)
{
    return stream >> tag.name;
}

Q_DECLARE_METATYPE(Tag)

REMOTE_SLOT HTTP_GET HTTP_POST HTTP_PUT HTTP_PATCH HTTP_DELETE static bool tagsVanish() { return true; }
REMOTE_SIGNAL static bool signalTagVanishes() { return true; }

// A URL without a port is refused, from the event loop.
static bool remoteObjectReportsBadUrl()
{
    Zeto::Client::RemoteObject remote("Calculator", QUrl(QStringLiteral("zeto://127.0.0.1/calc")));
    int code = -1;
    QObject::connect(&remote, &Zeto::Client::RemoteObject::error, [&code](const Zeto::ErrorInfo &error) {
        code = error.error.connectionError;
        QCoreApplication::quit();
    });
    QTimer::singleShot(5000, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    return code == Zeto::InvalidRemoteObjectUrl;
}

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    Zeto::registerType<Tag>();
    const QVariantMap written{
        {QStringLiteral("id"), 42},
        {QStringLiteral("values"), QVariantList{1.5, QStringLiteral("x")}},
        {QStringLiteral("tag"), QVariant::fromValue(Tag{QStringLiteral("installed")})},
    };

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    Zeto::DataStream stream(&buffer);
    stream << QVariant(written);
    buffer.seek(0);
    QVariant read;
    stream >> read;

    const QVariantMap map = read.toMap();
    const bool ok = remoteObjectReportsBadUrl() && tagsVanish() && signalTagVanishes() && stream.isValid() && buffer.atEnd() && map.size() == written.size()
        && map.value(QStringLiteral("id")) == written.value(QStringLiteral("id"))
        && map.value(QStringLiteral("values")) == written.value(QStringLiteral("values"))
        && map.value(QStringLiteral("tag")).value<Tag>().name == QStringLiteral("installed");
    std::printf("installed package round trip: %s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
