#include "TestServerProcess.h"

#include <QtCore/QDeadlineTimer>

#include <signal.h>

namespace Zeto {
namespace Testing {

TestServerProcess::TestServerProcess(int startTimeoutInMs, quint16 port, Transport transport)
    : m_transport(transport)
{
    // Sanitizer reports and warnings of the server belong in the test's output.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{QString::number(port)};
    if (transport == Transport::Tls)
        arguments << QStringLiteral("tls");
    m_process.start(QStringLiteral(ZETO_TEST_SERVER_PATH), arguments);
    m_port = readPort(startTimeoutInMs);
    if (m_port == 0)
        qWarning("The test server process did not announce its port: %s", qPrintable(m_process.errorString()));
}

TestServerProcess::~TestServerProcess() { kill(); }

quint16 TestServerProcess::port() const { return m_port; }

QUrl TestServerProcess::url(const QString &path) const { return localServerUrl(m_transport, m_port, path); }

void TestServerProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}

void TestServerProcess::drain()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("drain\n");
    if (!m_process.waitForFinished(30 * 1000))
        kill();
}

void TestServerProcess::pause() { signalServer(SIGSTOP); }

void TestServerProcess::resume() { signalServer(SIGCONT); }

void TestServerProcess::signalServer(int signalNumber)
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), signalNumber);
}

// The server's first line is "port <number>".
quint16 TestServerProcess::readPort(int timeoutInMs)
{
    const QDeadlineTimer deadline(timeoutInMs);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
            return 0;
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("port "))
        return 0;
    return line.mid(5).toUShort();
}

} // namespace Testing
} // namespace Zeto
