#ifndef ZETO_CONNECTIONINFO_H
#define ZETO_CONNECTIONINFO_H

#include "../ZetoGlobal.h"

#include <QtCore/QSharedDataPointer>
#include <QtCore/QString>

namespace Zeto {

class ConnectionInfoData;

// Where one connection runs: both ends, and the proxy and the end behind it
// when there are any. Built whole; the location string is made once, here.
class ZETO_EXPORT ConnectionInfo
{
public:
    // All empty, including the location string.
    ConnectionInfo();
    ConnectionInfo(bool hasProxy, QString peerIp, quint16 peerPort, QString localIp, quint16 localPort,
                   QString proxyIp, quint16 proxyPort, QString proxiedIp, quint16 proxiedPort);
    ConnectionInfo(const ConnectionInfo &other);
    ConnectionInfo &operator=(const ConnectionInfo &other);
    ~ConnectionInfo();

    bool hasProxy() const;
    QString peerIp() const;
    quint16 peerPort() const;
    QString localIp() const;
    quint16 localPort() const;
    QString proxyIp() const;
    quint16 proxyPort() const;
    QString proxiedIp() const;
    quint16 proxiedPort() const;
    QString locationString() const;

private:
    QSharedDataPointer<ConnectionInfoData> d;
};

} // namespace Zeto

#endif // ZETO_CONNECTIONINFO_H
