#ifndef CALCULATOR_H
#define CALCULATOR_H

#include <ZetoSdk/IConnectionInformation>
#include <ZetoSdk/RemoteTags>

#include <QtCore/QObject>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>

// What the server offers: clients reach the tagged slots and signal only.
// One calculator is made for each client's remote object.
class Calculator : public QObject
{
    Q_OBJECT

public:
    explicit Calculator(const QSharedPointer<Zeto::IConnectionInformation> &connectionInformation);
    ~Calculator() override;

public Q_SLOTS:
    REMOTE_SLOT int add(int first, int second);
    REMOTE_SLOT QString echo(const QString &text);
    REMOTE_SLOT void setValue(int value);

Q_SIGNALS:
    REMOTE_SIGNAL void valueChanged(int value);

private:
    const QString m_client;
};

#endif // CALCULATOR_H
