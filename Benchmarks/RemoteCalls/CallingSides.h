#ifndef ZETO_BENCHMARKS_CALLINGSIDES_H
#define ZETO_BENCHMARKS_CALLINGSIDES_H

#include <ZetoSdk/IRemoteSlotResponse>
#include <ZetoSdk/RemoteObject>

#include <QtCore/QHash>
#include <QtCore/QSharedPointer>
#include <QtCore/QVector>
#include <QtRemoteObjects/QRemoteObjectDynamicReplica>
#include <QtRemoteObjects/QRemoteObjectNode>
#include <QtRemoteObjects/QRemoteObjectPendingCallWatcher>
#include <QtWebSockets/QWebSocket>

#include <deque>
#include <functional>
#include <memory>

// What is called: add(2, 3) when payload is empty, echo(payload) otherwise.
struct CallCase
{
    QByteArray payload;

    bool isAdd() const { return payload.isEmpty(); }
};

// The client side of one system, connected when constructed. call() puts one
// call on the way; answered runs once its correct result is back.
class CallingSide
{
public:
    using Answered = std::function<void()>;

    virtual ~CallingSide() = default;
    virtual void call(const Answered &answered) = 0;
};

// Handles that report once through a signal. One is let go only after it has
// reported and its emission is over: at the next call.
template <typename Handle>
class ReportingHandles
{
public:
    void keep(const QSharedPointer<Handle> &handle) { m_waiting.insert(handle.data(), handle); }
    void reported(Handle *handle) { m_reported.append(m_waiting.take(handle)); }
    void letGoOfReported() { m_reported.clear(); }

private:
    QHash<Handle *, QSharedPointer<Handle>> m_waiting;
    QVector<QSharedPointer<Handle>> m_reported;
};

class OurSide : public CallingSide
{
public:
    OurSide(quint16 port, const CallCase &callCase);
    void call(const Answered &answered) override;

private:
    const CallCase m_case;
    Zeto::Client::RemoteObject m_object;
    ReportingHandles<Zeto::Client::IRemoteSlotResponse> m_responses;
};

class QtRemoteObjectsSide : public CallingSide
{
public:
    QtRemoteObjectsSide(quint16 port, const CallCase &callCase);
    void call(const Answered &answered) override;

private:
    QRemoteObjectPendingCall invoke();

    const CallCase m_case;
    QRemoteObjectNode m_node;
    std::unique_ptr<QRemoteObjectDynamicReplica> m_replica;
    QMetaMethod m_slot;
    ReportingHandles<QRemoteObjectPendingCallWatcher> m_watchers;
};

// Sends binary messages of the call's size and takes answers of the result's.
class RawWebSocketSide : public CallingSide
{
public:
    RawWebSocketSide(quint16 port, int callBytes, int resultBytes);
    void call(const Answered &answered) override;

private:
    void onMessage(const QByteArray &message);

    QWebSocket m_socket;
    QByteArray m_message;
    const int m_resultBytes;
    std::deque<Answered> m_waiting;
};

#endif // ZETO_BENCHMARKS_CALLINGSIDES_H
