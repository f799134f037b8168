#include "Conversation.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTextStream>

using Zeto::Client::IRemoteObjectConnection;
using Zeto::Client::IRemoteSlotResponse;
using Zeto::Client::RemoteObject;

namespace {

constexpr int DeadlineInMs = 10 * 1000;
// A restart takes the server's drain, a new process and a reconnection.
constexpr int DeadlineWithRestartInMs = 20 * 1000;
// Each call and link fails, rather than waits, when its answer is this late.
constexpr int AnswerDeadlineInMs = 5 * 1000;
constexpr int EchoDeadlineInMs = 2 * 1000;

void say(const QString &line)
{
    QTextStream(stdout) << "client: " << line << Qt::endl;
}

} // namespace

Conversation::Conversation(const QUrl &url, const QSslConfiguration &sslConfiguration, bool expectRestart,
                           QObject *parent)
    : QObject(parent),
      m_calculator("Calculator", url, QVariant(), sslConfiguration),
      m_expectsRestart(expectRestart)
{
    const int deadline = expectRestart ? DeadlineWithRestartInMs : DeadlineInMs;
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this,
            [this, deadline] { fail(QStringLiteral("no answer within %1 s").arg(deadline / 1000)); });
    m_deadline.start(deadline);
    m_calculator.setDefaultTimeout(AnswerDeadlineInMs);
    // A lost connection is tried again; what waited for an answer then fails.
    m_calculator.setReconnectEnabled(true);
    connect(&m_calculator, &RemoteObject::connected, this,
            [url] { say(QStringLiteral("connected to Calculator at %1").arg(url.toString())); });
    connect(&m_calculator, &RemoteObject::reconnecting, this,
            [](const Zeto::ErrorInfo &cause, int attempt, int delay) {
                say(QStringLiteral("connection lost (%1); attempt %2 in %3 ms")
                        .arg(cause.description())
                        .arg(attempt)
                        .arg(delay));
            });
    connect(&m_calculator, &RemoteObject::reconnected, this, &Conversation::startSecondRound);
    connect(&m_calculator, &RemoteObject::error, this,
            [this](const Zeto::ErrorInfo &error) { fail(error.description()); });
    start();
}

void Conversation::showValue(int value)
{
    say(QStringLiteral("valueChanged(%1) arrived").arg(value));
    if (value == (m_round == 1 ? FirstValue : SecondValue))
        onAnswer();
}

// Calls and links made before connected() are sent once the object exists.
void Conversation::start()
{
    say(QStringLiteral("asking for a calculator; each answer may take %1 s, the echo %2 s")
            .arg(AnswerDeadlineInMs / 1000)
            .arg(EchoDeadlineInMs / 1000));
    call("add(2, 3)", m_calculator.call("add", 2, 3));
    const auto echo = m_calculator.call("echo", "hello, calculator");
    echo->setTimeout(EchoDeadlineInMs);
    call("echo(\"hello, calculator\")", echo);
    watchLink("Calculator::valueChanged(int) -> showValue(int)",
              RemoteObject::connect(&m_calculator, SIGNAL(valueChanged(int)), this, SLOT(showValue(int))));
    watchLink("valueChosen(int) -> Calculator::setValue(int)",
              RemoteObject::connect(this, SIGNAL(valueChosen(int)), &m_calculator, SLOT(setValue(int))));
}

// The links are back before this is heard: they carry the second value.
void Conversation::startSecondRound(int outageInMs)
{
    say(QStringLiteral("back after %1 ms, with both links made again").arg(outageInMs));
    if (m_round != 2)
        return;
    call("add(4, 5)", m_calculator.call("add", 4, 5));
    say(QStringLiteral("emits valueChosen(%1)").arg(SecondValue));
    Q_EMIT valueChosen(SecondValue);
}

void Conversation::call(const char *description, const QSharedPointer<IRemoteSlotResponse> &response)
{
    const QString text = QString::fromUtf8(description);
    // The handle lives as long as its own connections: until it reports.
    connect(response.data(), &IRemoteSlotResponse::responded, this, [this, text, response](const QVariant &result) {
        say(QStringLiteral("%1 = %2").arg(text, result.toString()));
        onAnswer();
    });
    connect(response.data(), &IRemoteSlotResponse::failed, this, [this, text, response](const Zeto::ErrorInfo &error) {
        fail(QStringLiteral("%1 failed: %2").arg(text, error.description()));
    });
}

void Conversation::watchLink(const char *description, const QSharedPointer<IRemoteObjectConnection> &link)
{
    const QString text = QString::fromUtf8(description);
    connect(link.data(), &IRemoteObjectConnection::connected, this, [this, text, link] {
        say(QStringLiteral("linked %1").arg(text));
        onLinkReady();
    });
    connect(link.data(), &IRemoteObjectConnection::failed, this, [this, text, link](const Zeto::ErrorInfo &error) {
        fail(QStringLiteral("linking %1 failed: %2").arg(text, error.description()));
    });
}

void Conversation::onLinkReady()
{
    if (++m_linksReady < 2)
        return;
    say(QStringLiteral("emits valueChosen(%1)").arg(FirstValue));
    Q_EMIT valueChosen(FirstValue);
}

void Conversation::onAnswer()
{
    if (++m_answers < (m_round == 1 ? Answers : Answers - 1))
        return;
    if (m_round == 1 && m_expectsRestart) {
        m_round = 2;
        m_answers = 0;
        // Whoever runs the demo restarts the server on this line.
        say(QStringLiteral("first round done, waiting for the server to restart"));
        return;
    }
    say(QStringLiteral("everything arrived, bye"));
    m_deadline.stop();
    QCoreApplication::exit(0);
}

void Conversation::fail(const QString &reason)
{
    say(QStringLiteral("error: %1").arg(reason));
    m_deadline.stop();
    QCoreApplication::exit(1);
}
