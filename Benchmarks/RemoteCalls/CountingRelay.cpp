#include "CountingRelay.h"

#include "BenchmarkProcess.h"

CountingRelay::CountingRelay(quint16 targetPort) : m_targetPort(targetPort)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] { relayNextConnection(); });
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        Bench::fail(m_server.errorString());
}

void CountingRelay::resetCounts()
{
    m_bytesToTarget = 0;
    m_bytesFromTarget = 0;
}

// The client's bytes wait in its socket until the target is connected.
void CountingRelay::relayNextConnection()
{
    m_client.reset(m_server.nextPendingConnection());
    m_client->setParent(nullptr);
    connect(&m_target, &QTcpSocket::connected, this, [this] {
        connect(m_client.get(), &QTcpSocket::readyRead, this,
                [this] { forward(*m_client, m_target, m_bytesToTarget); });
        forward(*m_client, m_target, m_bytesToTarget);
    });
    connect(&m_target, &QTcpSocket::readyRead, this, [this] { forward(m_target, *m_client, m_bytesFromTarget); });
    m_target.connectToHost(QHostAddress::LocalHost, m_targetPort);
}

void CountingRelay::forward(QTcpSocket &from, QTcpSocket &to, qint64 &count)
{
    const QByteArray bytes = from.readAll();
    count += bytes.size();
    to.write(bytes);
}
