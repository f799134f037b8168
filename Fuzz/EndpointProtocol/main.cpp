// Plays a hostile peer against one connection's protocol: a broker, an endpoint
// factory and the endpoints it serves, over a repository with one class whose
// tagged slots take an int, a QString, a QVariantList and an application type.
// The input is read as a script of messages, chosen from small pools of ids,
// signatures and values so that requests meet each other, and each run checks
// that no request was answered more often than it was made.

#include "FuzzSupport.h"

#include <DataStream/StreamHelper.h>
#include <Messenger/Message.h>
#include <Messenger/Messages/MessengerFinishedRequest.h>
#include <Messenger/Messages/MessengerFinishedResponse.h>
#include <QObjectCommunication/Messages/CallSlotRequest.h>
#include <QObjectCommunication/Messages/CallSlotResponse.h>
#include <QObjectCommunication/Messages/ConnectionRequest.h>
#include <QObjectCommunication/Messages/ConnectionResponse.h>
#include <QObjectCommunication/Messages/CreateEndpointRequest.h>
#include <QObjectCommunication/Messages/DisconnectionRequest.h>
#include <QObjectCommunication/Messages/DisconnectionResponse.h>
#include <QObjectCommunication/Messages/InstantiateQObjectRequest.h>
#include <QObjectCommunication/Messages/InstantiateQObjectResponse.h>
#include <QObjectCommunication/Messages/InstantiatedQObjectDestroyedEvent.h>
#include <QObjectCommunication/ProtocolStackAssembly.h>
#include <QObjectCommunication/QObjectEndpoint.h>
#include <QObjectCommunication/QObjectEndpointFactory.h>
#include <RemoteObjects/ConnectionInformationFactory.h>
#include <RemoteObjects/QObjectFactory.h>
#include <RemoteObjects/RemoteTags.h>
#include <WebSocketBasedQVariantCourier/IQVariantCourier.h>
#include <WebSocketBasedQVariantCourier/QVariantReaderWriter.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QPointer>

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace Fuzz {

struct Point
{
    qint32 x = 0;
    qint32 y = 0;
};

Zeto::DataStream &operator<<(Zeto::DataStream &stream, const Point &point)
{
    return stream << point.x << point.y;
}

Zeto::DataStream &operator>>(Zeto::DataStream &stream, Point &point)
{
    return stream >> point.x >> point.y;
}

} // namespace Fuzz

Q_DECLARE_METATYPE(Fuzz::Point)

namespace Fuzz {

class Target : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    REMOTE_SLOT int twice(int value)
    {
        Q_EMIT changed(value);
        return 2 * value;
    }
    REMOTE_SLOT QString echo(const QString &text)
    {
        Q_EMIT texted(text);
        return text;
    }
    REMOTE_SLOT int count(const QVariantList &values) { return values.size(); }
    REMOTE_SLOT Fuzz::Point mirror(const Fuzz::Point &point) { return {point.y, point.x}; }
    REMOTE_SLOT void quit() { deleteLater(); }

Q_SIGNALS:
    REMOTE_SIGNAL void changed(int value);
    REMOTE_SIGNAL void texted(const QString &text);
};

// The peer's side of the connection: what the fuzzer says arrives at once.
class ScriptedCourier : public Zeto::IQVariantCourier
{
    Q_OBJECT

public:
    // Writes what the server answers, as the real courier would.
    bool sendQVariant(const QVariant &qVariant) override
    {
        QByteArray streamForm;
        if (!Zeto::QVariantReaderWriter::forCurrentThread().writeStreamForm(streamForm, qVariant))
            return false;
        sent.append(qVariant);
        return true;
    }
    void receive(const QVariant &qVariant) { Q_EMIT receivedQVariant(qVariant); }

    QVariantList sent;
};

// Reads the script; past its end every read gives zero.
class Script
{
public:
    explicit Script(const QByteArray &bytes)
        : m_bytes(bytes)
    {
    }

    bool atEnd() const { return m_position >= m_bytes.size(); }
    quint8 byte() { return atEnd() ? 0 : quint8(m_bytes.at(m_position++)); }
    int pick(int count) { return byte() % count; }
    QByteArray bytes(int maximum)
    {
        const int size = qMin(pick(maximum + 1), int(m_bytes.size() - m_position));
        const QByteArray taken = m_bytes.mid(m_position, qMax(size, 0));
        m_position += taken.size();
        return taken;
    }

private:
    QByteArray m_bytes;
    int m_position = 0;
};

