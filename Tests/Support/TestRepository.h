#ifndef ZETO_TESTREPOSITORY_H
#define ZETO_TESTREPOSITORY_H

#include "RemoteObjects/IConnectionInformationFactory.h"
#include "RemoteObjects/RemoteObjectRepository.h"

#include <QtCore/QSharedPointer>

#include <functional>

class QObject;

namespace Zeto {

class ConnectionInfo;

namespace Testing {

// The test classes as a server offers them: the calculator at /calc and the
// slot target at /target; under /null and /throwing the factories fail in
// both ways. Every object made is handed to onCreated.
RemoteObjectRepository testRepository(const std::function<void(QObject *)> &onCreated);

// Describes the connection to every object, but throws for the argument
// "throw", as an application's factory might refuse one.
QSharedPointer<IConnectionInformationFactory> pickyConnectionInformationFactory(const ConnectionInfo &connectionInfo);

} // namespace Testing
} // namespace Zeto

#endif // ZETO_TESTREPOSITORY_H
