#include "Calculator.h"

#include <QtCore/QTextStream>

namespace {

void say(const QString &line)
{
    QTextStream(stdout) << "server: " << line << Qt::endl;
}

} // namespace

Calculator::Calculator(const QSharedPointer<Zeto::IConnectionInformation> &connectionInformation)
    : m_client(QStringLiteral("%1:%2")
                   .arg(connectionInformation->connectionInfo().peerIp())
                   .arg(connectionInformation->connectionInfo().peerPort()))
{
    say(QStringLiteral("made a calculator for %1").arg(m_client));
}

Calculator::~Calculator()
{
    say(QStringLiteral("the calculator of %1 is gone").arg(m_client));
}

int Calculator::add(int first, int second)
{
    say(QStringLiteral("add(%1, %2) = %3").arg(first).arg(second).arg(first + second));
    return first + second;
}

QString Calculator::echo(const QString &text)
{
    say(QStringLiteral("echo(\"%1\")").arg(text));
    return text;
}

void Calculator::setValue(int value)
{
    say(QStringLiteral("setValue(%1), emitting valueChanged(%1)").arg(value));
    Q_EMIT valueChanged(value);
}