// Valid ids by number, so that the script can name the same one again.
QByteArray id(int number)
{
    return QByteArray(38, 'a') + QByteArray::number(number % 256, 16).rightJustified(2, '0');
}

QByteArray anyId(Script &script)
{
    switch (script.pick(8)) {
    case 0:
        return script.bytes(44);
    case 1:
        return {};
    default:
        return id(script.pick(6));
    }
}

QByteArray slotSignature(Script &script)
{
    static const QByteArray slotTexts[] = {"1twice(int)",          "1echo(QString)",     "1count(QVariantList)",
                                       "1mirror(Fuzz::Point)", "1quit()",            "1twice(qint32)",
                                       "1echo(const QString&)", "1destroyed()",      "2changed(int)",
                                       "1twice(int*)",          "1count(QList<int>)"};
    if (script.pick(6) == 0)
        return script.bytes(64);
    return slotTexts[script.pick(int(std::size(slotTexts)))];
}

QByteArray signalSignature(Script &script)
{
    static const QByteArray signalTexts[] = {"2changed(int)", "2texted(QString)", "2destroyed()", "1twice(int)"};
    if (script.pick(6) == 0)
        return script.bytes(64);
    return signalTexts[script.pick(int(std::size(signalTexts)))];
}

QVariant value(Script &script)
{
    switch (script.pick(7)) {
    case 0:
        return qint32(script.byte());
    case 1:
        return QString::fromLatin1(script.bytes(8));
    case 2:
        return QVariantList{qint32(script.byte()), QString::fromLatin1(script.bytes(4))};
    case 3:
        return QVariant::fromValue(Point{script.byte(), script.byte()});
    case 4:
        return qlonglong(script.byte());
    case 5: {
        QVariant read;
        ZetoFuzz::decodeWhole(script.bytes(32), read);
        return read;
    }
    default:
        return {};
    }
}

QVector<QVariant> values(Script &script)
{
    QVector<QVariant> arguments(script.pick(12));
    for (QVariant &argument : arguments)
        argument = value(script);
    return arguments;
}

// Requests counted by their id, and the answers the server sent to them.
class Ledger
{
public:
    void asked(int type, const QByteArray &requestId) { ++m_requests[{type, requestId}]; }
    void checkAnswers(const QVariantList &sent) const;

private:
    QHash<QPair<int, QByteArray>, int> m_requests;
};

// The request type an answer belongs to, and the id it answers.
QPair<int, QByteArray> answered(const QVariant &payload)
{
    const int type = payload.userType();
    if (type == qMetaTypeId<Zeto::CallSlotResponse>())
        return {qMetaTypeId<Zeto::CallSlotRequest>(), payload.value<Zeto::CallSlotResponse>().slotCallId()};
    if (type == qMetaTypeId<Zeto::ConnectionResponse>())
        return {qMetaTypeId<Zeto::ConnectionRequest>(),
                payload.value<Zeto::ConnectionResponse>().request().connectionId()};
    if (type == qMetaTypeId<Zeto::DisconnectionResponse>())
        return {qMetaTypeId<Zeto::DisconnectionRequest>(), payload.value<Zeto::DisconnectionResponse>().connectionId()};
    if (type == qMetaTypeId<Zeto::InstantiateQObjectResponse>())
        return {qMetaTypeId<Zeto::InstantiateQObjectRequest>(),
                payload.value<Zeto::InstantiateQObjectResponse>().request().objectId()};
    return {0, {}};
}

void Ledger::checkAnswers(const QVariantList &sent) const
{
    QHash<QPair<int, QByteArray>, int> answers;
    for (const QVariant &message : sent) {
        const QPair<int, QByteArray> key = answered(message.value<Zeto::Message>().data());
        if (key.first != 0 && ++answers[key] > m_requests.value(key))
            ZetoFuzz::fail("a request was answered more often than it was made", key.second);
    }
}

class Connection
{
public:
    Connection();
    ~Connection();

    void play(Script &script);
    void settle();
    // Stops the run if the server answered a request more often than it was made.
    void checkAnswers() const { m_ledger.checkAnswers(m_courier->sent); }

private:
    void sendToEndpoint(Script &script);
    void send(const QByteArray &messengerId, const QVariant &payload) const;

    QSharedPointer<ScriptedCourier> m_courier{new ScriptedCourier};
    QSharedPointer<Zeto::QObjectEndpointFactory> m_factory;
    QList<QSharedPointer<Zeto::QObjectEndpoint>> m_endpoints;
    QPointer<Target> m_target;
    Ledger m_ledger;
};

