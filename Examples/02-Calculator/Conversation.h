#ifndef CONVERSATION_H
#define CONVERSATION_H

#include <ZetoSdk/RemoteObject>

#include <QtCore/QObject>
#include <QtCore/QSharedPointer>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtNetwork/QSslConfiguration>

// The client's side of the demo: calls the remote calculator's slots, links
// its signal to a local slot and a local signal to its slot, and ends the
// event loop with 0 once every answer has arrived, or with 1 on an error or
// when the deadline passes. Every call and link has a deadline of its own.
//
// The calculator reconnects. Told to expect a restart, the conversation
// says so once the first round is done, and waits: when the calculator is
// back, a second round calls it again and emits through the links, which
// were made again without being asked for.
class Conversation : public QObject
{
    Q_OBJECT

public:
    // The TLS configuration is used for a zetos:// URL.
    Conversation(const QUrl &url, const QSslConfiguration &sslConfiguration, bool expectRestart,
                 QObject *parent = nullptr);

Q_SIGNALS:
    // Linked to the remote setValue(int).
    void valueChosen(int value);

public Q_SLOTS:
    // Linked to the remote valueChanged(int).
    void showValue(int value);

private:
    void start();
    void startSecondRound(int outageInMs);
    void call(const char *description, const QSharedPointer<Zeto::Client::IRemoteSlotResponse> &response);
    void watchLink(const char *description, const QSharedPointer<Zeto::Client::IRemoteObjectConnection> &link);
    void onLinkReady();
    void onAnswer();
    void fail(const QString &reason);

    static constexpr int FirstValue = 42;
    static constexpr int SecondValue = 43;
    // Per round: two calls and the value coming back through both links.
    static constexpr int Answers = 3;

    Zeto::Client::RemoteObject m_calculator;
    const bool m_expectsRestart;
    QTimer m_deadline;
    int m_round = 1;
    int m_linksReady = 0;
    int m_answers = 0;
};

#endif // CONVERSATION_H
