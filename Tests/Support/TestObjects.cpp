#include "TestObjects.h"

namespace Zeto {
namespace Testing {

Calculator::Calculator(const QSharedPointer<IConnectionInformation> &connectionInformation)
    : m_connectionInformation(connectionInformation)
{
}

QSharedPointer<IConnectionInformation> Calculator::connectionInformation() const
{
    return m_connectionInformation;
}

int Calculator::value() const
{
    return m_value;
}

int Calculator::add(int first, int second)
{
    return first + second;
}

QString Calculator::echo(const QString &text)
{
    return text;
}

void Calculator::setValue(int value)
{
    if (value == m_value)
        return;
    m_value = value;
    Q_EMIT valueChanged(value);
}

void Calculator::reset()
{
    setValue(0);
}

} // namespace Testing
} // namespace Zeto