Zeto::RemoteObjectRepository repository(QPointer<Target> *target)
{
    Zeto::RemoteObjectRepository repository;
    repository.addEntry(QStringLiteral("/target"),
                        QSharedPointer<Zeto::IQObjectFactory>(new Zeto::QObjectFactory<Target>([target](const auto &) {
                            *target = new Target;
                            return target->data();
                        })));
    return repository;
}

Connection::Connection()
    : m_factory(Zeto::assembleProtocolStack(m_courier, repository(&m_target),
                                            QSharedPointer<Zeto::IConnectionInformationFactory>(
                                                new Zeto::ConnectionInformationFactory(Zeto::ConnectionInfo()))))
{
    QObject::connect(m_factory.data(), &Zeto::IQObjectEndpointFactory::newEndpoint,
                     [this](const QSharedPointer<Zeto::QObjectEndpoint> &endpoint) { m_endpoints.append(endpoint); });
}

Connection::~Connection()
{
    m_endpoints.clear();
    settle();
}

void Connection::settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Connection::send(const QByteArray &messengerId, const QVariant &payload) const
{
    m_courier->receive(QVariant::fromValue(Zeto::Message(messengerId, payload)));
}

void Connection::play(Script &script)
{
    while (!script.atEnd()) {
        switch (script.pick(8)) {
        case 0: {
            const Zeto::CreateEndpointRequest request(anyId(script), anyId(script));
            send(Zeto::QObjectEndpointFactory::FactoryMessengerId, QVariant::fromValue(request));
            break;
        }
        case 1:
            send(anyId(script), QVariant::fromValue(Zeto::MessengerFinishedRequest(anyId(script))));
            break;
        case 2:
            settle();
            break;
        case 3:
            if (m_target)
                script.pick(2) ? Q_EMIT m_target->changed(script.byte()) : m_target->deleteLater();
            break;
        case 4:
            if (!m_endpoints.isEmpty())
                m_endpoints.removeAt(script.pick(m_endpoints.size()));
            break;
        default:
            sendToEndpoint(script);
        }
    }
}

void Connection::sendToEndpoint(Script &script)
{
    const QByteArray messengerId = anyId(script);
    QVariant payload;
    switch (script.pick(8)) {
    case 0: {
        const QByteArray path = script.pick(4) ? QByteArray("/target") : script.bytes(12);
        const Zeto::InstantiateQObjectRequest request(script.pick(4) ? QByteArray("Fuzz::Target") : script.bytes(12),
                                                      anyId(script), QUrl(QString::fromLatin1("zeto://h" + path)),
                                                      value(script));
        m_ledger.asked(qMetaTypeId<Zeto::InstantiateQObjectRequest>(), request.objectId());
        payload = QVariant::fromValue(request);
        break;
    }
    case 1:
    case 2: {
        const QByteArray connectionId = script.pick(2) ? anyId(script) : QByteArray();
        const Zeto::CallSlotRequest request(anyId(script), anyId(script), slotSignature(script), values(script),
                                            connectionId);
        m_ledger.asked(qMetaTypeId<Zeto::CallSlotRequest>(), request.slotCallId());
        payload = QVariant::fromValue(request);
        break;
    }
    case 3: {
        const Zeto::ConnectionRequest request(anyId(script), anyId(script), signalSignature(script), anyId(script),
                                              slotSignature(script));
        m_ledger.asked(qMetaTypeId<Zeto::ConnectionRequest>(), request.connectionId());
        payload = QVariant::fromValue(request);
        break;
    }
    case 4: {
        const Zeto::DisconnectionRequest request(anyId(script), Zeto::DisconnectReason(script.pick(4)));
        m_ledger.asked(qMetaTypeId<Zeto::DisconnectionRequest>(), request.connectionId());
        payload = QVariant::fromValue(request);
        break;
    }
    case 5:
        payload = QVariant::fromValue(Zeto::CallSlotResponse(script.pick(2), anyId(script), anyId(script),
                                                             value(script), Zeto::ErrorInfo()));
        break;
    case 6:
        payload = QVariant::fromValue(Zeto::InstantiatedQObjectDestroyedEvent(anyId(script)));
        break;
    default:
        payload = value(script);
    }
    send(messengerId, payload);
}

} // namespace Fuzz

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    ZetoFuzz::initialise();
    static QCoreApplication application(*argc, *argv);
    Zeto::registerType<Fuzz::Point>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Fuzz::Script script(QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)));
    Fuzz::Connection connection;
    connection.play(script);
    connection.settle();
    connection.checkAnswers();
    return 0;
}

#include "main.moc"
