#ifndef ZETO_QOBJECTFACTORY_H
#define ZETO_QOBJECTFACTORY_H

#include "IQObjectFactory.h"

#include <QtCore/QObject>

#include <functional>
#include <type_traits>
#include <utility>

namespace Zeto {

// Makes objects of class T: with a creator when one is given, otherwise with
// T's constructor from the connection information if it has one, and with
// its default constructor if not.
template <typename T>
class QObjectFactory final : public IQObjectFactory
{
    static_assert(std::is_base_of<QObject, T>::value, "T must be a QObject with Q_OBJECT");

public:
    using Creator = std::function<T *(const QSharedPointer<IConnectionInformation> &)>;

    static constexpr bool IsConstructible = std::is_constructible<T, QSharedPointer<IConnectionInformation>>::value
        || std::is_default_constructible<T>::value;

    QObjectFactory()
        : m_creator(&QObjectFactory::construct)
    {
        static_assert(IsConstructible,
                      "T needs a default constructor or one taking the connection information; or give a creator");
    }

    explicit QObjectFactory(Creator creator)
        : m_creator(std::move(creator))
    {
    }

    const QMetaObject *metaObject() const override { return &T::staticMetaObject; }

    QObject *createQObject(const QSharedPointer<IConnectionInformation> &connectionInformation) override
    {
        return m_creator(connectionInformation);
    }

private:
    static T *construct(const QSharedPointer<IConnectionInformation> &connectionInformation)
    {
        Q_UNUSED(connectionInformation)
        if constexpr (std::is_constructible<T, QSharedPointer<IConnectionInformation>>::value)
            return new T(connectionInformation);
        else
            return new T;
    }

    const Creator m_creator;
};

} // namespace Zeto

#endif // ZETO_QOBJECTFACTORY_H
