#include "ConnectionInfo.h"

#include <utility>

namespace Zeto {

class ConnectionInfoData : public QSharedData
{
public:
    bool hasProxy = false;
    QString peerIp;
    quint16 peerPort = 0;
    QString localIp;
    quint16 localPort = 0;
    QString proxyIp;
    quint16 proxyPort = 0;
    QString proxiedIp;
    quint16 proxiedPort = 0;
    QString locationString;
};

namespace {

// Each proxy part is filled on its own literal, so that an address holding
// "%1" cannot disturb the text already built.
void appendIfSet(QString &location, QLatin1String part, const QString &value)
{
    if (!value.isEmpty())
        location += part.arg(value);
}

void appendIfSet(QString &location, QLatin1String part, quint16 port)
{
    if (port != 0)
        appendIfSet(location, part, QString::number(port));
}

QString buildLocationString(const ConnectionInfoData &data)
{
    QString location = QStringLiteral("Peer IP: %1, peer port: %2, local IP: %3, local port: %4")
                           .arg(data.peerIp, QString::number(data.peerPort),
                                data.localIp, QString::number(data.localPort));
    appendIfSet(location, QLatin1String(", proxyIp: %1"), data.proxyIp);
    appendIfSet(location, QLatin1String(", proxyPort: %1"), data.proxyPort);
    appendIfSet(location, QLatin1String(", proxiedIp: %1"), data.proxiedIp);
    appendIfSet(location, QLatin1String(", proxiedPort: %1"), data.proxiedPort);
    location += QLatin1Char('.');
    return location;
}

} // namespace

ConnectionInfo::ConnectionInfo()
    : d(new ConnectionInfoData)
{
}

ConnectionInfo::ConnectionInfo(bool hasProxy, QString peerIp, quint16 peerPort, QString localIp,
                               quint16 localPort, QString proxyIp, quint16 proxyPort, QString proxiedIp,
                               quint16 proxiedPort)
    : d(new ConnectionInfoData)
{
    d->hasProxy = hasProxy;
    d->peerIp = std::move(peerIp);
    d->peerPort = peerPort;
    d->localIp = std::move(localIp);
    d->localPort = localPort;
    d->proxyIp = std::move(proxyIp);
    d->proxyPort = proxyPort;
    d->proxiedIp = std::move(proxiedIp);
    d->proxiedPort = proxiedPort;
    d->locationString = buildLocationString(*d);
}

ConnectionInfo::ConnectionInfo(const ConnectionInfo &other) = default;
ConnectionInfo &ConnectionInfo::operator=(const ConnectionInfo &other) = default;
ConnectionInfo::~ConnectionInfo() = default;

bool ConnectionInfo::hasProxy() const { return d->hasProxy; }
QString ConnectionInfo::peerIp() const { return d->peerIp; }
quint16 ConnectionInfo::peerPort() const { return d->peerPort; }
QString ConnectionInfo::localIp() const { return d->localIp; }
quint16 ConnectionInfo::localPort() const { return d->localPort; }
QString ConnectionInfo::proxyIp() const { return d->proxyIp; }
quint16 ConnectionInfo::proxyPort() const { return d->proxyPort; }
QString ConnectionInfo::proxiedIp() const { return d->proxiedIp; }
quint16 ConnectionInfo::proxiedPort() const { return d->proxiedPort; }
QString ConnectionInfo::locationString() const { return d->locationString; }

} // namespace Zeto
