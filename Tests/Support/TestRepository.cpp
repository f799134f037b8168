#include "TestRepository.h"

#include "RemoteObjects/ConnectionInformationFactory.h"
#include "RemoteObjects/QObjectFactory.h"
#include "TestObjects.h"

#include <stdexcept>

namespace Zeto {
namespace Testing {

namespace {

class PickyConnectionInformationFactory : public ConnectionInformationFactory
{
public:
    using ConnectionInformationFactory::ConnectionInformationFactory;

    QSharedPointer<IConnectionInformation> create(const QVariant &argument) override
    {
        if (argument == QStringLiteral("throw"))
            throw std::invalid_argument("refused");
        return ConnectionInformationFactory::create(argument);
    }
};

template <typename T, typename Creator>
QSharedPointer<IQObjectFactory> factory(Creator creator)
{
    return QSharedPointer<IQObjectFactory>(new QObjectFactory<T>(creator));
}

} // namespace

QList<TestClass> testClasses(const std::function<void(QObject *)> &onCreated,
                             const std::function<void()> &destroyCreatedObjects)
{
    return {
        {QStringLiteral("/calc"), factory<Calculator>([onCreated](const auto &information) {
             auto *object = new Calculator(information);
             onCreated(object);
             return object;
         })},
        {QStringLiteral("/target"), factory<SlotTarget>([onCreated](const auto &) {
             auto *object = new SlotTarget;
             onCreated(object);
             return object;
         })},
        {QStringLiteral("/demolisher"),
         factory<Demolisher>([destroyCreatedObjects](const auto &) { return new Demolisher(destroyCreatedObjects); })},
        {QStringLiteral("/null"), factory<Calculator>([](const auto &) -> Calculator * { return nullptr; })},
        {QStringLiteral("/throwing"),
         factory<Calculator>([](const auto &) -> Calculator * { throw std::runtime_error("refused"); })},
    };
}

RemoteObjectRepository testRepository(const std::function<void(QObject *)> &onCreated)
{
    RemoteObjectRepository repository;
    for (const TestClass &testClass : testClasses(onCreated))
        repository.addEntry(testClass.path, testClass.factory);
    return repository;
}

QSharedPointer<IConnectionInformationFactory> pickyConnectionInformationFactory(const ConnectionInfo &connectionInfo)
{
    return QSharedPointer<IConnectionInformationFactory>(new PickyConnectionInformationFactory(connectionInfo));
}

} // namespace Testing
} // namespace Zeto
