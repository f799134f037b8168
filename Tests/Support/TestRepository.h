#ifndef ZETO_TESTREPOSITORY_H
#define ZETO_TESTREPOSITORY_H

#include "RemoteObjects/IConnectionInformationFactory.h"
#include "RemoteObjects/RemoteObjectRepository.h"

#include <QtCore/QList>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>

#include <functional>

class QObject;

namespace Zeto {

class ConnectionInfo;

namespace Testing {

struct TestClass
{
    QString path;
    QSharedPointer<IQObjectFactory> factory;
};

// The test classes as a server offers them: the calculator at /calc and the
// slot target at /target; under /null and /throwing the factories fail in
// both ways. Every object made is handed to onCreated, except the demolisher
// at /demolisher, which calls destroyCreatedObjects when asked.
QList<TestClass> testClasses(const std::function<void(QObject *)> &onCreated,
                             const std::function<void()> &destroyCreatedObjects = {});
RemoteObjectRepository testRepository(const std::function<void(QObject *)> &onCreated);

// Describes the connection to every object, but throws for the argument
// "throw", as an application's factory might refuse one.
QSharedPointer<IConnectionInformationFactory> pickyConnectionInformationFactory(const ConnectionInfo &connectionInfo);

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTREPOSITORY_H
