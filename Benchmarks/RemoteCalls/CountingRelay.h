#ifndef ZETO_BENCHMARKS_COUNTINGRELAY_H
#define ZETO_BENCHMARKS_COUNTINGRELAY_H

#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <memory>

// Passes one TCP connection on to a loopback port and counts the bytes each
// way, to learn what a call of ours puts on the wire.
class CountingRelay : public QObject
{
public:
    explicit CountingRelay(quint16 targetPort);

    quint16 port() const { return m_server.serverPort(); }
    qint64 bytesToTarget() const { return m_bytesToTarget; }
    qint64 bytesFromTarget() const { return m_bytesFromTarget; }
    void resetCounts();

private:
    void relayNextConnection();
    static void forward(QTcpSocket &from, QTcpSocket &to, qint64 &count);

    const quint16 m_targetPort;
    QTcpServer m_server;
    std::unique_ptr<QTcpSocket> m_client;
    QTcpSocket m_target;
    qint64 m_bytesToTarget = 0;
    qint64 m_bytesFromTarget = 0;
};

#endif // ZETO_BENCHMARKS_COUNTINGRELAY_H
