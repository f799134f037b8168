#include "TestObjects.h"

#include "DataStream/StreamHelper.h"

#include <QtCore/QRegularExpression>
#include <QtTest/QTest>

#include <stdexcept>
#include <utility>

namespace Zeto {

DataStream &operator<<(DataStream &stream, const QList<qint32> &values)
{
    stream << qint64(values.size());
    for (const qint32 value : values)
        stream << value;
    return stream;
}

DataStream &operator>>(DataStream &stream, QList<qint32> &values)
{
    qint64 count = 0;
    stream >> count;
    values.clear();
    for (qint64 index = 0; index < count && stream.isValid(); ++index) {
        qint32 value = 0;
        stream >> value;
        values.append(value);
    }
    return stream;
}

namespace Testing {

void registerIntegerList() { registerType<QList<qint32>>(); }

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

Demolisher::Demolisher(std::function<void()> destroyCreatedObjects)
    : m_destroyCreatedObjects(std::move(destroyCreatedObjects))
{}

void Demolisher::destroyCreatedObjects()
{
    if (m_destroyCreatedObjects)
        m_destroyCreatedObjects();
}

bool Demolisher::ping() { return true; }

int SlotTarget::sum(int a0, int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9)
{
    return a0 + a1 + a2 + a3 + a4 + a5 + a6 + a7 + a8 + a9;
}

int SlotTarget::scaled(int value, int factor)
{
    return value * factor;
}

qlonglong SlotTarget::wide(qlonglong value)
{
    return value;
}

QVariant SlotTarget::identity(const QVariant &value)
{
    return value;
}

void SlotTarget::fail()
{
    throw std::runtime_error("slot failed");
}

Unwritable SlotTarget::unwritable()
{
    return {};
}

void SlotTarget::record(int number, const QString &text)
{
    received = {number, text};
}

void SlotTarget::touch()
{
    received.append(QStringLiteral("touched"));
}

qintptr SlotTarget::handle(qintptr value)
{
    received = {QVariant::fromValue(value)};
    return value;
}

int SlotTarget::count(const QList<qint32> &values)
{
    received = {QVariant::fromValue(values)};
    return values.size();
}

void SlotTarget::untagged()
{
}

void SlotTarget::hidden()
{
}

void Listener::onValue(int value)
{
    received.append(value);
}

void Listener::onPair(int number, const QString &text)
{
    received.append(QVariant(QVariantList{number, text}));
}

void Listener::onText(const QString &text)
{
    received.append(text);
}

void Listener::onHandle(qintptr value) { received.append(QVariant::fromValue(value)); }

void Listener::onList(const QList<qint32> &values) { received.append(QVariant::fromValue(values)); }

void Listener::touch()
{
    ++touched;
}

void expectUnwritableWarnings()
{
    for (int warning = 0; warning < 2; ++warning)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Zeto::Testing::Unwritable")));
}

int CountedWrites::writes = 0;

int CountedWrites::registerType() { return Zeto::registerType<CountedWrites>(); }

DataStream &operator<<(DataStream &stream, const CountedWrites &counted)
{
    ++CountedWrites::writes;
    return stream << qint32(counted.value);
}

DataStream &operator>>(DataStream &stream, CountedWrites &counted)
{
    qint32 value = 0;
    stream >> value;
    counted.value = value;
    return stream;
}

} // namespace Testing
} // namespace Zeto
