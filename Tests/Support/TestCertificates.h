#ifndef ZETO_TESTCERTIFICATES_H
#define ZETO_TESTCERTIFICATES_H

#include <QtNetwork/QSslConfiguration>

namespace Zeto {
namespace Testing {

// A self-signed certificate for 127.0.0.1 and localhost, valid for a century,
// with its private key: what a test server presents over TLS.
QSslConfiguration testServerSslConfiguration();

// The default configuration, trusting the test server's certificate.
QSslConfiguration testClientSslConfiguration();

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTCERTIFICATES_H
