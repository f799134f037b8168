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
// when the deadline passes. Every call and link has a deadline of its own and
// fails at once should the calculator be lost, so none waits forever.
class Conversation : public QObject
{
    Q_OBJECT

public:
    // The TLS configuration is used for a zetos:// URL.
    Conversation(const QUrl &url, const QSslConfiguration &sslConfiguration, QObject *parent = nullptr);

Q_SIGNALS:
    // Linked to the remote setValue(int).
    void valueChosen(int value);

public Q_SLOTS:
    // Linked to the remote valueChanged(int).
    void showValue(int value);

private:
    void start();
    void call(const char *description, const QSharedPointer<Zeto::Client::IRemoteSlotResponse> &response);
    void watchLink(const char *description, const QSharedPointer<Zeto::Client::IRemoteObjectConnection> &link);
    void onLinkReady();
    void onAnswer();
    void fail(const QString &reason);

    static constexpr int ChosenValue = 42;
    static constexpr int Answers = 3;

    Zeto::Client::RemoteObject m_calculator;
    QTimer m_deadline;
    int m_linksReady = 0;
    int m_answers = 0;
};

#endif // CONVERSATION_H
