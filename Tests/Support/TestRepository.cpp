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

RemoteObjectRepository testRepository(const std::function<void(QObject *)> &onCreated)
{
    RemoteObjectRepository repository;
    repository.addEntry(QStringLiteral("/calc"), factory<Calculator>([onCreated](const auto &information) {
                            auto *object = new Calculator(information);
                            onCreated(object);
                            return object;
                        }));
    repository.addEntry(QStringLiteral("/target"), factory<SlotTarget>([onCreated](const auto &) {
                            auto *object = new SlotTarget;
                            onCreated(object);
                            return object;
                        }));
    repository.addEntry(QStringLiteral("/null"),
                        factory<Calculator>([](const auto &) -> Calculator * { return nullptr; }));
    repository.addEntry(QStringLiteral("/throwing"),
                        factory<Calculator>([](const auto &) -> Calculator * { throw std::runtime_error("refused"); }));
    return repository;
}

QSharedPointer<IConnectionInformationFactory> pickyConnectionInformationFactory(const ConnectionInfo &connectionInfo)
{
    return QSharedPointer<IConnectionInformationFactory>(new PickyConnectionInformationFactory(connectionInfo));
}

} // namespace Testing
} // namespace Zeto
