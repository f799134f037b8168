#ifndef ZETO_BENCHMARKS_SERVERS_H
#define ZETO_BENCHMARKS_SERVERS_H

#include <QtCore/QString>

// The server sides, each run in its own process by the benchmark: our
// ZetoServer, a Qt Remote Objects host, and a bare QWebSocket server that
// answers each binary message with one of the size the message asks for.
namespace Servers {

const QString Ours = QStringLiteral("ours");
const QString QtRemoteObjects = QStringLiteral("QtRO");
const QString RawWebSocket = QStringLiteral("raw");

const QString BenchServicePath = QStringLiteral("/bench");
const QString BenchServiceName = QStringLiteral("BenchService");

// Serves the role until standard input closes; the exit status for main().
int serve(const QString &role);

} // namespace Servers

#endif // ZETO_BENCHMARKS_SERVERS_H
