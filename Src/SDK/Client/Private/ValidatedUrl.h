#ifndef ZETO_CLIENT_VALIDATEDURL_H
#define ZETO_CLIENT_VALIDATEDURL_H

#include "../../ZetoGlobal.h"

#include <QtCore/QString>
#include <QtCore/QUrl>

namespace Zeto {
namespace Client {

// Whether a URL names a server this library can reach: scheme zeto (plain)
// or zetos (TLS), a host and a port. Checked once, on construction.
class ZETO_PRIVATE_EXPORT ValidatedUrl
{
public:
    // Stands for a missing port, so that port 65535 itself is refused too.
    static constexpr quint16 NoPort = 65535;

    explicit ValidatedUrl(const QUrl &url);

    QUrl url() const { return m_url; }
    // Fully decoded and lower-cased; empty when the QUrl itself is invalid.
    QString host() const { return m_host; }
    quint16 port() const { return m_port; }
    // Why the URL was refused; empty when it is valid.
    QString errorString() const { return m_errorString; }
    bool isEncrypted() const { return m_encrypted; }
    bool isValid() const { return m_valid; }

private:
    QString failedCheck();

    QUrl m_url;
    QString m_host;
    quint16 m_port = NoPort;
    QString m_errorString;
    bool m_encrypted = false;
    bool m_valid = false;
};

} // namespace Client
} // namespace Zeto

#endif // ZETO_CLIENT_VALIDATEDURL_H
