#ifndef ZETO_TESTSERVERPROCESS_H
#define ZETO_TESTSERVERPROCESS_H

#include "TestServer.h"

#include <QtCore/QProcess>
#include <QtCore/QUrl>

namespace Zeto {
namespace Testing {

// A TestServer in a process of its own, so that a test can kill it with
// calls in flight. It starts at once, on the port given or any free one;
// port() is 0 if it did not start and announce its port in time.
class TestServerProcess
{
    Q_DISABLE_COPY(TestServerProcess)

public:
    explicit TestServerProcess(int startTimeoutInMs = 10 * 1000, quint16 port = 0,
                               Transport transport = Transport::Plain);
    // Kills the server and waits for its end.
    ~TestServerProcess();

    quint16 port() const;
    QUrl url(const QString &path) const;
    // Ends the server at once, without a word to its clients.
    void kill();
    // Has the server drain, and waits for its end.
    void drain();
    // Stops the server where it stands: what clients send waits, unread,
    // until it resumes.
    void pause();
    void resume();

private:
    quint16 readPort(int timeoutInMs);
    void signalServer(int signalNumber);

    QProcess m_process;
    const Transport m_transport;
    quint16 m_port = 0;
};

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTSERVERPROCESS_H
