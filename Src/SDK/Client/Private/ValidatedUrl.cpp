#include "ValidatedUrl.h"

namespace Zeto {
namespace Client {

ValidatedUrl::ValidatedUrl(const QUrl &url) : m_url(url)
{
    m_errorString = failedCheck();
    m_valid = m_errorString.isEmpty();
}

// The reason for refusing the URL, or empty; fills the fields as it goes.
QString ValidatedUrl::failedCheck()
{
    if (!m_url.isValid())
        return QStringLiteral("Given URL is invalid. %1").arg(m_url.errorString());
    m_host = m_url.host(QUrl::FullyDecoded).toLower();
    if (m_host.isEmpty())
        return QStringLiteral("Given URL is invalid. A valid host must be specified.");
    m_port = static_cast<quint16>(m_url.port());
    if (m_port == NoPort)
        return QStringLiteral("Given URL is invalid. A port must be specified.");
    // QUrl keeps its scheme in lower case.
    const QString scheme = m_url.scheme();
    m_encrypted = scheme == QLatin1String("zetos");
    if (m_encrypted || scheme == QLatin1String("zeto"))
        return QString();
    return QStringLiteral("Given URL is invalid. Scheme must be set to either zeto for unencrypted connections or "
                          "zetos for encrypted connections.");
}

} // namespace Client
} // namespace Zeto
