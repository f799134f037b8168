#include "CallingSides.h"

#include "BenchmarkProcess.h"
#include "Servers.h"

#include <QtCore/QtEndian>
#include <QtNetwork/QNetworkProxy>
#include <QtNetwork/QTcpSocket>

using Zeto::Client::IRemoteSlotResponse;
using Zeto::Client::RemoteObject;

namespace {

constexpr int AddFirst = 2;
constexpr int AddSecond = 3;

QUrl loopbackUrl(const char *scheme, quint16 port, const QString &path = QString())
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3").arg(QLatin1String(scheme)).arg(port).arg(path));
}

bool isExpectedResult(const CallCase &callCase, const QVariant &result)
{
    return callCase.isAdd() ? result.toInt() == AddFirst + AddSecond
                            : result.toByteArray().size() == callCase.payload.size();
}

void failOnWrongResult(const CallCase &callCase, const QVariant &result, const char *system)
{
    if (!isExpectedResult(callCase, result))
        Bench::fail(QStringLiteral("%1 answered a call wrongly").arg(QLatin1String(system)));
}

void enableLowDelay(QWebSocket &socket)
{
    if (auto *tcp = socket.findChild<QAbstractSocket *>(QString(), Qt::FindDirectChildrenOnly))
        tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

} // namespace

OurSide::OurSide(quint16 port, const CallCase &callCase)
    : m_case(callCase),
      m_object(Servers::BenchServiceName.toLatin1().constData(), loopbackUrl("zeto", port, Servers::BenchServicePath),
               QVariant(), QSslConfiguration::defaultConfiguration(), QNetworkProxy(QNetworkProxy::NoProxy))
{
    bool connected = false;
    QObject::connect(&m_object, &RemoteObject::connected, [&connected] { connected = true; });
    QObject::connect(&m_object, &RemoteObject::error,
                     [](const Zeto::ErrorInfo &error) { Bench::fail(error.description()); });
    if (!Bench::runUntil([&connected] { return connected; }))
        Bench::fail(QStringLiteral("our remote object does not connect"));
}

void OurSide::call(const Answered &answered)
{
    m_responses.letGoOfReported();
    const QSharedPointer<IRemoteSlotResponse> response =
        m_case.isAdd() ? m_object.call("add", AddFirst, AddSecond) : m_object.call("echo", m_case.payload);
    m_responses.keep(response);
    IRemoteSlotResponse *handle = response.data();
    QObject::connect(handle, &IRemoteSlotResponse::responded, [this, handle, answered](const QVariant &result) {
        failOnWrongResult(m_case, result, "our server");
        answered();
        m_responses.reported(handle);
    });
    QObject::connect(handle, &IRemoteSlotResponse::failed,
                     [](const Zeto::ErrorInfo &error) { Bench::fail(error.description()); });
}

QtRemoteObjectsSide::QtRemoteObjectsSide(quint16 port, const CallCase &callCase) : m_case(callCase)
{
    if (!m_node.connectToNode(loopbackUrl("tcp", port)))
        Bench::fail(QStringLiteral("Qt Remote Objects does not connect"));
    m_replica.reset(m_node.acquireDynamic(Servers::BenchServiceName));
    if (!Bench::runUntil([this] { return m_replica->isInitialized(); }))
        Bench::fail(QStringLiteral("the Qt Remote Objects replica does not initialize"));
    const QMetaObject *metaObject = m_replica->metaObject();
    m_slot = metaObject->method(metaObject->indexOfMethod(m_case.isAdd() ? "add(int,int)" : "echo(QByteArray)"));
}

void QtRemoteObjectsSide::call(const Answered &answered)
{
    m_watchers.letGoOfReported();
    const auto watcher = QSharedPointer<QRemoteObjectPendingCallWatcher>::create(invoke());
    m_watchers.keep(watcher);
    QRemoteObjectPendingCallWatcher *handle = watcher.data();
    QObject::connect(handle, &QRemoteObjectPendingCallWatcher::finished, [this, handle, answered] {
        failOnWrongResult(m_case, handle->returnValue(), "Qt Remote Objects");
        answered();
        m_watchers.reported(handle);
    });
}

// A dynamic replica answers a slot with a result by a pending call.
QRemoteObjectPendingCall QtRemoteObjectsSide::invoke()
{
    QRemoteObjectPendingCall pending;
    const bool invoked = m_case.isAdd()
        ? m_slot.invoke(m_replica.get(), Qt::DirectConnection, Q_RETURN_ARG(QRemoteObjectPendingCall, pending),
                        Q_ARG(int, AddFirst), Q_ARG(int, AddSecond))
        : m_slot.invoke(m_replica.get(), Qt::DirectConnection, Q_RETURN_ARG(QRemoteObjectPendingCall, pending),
                        Q_ARG(QByteArray, m_case.payload));
    if (!invoked)
        Bench::fail(QStringLiteral("the Qt Remote Objects replica refuses the call"));
    return pending;
}

RawWebSocketSide::RawWebSocketSide(quint16 port, int callBytes, int resultBytes)
    : m_message(callBytes, 'c'),
      m_resultBytes(resultBytes)
{
    qToBigEndian(quint32(resultBytes), m_message.data());
    QObject::connect(&m_socket, &QWebSocket::binaryMessageReceived,
                     [this](const QByteArray &message) { onMessage(message); });
    m_socket.setProxy(QNetworkProxy::NoProxy);
    m_socket.open(loopbackUrl("ws", port));
    if (!Bench::runUntil([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }))
        Bench::fail(QStringLiteral("the bare WebSocket does not connect"));
    enableLowDelay(m_socket);
}

void RawWebSocketSide::call(const Answered &answered)
{
    m_waiting.push_back(answered);
    m_socket.sendBinaryMessage(m_message);
}

void RawWebSocketSide::onMessage(const QByteArray &message)
{
    if (message.size() != m_resultBytes || m_waiting.empty())
        Bench::fail(QStringLiteral("the bare WebSocket answered wrongly"));
    const Answered answered = std::move(m_waiting.front());
    m_waiting.pop_front();
    answered();
}
