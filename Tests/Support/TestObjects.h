#ifndef ZETO_TESTOBJECTS_H
#define ZETO_TESTOBJECTS_H

#include "DataStream/DataStream.h"
#include "RemoteObjects/IConnectionInformation.h"
#include "RemoteObjects/RemoteTags.h"

#include <QtCore/QObject>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include <functional>

namespace Zeto {
namespace Testing {

// A class that peers may instantiate: tagged slots and a tagged signal, and
// an untagged slot that they must not reach.
class Calculator : public QObject
{
    Q_OBJECT

public:
    Calculator() = default;
    explicit Calculator(const QSharedPointer<IConnectionInformation> &connectionInformation);

    QSharedPointer<IConnectionInformation> connectionInformation() const;
    int value() const;

public Q_SLOTS:
    REMOTE_SLOT int add(int first, int second);
    REMOTE_SLOT QString echo(const QString &text);
    REMOTE_SLOT void setValue(int value);
    void reset();

Q_SIGNALS:
    REMOTE_SIGNAL void valueChanged(int value);

private:
    QSharedPointer<IConnectionInformation> m_connectionInformation;
    int m_value = 0;
};

// Makes, when a peer asks, the server let go of the objects it made for its
// clients, as a server application may while calls to them are on their
// way. They go inside the call, so the server answers what was sent after it
// as it answers calls to objects that are gone.
class Demolisher : public QObject
{
    Q_OBJECT

public:
    explicit Demolisher(std::function<void()> destroyCreatedObjects);

public Q_SLOTS:
    REMOTE_SLOT void destroyCreatedObjects();
    // Its answer tells a peer that it has heard what the server sent before.
    REMOTE_SLOT bool ping();

private:
    const std::function<void()> m_destroyCreatedObjects;
};

// A type that Qt knows but the stream cannot write.
struct Unwritable
{
    int value = 0;
};

// A type whose writes to the stream are counted, once registered.
struct CountedWrites
{
    static int registerType();
    // Writes of any value of this type since the count was last set.
    static int writes;

    int value = 0;
};

// The stream's two warnings when a value holds an Unwritable.
void expectUnwritableWarnings();

DataStream &operator<<(DataStream &stream, const CountedWrites &counted);
DataStream &operator>>(DataStream &stream, CountedWrites &counted);

// The edge cases of calls and links, as a class created for a peer.
class SlotTarget : public Calculator
{
    Q_OBJECT

public:
    // Arguments of the last call of record(), or of sum().
    QVariantList received;

public Q_SLOTS:
    REMOTE_SLOT int sum(int a0, int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9);
    REMOTE_SLOT int scaled(int value, int factor = 2);
    REMOTE_SLOT qlonglong wide(qlonglong value);
    REMOTE_SLOT QVariant identity(const QVariant &value);
    REMOTE_SLOT void fail();
    REMOTE_SLOT Zeto::Testing::Unwritable unwritable();
    REMOTE_SLOT void record(int number, const QString &text);
    REMOTE_SLOT void touch();
    // Parameters written with Qt's typedefs, as moc records them.
    REMOTE_SLOT qintptr handle(qintptr value);
    REMOTE_SLOT int count(const QList<qint32> &values);
    void untagged();

protected Q_SLOTS:
    REMOTE_SLOT void hidden();

Q_SIGNALS:
    REMOTE_SIGNAL void nothing();
    REMOTE_SIGNAL void pair(int number, const QString &text);
    REMOTE_SIGNAL void handleChanged(qintptr value);
    REMOTE_SIGNAL void listed(const QList<qint32> &values);
    REMOTE_SIGNAL void eleven(int a0, int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10);
};

// An application's own object: any public signal and slot can be linked.
class Listener : public QObject
{
    Q_OBJECT

public:
    QVariantList received;
    int touched = 0;

public Q_SLOTS:
    void onValue(int value);
    void onPair(int number, const QString &text);
    void onText(const QString &text);
    void onHandle(qintptr value);
    void onList(const QList<qint32> &values);
    void touch();

Q_SIGNALS:
    void valueSent(int value);
    void pairSent(int number, const QString &text);
    void handleSent(qintptr value);
    void listSent(const QList<qint32> &values);
};

// Makes QList<qint32>, a template spelt with a typedef, a type that travels.
void registerIntegerList();

} // namespace Testing
} // namespace Zeto

Q_DECLARE_METATYPE(Zeto::Testing::Unwritable)
Q_DECLARE_METATYPE(Zeto::Testing::CountedWrites)

#endif // ZETO_TESTOBJECTS_H
