#include "EndpointPeers.h"

#include "Messenger/Message.h"
#include "TestRepository.h"

#include <QtCore/QCoreApplication>

namespace Zeto {
namespace Testing {

const QByteArray CalculatorClass("Zeto::Testing::Calculator");
const QByteArray SlotTargetClass("Zeto::Testing::SlotTarget");
const QUrl CalculatorUrl(QStringLiteral("zeto://127.0.0.1:4000/calc"));

QUrl urlWithPath(const QString &path)
{
    QUrl url = CalculatorUrl;
    url.setPath(path);
    return url;
}

EndpointPeers::EndpointPeers()
    : server(couriers.second(), testRepository([this](QObject *object) { created = object; }),
             pickyConnectionInformationFactory(ConnectionInfo())),
      endpoints(pairEndpoints(client, server))
{
}

void EndpointPeers::injectToRequester(const QVariant &payload)
{
    couriers.first()->injectReceivedQVariant(QVariant::fromValue(Message(endpoints.requester->messengerId(), payload)));
}

void EndpointPeers::injectToServer(const QVariant &payload)
{
    couriers.second()->injectReceivedQVariant(QVariant::fromValue(Message(endpoints.server->messengerId(), payload)));
}

void EndpointPeers::dropServerEndpoint()
{
    endpoints.server.reset();
    server.releaseServedEndpoints();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    couriers.deliverAll();
}

QByteArray EndpointPeers::instantiate(const QByteArray &className, const QUrl &url, const QVariant &argument)
{
    const QByteArray objectId = endpoints.requester->instantiateQObject(className, url, argument);
    couriers.deliverAll();
    return objectId;
}

QByteArray outcome(const char *signal, const QByteArray &id, const QByteArray &detail, bool flag)
{
    return QByteArray(signal) + ' ' + id.left(8) + ' ' + detail + ' ' + (flag ? "true" : "false");
}

QByteArray code(ConnectionError error)
{
    return QByteArray::number(error);
}

QByteArray describe(const QVariant &value)
{
    if (!value.isValid())
        return "invalid";
    return QByteArray(value.typeName()) + ':' + value.toString().toUtf8();
}

EndpointOutcomes::EndpointOutcomes(QObjectEndpoint *endpoint)
{
    const auto code = [](const ErrorInfo &errorInfo) { return QByteArray::number(errorInfo.error.connectionError); };
    QObject::connect(endpoint, &QObjectEndpoint::instantiatedQObject, &m_context,
                     [this](const QByteArray &id, bool isRequester) { add("instantiated", id, {}, isRequester); });
    QObject::connect(endpoint, &QObjectEndpoint::qObjectInstantiationFailed, &m_context,
                     [this, code](const QByteArray &id, const ErrorInfo &errorInfo, bool isRequester) {
                         add("failed", id, code(errorInfo), isRequester);
                     });
    QObject::connect(endpoint, &QObjectEndpoint::instantiatedQObjectDestroyed, &m_context,
                     [this](const QByteArray &id, bool isLocal) { add("destroyed", id, {}, isLocal); });
    QObject::connect(endpoint, &QObjectEndpoint::slotCalled, &m_context,
                     [this](const QByteArray &id, const QVariant &result, bool isRequester) {
                         add("called", id, describe(result), isRequester);
                     });
    QObject::connect(endpoint, &QObjectEndpoint::slotCallFailed, &m_context,
                     [this, code](const QByteArray &id, const ErrorInfo &errorInfo, bool isRequester) {
                         add("callFailed", id, code(errorInfo), isRequester);
                     });
    QObject::connect(endpoint, &QObjectEndpoint::connectedToRemoteObject, &m_context,
                     [this](const QByteArray &id, bool isRequester) { add("linked", id, {}, isRequester); });
    QObject::connect(endpoint, &QObjectEndpoint::connectionToRemoteObjectFailed, &m_context,
                     [this, code](const QByteArray &id, const ErrorInfo &errorInfo, bool isRequester) {
                         add("linkFailed", id, code(errorInfo), isRequester);
                     });
    QObject::connect(endpoint, &QObjectEndpoint::disconnectedFromRemoteObject, &m_context,
                     [this](const QByteArray &id, bool isRequester) { add("unlinked", id, {}, isRequester); });
    QObject::connect(endpoint, &QObjectEndpoint::error, &m_context,
                     [this, code](const ErrorInfo &errorInfo) { add("error", {}, code(errorInfo), false); });
}

void EndpointOutcomes::add(const char *signal, const QByteArray &id, const QByteArray &detail, bool flag)
{
    log.append(outcome(signal, id, detail, flag));
}

} // namespace Testing
} // namespace Zeto
