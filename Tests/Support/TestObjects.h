#ifndef ZETO_TESTOBJECTS_H
#define ZETO_TESTOBJECTS_H

#include "RemoteObjects/IConnectionInformation.h"
#include "RemoteObjects/RemoteTags.h"

#include <QtCore/QObject>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>

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

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTOBJECTS_H
