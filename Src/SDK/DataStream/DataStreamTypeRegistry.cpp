// The type registry: the types every stream can carry, and the checks on
// argument type names.

#include "DataStream_p.h"
#include "IZetoStreamHelper.h"
#include "StreamHelper.h"

#include "../Messenger/Message.h"
#include "../Messenger/Messages/MessengerFinishedRequest.h"
#include "../Messenger/Messages/MessengerFinishedResponse.h"
#include "../QObjectCommunication/Messages/CallSlotRequest.h"
#include "../QObjectCommunication/Messages/CallSlotResponse.h"
#include "../QObjectCommunication/Messages/ConnectedSignalEmittedEvent.h"
#include "../QObjectCommunication/Messages/ConnectionRequest.h"
#include "../QObjectCommunication/Messages/ConnectionResponse.h"
#include "../QObjectCommunication/Messages/CreateEndpointRequest.h"
#include "../QObjectCommunication/Messages/CreateEndpointResponse.h"
#include "../QObjectCommunication/Messages/DisconnectionRequest.h"
#include "../QObjectCommunication/Messages/DisconnectionResponse.h"
#include "../QObjectCommunication/Messages/InstantiateQObjectRequest.h"
#include "../QObjectCommunication/Messages/InstantiateQObjectResponse.h"
#include "../QObjectCommunication/Messages/InstantiatedQObjectDestroyedEvent.h"

#include <QtCore/QMutex>
#include <QtCore/QReadLocker>

namespace Zeto {

using namespace StreamDetail;

namespace {

QByteArray normalizedTypeName(const QByteArray &typeName)
{
    return QMetaObject::normalizedType(typeName.constData()).simplified();
}

bool isPointerTypeName(const QByteArray &normalized)
{
    return normalized.endsWith('*') || normalized.endsWith("*&");
}

} // namespace

void StreamDetail::registerStandardStreamHelpers()
{
    static QMutex mutex;
    static bool pending = true;
    QMutexLocker locker(&mutex);
    if (!pending)
        return;
    pending = false;
    registerType<qfloat16>();
    registerType<QByteArrayList>();
    registerType<QStringList>();
    registerType<QVariantList>();
    registerType<QVariantMap>();
    registerType<QVariantHash>();
    registerType<Message>();
    registerType<MessengerFinishedRequest>();
    registerType<MessengerFinishedResponse>();
    registerType<CallSlotRequest>();
    registerType<CallSlotResponse>();
    registerType<ConnectedSignalEmittedEvent>();
    registerType<ConnectionRequest>();
    registerType<ConnectionResponse>();
    registerType<CreateEndpointRequest>();
    registerType<CreateEndpointResponse>();
    registerType<DisconnectionRequest>();
    registerType<DisconnectionResponse>();
    registerType<InstantiatedQObjectDestroyedEvent>();
    registerType<InstantiateQObjectRequest>();
    registerType<InstantiateQObjectResponse>();
}

void registerStandardTypes()
{
    static QMutex mutex;
    static bool pending = true;
    QMutexLocker locker(&mutex);
    if (!pending)
        return;
    pending = false;
    qRegisterMetaType<std::string>("std::string");
    qRegisterMetaType<std::u16string>("std::u16string");
    qRegisterMetaType<std::u32string>("std::u32string");
}

QByteArray integralTypename(const QByteArray &typeName)
{
    QByteArray type = normalizedTypeName(typeName);
    if (type.startsWith("const "))
        type.remove(0, 6);
    if (type.endsWith("**") || type.endsWith("*&"))
        type.chop(2);
    else if (type.endsWith('*') || type.endsWith('&'))
        type.chop(1);
    return type.simplified();
}

bool isArgumentTypeValid(const QByteArray &typeName)
{
    return !isPointerTypeName(normalizedTypeName(typeName));
}

bool isTypeRegistered(const QByteArray &typeName)
{
    if (!isArgumentTypeValid(typeName))
        return false;
    const int typeId = QMetaType::type(integralTypename(typeName));
    if (typeId < 1)
        return false;
    QReadLocker locker(&IZetoStreamHelper::mainReadWriteLock());
    return IZetoStreamHelper::registeredStreamHelpers().contains(typeId) || isNativeTypeId(typeId);
}

} // namespace Zeto
