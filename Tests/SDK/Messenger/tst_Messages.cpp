#include "DataStream/DataStream.h"
#include "DataStream/IZetoStreamHelper.h"
#include "DataStream/StreamHelper.h"
#include "ErrorHandler/ErrorHandler.h"
#include "Messenger/Message.h"
#include "Messenger/Messages/MessengerFinishedRequest.h"
#include "Messenger/Messages/MessengerFinishedResponse.h"
#include "QObjectCommunication/Messages/CallSlotRequest.h"
#include "QObjectCommunication/Messages/CallSlotResponse.h"
#include "QObjectCommunication/Messages/ConnectedSignalEmittedEvent.h"
#include "QObjectCommunication/Messages/ConnectionRequest.h"
#include "QObjectCommunication/Messages/ConnectionResponse.h"
#include "QObjectCommunication/Messages/CreateEndpointRequest.h"
#include "QObjectCommunication/Messages/CreateEndpointResponse.h"
#include "QObjectCommunication/Messages/DisconnectionRequest.h"
#include "QObjectCommunication/Messages/DisconnectionResponse.h"
#include "QObjectCommunication/Messages/InstantiateQObjectRequest.h"
#include "QObjectCommunication/Messages/InstantiateQObjectResponse.h"
#include "QObjectCommunication/Messages/InstantiatedQObjectDestroyedEvent.h"
#include "ConcurrentRun.h"
#include "FreshProcess.h"
#include "MessageLog.h"
#include "StreamForm.h"

#include <QtCore/QBuffer>
#include <QtCore/QReadLocker>
#include <QtCore/QUrl>
#include <QtCore/QtEndian>
#include <QtTest/QtTest>

#include <iterator>
#include <vector>

using namespace Zeto;
using Zeto::Testing::bytesWrittenBy;
using Zeto::Testing::MessageLog;
using Zeto::Testing::runTogether;
using Zeto::Testing::streamForm;

namespace {

// In the order in which the first stream registers them.
const char *const MessageTypeNames[] = {
    "Zeto::Message",
    "Zeto::MessengerFinishedRequest",
    "Zeto::MessengerFinishedResponse",
    "Zeto::CallSlotRequest",
    "Zeto::CallSlotResponse",
    "Zeto::ConnectedSignalEmittedEvent",
    "Zeto::ConnectionRequest",
    "Zeto::ConnectionResponse",
    "Zeto::CreateEndpointRequest",
    "Zeto::CreateEndpointResponse",
    "Zeto::DisconnectionRequest",
    "Zeto::DisconnectionResponse",
    "Zeto::InstantiatedQObjectDestroyedEvent",
    "Zeto::InstantiateQObjectRequest",
    "Zeto::InstantiateQObjectResponse",
};

QByteArray id40(char fill)
{
    return QByteArray(40, fill);
}

// Expected encodings, built here from first principles rather than through
// the stream, so that a fault shared by writer and reader still shows.
template <typename Integer>
QByteArray bigEndian(Integer value)
{
    QByteArray bytes(int(sizeof value), Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray byteArrayForm(const QByteArray &value)
{
    return value.isNull() ? bigEndian<qint64>(-1) : bigEndian<qint64>(value.size()) + value;
}

QByteArray flag(bool value)
{
    return QByteArray(1, value ? '\1' : '\0');
}

QByteArray intVariantForm(qint32 value)
{
    return bigEndian<quint32>(QMetaType::Int) + flag(true) + flag(false) + bigEndian(value);
}

QByteArray invalidVariantForm()
{
    return bigEndian<quint32>(0) + flag(false) + flag(true);
}

QByteArray customVariantHeader(const QByteArray &typeName)
{
    return bigEndian<quint32>(0xFFFFFFFFu) + flag(true) + flag(false) + byteArrayForm(typeName);
}

QByteArray errorInfoForm(qint32 type, qint32 code)
{
    return bigEndian(type) + bigEndian(code);
}

QByteArray argumentsForm(const QVector<qint32> &values)
{
    QByteArray form = bigEndian<qint64>(values.size());
    for (qint32 value : values)
        form += intVariantForm(value);
    return form;
}

QVector<QVariant> intArguments(const QVector<qint32> &values)
{
    QVector<QVariant> arguments;
    for (qint32 value : values)
        arguments.append(value);
    return arguments;
}

// The message's own form, without the QVariant record around it.
QByteArray formOf(const QVariant &message)
{
    return bytesWrittenBy([&message](DataStream &stream) {
        if (!saveMetaType(stream, message.userType(), message.constData()))
            stream.setValid(false);
    });
}

// True when the stream stays good and ends exactly where the value does.
template <typename T>
bool readInto(const QByteArray &form, T &value)
{
    QBuffer buffer;
    buffer.setData(form);
    buffer.open(QIODevice::ReadOnly);
    DataStream stream(&buffer);
    stream >> value;
    return stream.isValid() && stream.atEnd();
}

QVariant readRecord(const QByteArray &bytes, bool *complete)
{
    QVariant value;
    *complete = readInto(bytes, value);
    return value;
}

// Builds the first T of this process, if no T was built before.
template <typename T>
int idOfBuilt()
{
    const T message;
    return QVariant::fromValue(message).userType();
}

int registeredHelperCount()
{
    QReadLocker locker(&IZetoStreamHelper::mainReadWriteLock());
    return IZetoStreamHelper::registeredStreamHelpers().size();
}

QSharedPointer<IZetoStreamHelper> helperOf(int typeId)
{
    QReadLocker locker(&IZetoStreamHelper::mainReadWriteLock());
    return IZetoStreamHelper::registeredStreamHelpers().value(typeId);
}

} // namespace

class tst_Messages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstConstructionsOnSeveralThreadsRegisterOnce();
    void firstStreamRegistersEveryMessageTypeInOrder();

    void metaTypeTraits_data();
    void metaTypeTraits();
    void streamForms_data();
    void streamForms();
    void truncatedRecordsFail_data();
    void truncatedRecordsFail();
    void readingIntoACopyLeavesTheOriginal_data();
    void readingIntoACopyLeavesTheOriginal();
    void sameFormDifferentType_data();
    void sameFormDifferentType();
    void defaultMessageReadsBackEmpty();
    void messageCarriesCallSlotRequest();
    void nestedMessagesAreBounded_data();
    void nestedMessagesAreBounded();
    void responseGivesBackItsRequest();
    void argumentCountBeyondInputFails();
    void disconnectReasonKeepsWhatThePeerSent_data();
    void disconnectReasonKeepsWhatThePeerSent();
    void variantCastsChecked();
    void equalityComparesEveryField_data();
    void equalityComparesEveryField();
    void repeatedFieldsShareTheirBytes_data();
    void repeatedFieldsShareTheirBytes();
};

void tst_Messages::firstConstructionsOnSeveralThreadsRegisterOnce()
{
    ZETO_TEST_IN_FRESH_PROCESS();
    const char *const name = "Zeto::InstantiatedQObjectDestroyedEvent";
    QCOMPARE(QMetaType::type(name), 0);
    const int helpersBefore = registeredHelperCount();

    std::vector<int> seenIds(8, 0);
    QVERIFY(runTogether(int(seenIds.size()), [&seenIds](int i) {
        const InstantiatedQObjectDestroyedEvent event(id40('a'));
        seenIds[i] = QVariant::fromValue(event).userType();
    }));

    const int id = QMetaType::type(name);
    QVERIFY(id >= QMetaType::User);
    for (int seen : seenIds)
        QCOMPARE(seen, id);
    QCOMPARE(registeredHelperCount(), helpersBefore + 1);

    // The stream's own registration later leaves the helper in place.
    const QSharedPointer<IZetoStreamHelper> helper = helperOf(id);
    QVERIFY(helper);
    QBuffer buffer;
    DataStream stream(&buffer);
    QCOMPARE(helperOf(id), helper);
    QCOMPARE(QMetaType::type(name), id);
}

void tst_Messages::firstStreamRegistersEveryMessageTypeInOrder()
{
    ZETO_TEST_IN_FRESH_PROCESS();
    for (const char *name : MessageTypeNames)
        QVERIFY2(QMetaType::type(name) == 0, name);

    QBuffer buffer;
    DataStream stream(&buffer);
    int previousId = 0;
    for (const char *name : MessageTypeNames) {
        const int id = QMetaType::type(name);
        QVERIFY2(helperOf(id), name);
        QVERIFY2(id > previousId, name);
        previousId = id;
    }
}

void tst_Messages::metaTypeTraits_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("id");

    // Built here, so that each row holds even when it runs alone.
    const int ids[] = {
        idOfBuilt<Message>(),
        idOfBuilt<MessengerFinishedRequest>(),
        idOfBuilt<MessengerFinishedResponse>(),
        idOfBuilt<CallSlotRequest>(),
        idOfBuilt<CallSlotResponse>(),
        idOfBuilt<ConnectedSignalEmittedEvent>(),
        idOfBuilt<ConnectionRequest>(),
        idOfBuilt<ConnectionResponse>(),
        idOfBuilt<CreateEndpointRequest>(),
        idOfBuilt<CreateEndpointResponse>(),
        idOfBuilt<DisconnectionRequest>(),
        idOfBuilt<DisconnectionResponse>(),
        idOfBuilt<InstantiatedQObjectDestroyedEvent>(),
        idOfBuilt<InstantiateQObjectRequest>(),
        idOfBuilt<InstantiateQObjectResponse>(),
    };
    static_assert(std::size(ids) == std::size(MessageTypeNames), "one id per name");
    for (size_t i = 0; i < std::size(ids); ++i)
        QTest::newRow(MessageTypeNames[i]) << QByteArray(MessageTypeNames[i]) << ids[i];
}

void tst_Messages::metaTypeTraits()
{
    QFETCH(QByteArray, name);
    QFETCH(int, id);
    QVERIFY(id >= QMetaType::User);
    QCOMPARE(QMetaType::type(name), id);
    QCOMPARE(QByteArray(QMetaType::typeName(id)), name);
    QCOMPARE(QMetaType::sizeOf(id), int(sizeof(void *)));
    const QMetaType::TypeFlags expected =
        QMetaType::NeedsConstruction | QMetaType::NeedsDestruction | QMetaType::WasDeclaredAsMetaType;
    QCOMPARE(int(QMetaType::typeFlags(id)), int(expected));
    QVERIFY(!QMetaType::metaObjectForType(id));
    QVERIFY(isTypeRegistered(name));
}

void tst_Messages::streamForms_data()
{
    QTest::addColumn<QVariant>("message");
    QTest::addColumn<QByteArray>("form");

    const QByteArray object = id40('o');
    const QByteArray call = id40('c');
    const QByteArray link = id40('l');
    const QByteArray sender = id40('s');
    const QByteArray receiver = id40('r');
    const QByteArray slot = "1onValue(int,int)";
    const QByteArray signal = "2valueChanged(int,int)";
    const QUrl url(QStringLiteral("zeto://example.org:4711"));
    const ErrorInfo slotNotFound = makeErrorInfo(RemoteSlotNotFound);
    const QByteArray slotNotFoundForm = errorInfoForm(ConnectionErrorType, RemoteSlotNotFound);
    const QByteArray nullId = byteArrayForm(QByteArray());

    const CallSlotRequest callSlot(object, call, slot, intArguments({3, -4}), link);
    const QByteArray callSlotForm = byteArrayForm(object) + byteArrayForm(call) + byteArrayForm(slot)
        + argumentsForm({3, -4}) + byteArrayForm(link);
    const ConnectionRequest connection(link, sender, signal, receiver, slot);
    const QByteArray linkForm = byteArrayForm(link) + byteArrayForm(sender) + byteArrayForm(signal)
        + byteArrayForm(receiver) + byteArrayForm(slot);
    const InstantiateQObjectRequest instantiate("Counter", object, url, 7);
    const QByteArray instantiateForm = byteArrayForm("Counter") + byteArrayForm(object)
        + byteArrayForm("zeto://example.org:4711") + intVariantForm(7);
    const CreateEndpointRequest createEndpoint(id40('e'), id40('m'));
    const QByteArray createEndpointForm = byteArrayForm(id40('e')) + byteArrayForm(id40('m'));

    QTest::newRow("Message with CallSlotRequest")
        << QVariant::fromValue(Message(id40('m'), QVariant::fromValue(callSlot)))
        << byteArrayForm(id40('m')) + customVariantHeader("Zeto::CallSlotRequest") + callSlotForm;
    QTest::newRow("MessengerFinishedRequest")
        << QVariant::fromValue(MessengerFinishedRequest(id40('m')))
        << QByteArray::fromHex("0000000000000028") + id40('m');
    QTest::newRow("MessengerFinishedResponse")
        << QVariant::fromValue(MessengerFinishedResponse(id40('m')))
        << QByteArray::fromHex("0000000000000028") + id40('m');
    QTest::newRow("CallSlotRequest")
        << QVariant::fromValue(callSlot) << callSlotForm;
    QTest::newRow("CallSlotRequest without arguments and link")
        << QVariant::fromValue(CallSlotRequest(object, call, slot, {}, QByteArray()))
        << byteArrayForm(object) + byteArrayForm(call) + byteArrayForm(slot) + argumentsForm({}) + nullId;
    QTest::newRow("CallSlotResponse")
        << QVariant::fromValue(CallSlotResponse(true, object, call, 12, slotNotFound))
        << flag(true) + byteArrayForm(object) + byteArrayForm(call) + intVariantForm(12) + slotNotFoundForm;
    QTest::newRow("ConnectedSignalEmittedEvent")
        << QVariant::fromValue(ConnectedSignalEmittedEvent(link, sender, signal, receiver, slot, intArguments({9})))
        << linkForm + argumentsForm({9});
    QTest::newRow("ConnectionRequest") << QVariant::fromValue(connection) << linkForm;
    QTest::newRow("ConnectionResponse")
        << QVariant::fromValue(ConnectionResponse(true, slotNotFound, connection))
        << flag(true) + slotNotFoundForm + linkForm;
    QTest::newRow("default ConnectionResponse")
        << QVariant::fromValue(ConnectionResponse())
        << flag(false) + errorInfoForm(SocketErrorType, QAbstractSocket::UnknownSocketError) + nullId + nullId
            + nullId + nullId + nullId;
    QTest::newRow("CreateEndpointRequest") << QVariant::fromValue(createEndpoint) << createEndpointForm;
    QTest::newRow("CreateEndpointResponse")
        << QVariant::fromValue(CreateEndpointResponse(true, slotNotFound, createEndpoint))
        << flag(true) + slotNotFoundForm + createEndpointForm;
    QTest::newRow("DisconnectionRequest, 50 bytes")
        << QVariant::fromValue(DisconnectionRequest(link, ObjectDestroyed))
        << QByteArray::fromHex("0000000000000028") + link + QByteArray::fromHex("0001");
    QTest::newRow("DisconnectionRequest, LinkFailed")
        << QVariant::fromValue(DisconnectionRequest(link, LinkFailed))
        << byteArrayForm(link) + QByteArray::fromHex("0002");
    QTest::newRow("default DisconnectionRequest")
        << QVariant::fromValue(DisconnectionRequest()) << nullId + QByteArray::fromHex("0000");
    QTest::newRow("DisconnectionResponse")
        << QVariant::fromValue(DisconnectionResponse(link)) << byteArrayForm(link);
    QTest::newRow("InstantiatedQObjectDestroyedEvent")
        << QVariant::fromValue(InstantiatedQObjectDestroyedEvent(object)) << byteArrayForm(object);
    QTest::newRow("InstantiateQObjectRequest") << QVariant::fromValue(instantiate) << instantiateForm;
    QTest::newRow("InstantiateQObjectResponse")
        << QVariant::fromValue(InstantiateQObjectResponse(false, slotNotFound, instantiate))
        << flag(false) + slotNotFoundForm + instantiateForm;
}

void tst_Messages::streamForms()
{
    QFETCH(QVariant, message);
    QFETCH(QByteArray, form);

    QCOMPARE(formOf(message), form);
    const QByteArray record = streamForm(message);
    QCOMPARE(record, customVariantHeader(QMetaType::typeName(message.userType())) + form);

    bool complete = false;
    const QVariant readBack = readRecord(record, &complete);
    QVERIFY(complete);
    QCOMPARE(readBack.userType(), message.userType());
    QCOMPARE(formOf(readBack), form);
}

void tst_Messages::truncatedRecordsFail_data()
{
    streamForms_data();
}

void tst_Messages::truncatedRecordsFail()
{
    QFETCH(QVariant, message);
    const QByteArray record = streamForm(message);
    // Truncated records warn at every prefix; those warnings are expected.
    const MessageLog discarded;
    for (int length = 0; length < record.size(); ++length) {
        bool complete = true;
        readRecord(record.left(length), &complete);
        QVERIFY2(!complete, qPrintable(QStringLiteral("prefix of %1 bytes").arg(length)));
    }
}

void tst_Messages::readingIntoACopyLeavesTheOriginal_data()
{
    streamForms_data();
}

void tst_Messages::readingIntoACopyLeavesTheOriginal()
{
    QFETCH(QVariant, message);
    QFETCH(QByteArray, form);

    // The copy shares the original's data until the read writes into it.
    const QVariant original(message.userType(), nullptr);
    const QByteArray originalForm = formOf(original);
    QVariant copy = original;
    QBuffer buffer;
    buffer.setData(form);
    buffer.open(QIODevice::ReadOnly);
    DataStream stream(&buffer);
    QVERIFY(loadMetaType(stream, copy.userType(), copy.data()));

    QCOMPARE(formOf(copy), form);
    QCOMPARE(formOf(original), originalForm);
}

void tst_Messages::sameFormDifferentType_data()
{
    QTest::addColumn<QVariant>("first");
    QTest::addColumn<QVariant>("second");

    QTest::newRow("messenger finished")
        << QVariant::fromValue(MessengerFinishedRequest(id40('m')))
        << QVariant::fromValue(MessengerFinishedResponse(id40('m')));
    QTest::newRow("link removed, object destroyed")
        << QVariant::fromValue(DisconnectionResponse(id40('x')))
        << QVariant::fromValue(InstantiatedQObjectDestroyedEvent(id40('x')));
}

void tst_Messages::sameFormDifferentType()
{
    QFETCH(QVariant, first);
    QFETCH(QVariant, second);

    QCOMPARE(formOf(first), formOf(second));
    bool complete = false;
    QCOMPARE(readRecord(streamForm(first), &complete).userType(), first.userType());
    QVERIFY(complete);
    QCOMPARE(readRecord(streamForm(second), &complete).userType(), second.userType());
    QVERIFY(complete);
}

void tst_Messages::defaultMessageReadsBackEmpty()
{
    const QByteArray form = formOf(QVariant::fromValue(Message()));
    QCOMPARE(form, byteArrayForm(QByteArray()) + invalidVariantForm());

    Message message(id40('m'), 1);
    QVERIFY(readInto(form, message));
    QVERIFY(message.messengerId().isNull());
    QVERIFY(!message.data().isValid());
}

void tst_Messages::messageCarriesCallSlotRequest()
{
    const CallSlotRequest request(id40('o'), id40('c'), "1add(int,QString)",
                                  {QVariant(5), QVariant(QStringLiteral("five"))}, QByteArray());
    bool complete = false;
    const QVariant envelope =
        readRecord(streamForm(QVariant::fromValue(Message(id40('m'), QVariant::fromValue(request)))), &complete);
    QVERIFY(complete);

    QCOMPARE(envelope.userType(), qMetaTypeId<Message>());
    const Message message = envelope.value<Message>();
    QCOMPARE(message.messengerId(), id40('m'));
    QCOMPARE(message.data().userType(), qMetaTypeId<CallSlotRequest>());
    const CallSlotRequest received = message.data().value<CallSlotRequest>();
    QCOMPARE(received.objectId(), id40('o'));
    QCOMPARE(received.slotCallId(), id40('c'));
    QCOMPARE(received.slotSignature(), QByteArray("1add(int,QString)"));
    QCOMPARE(received.arguments(), request.arguments());
    QVERIFY(received.connectionId().isEmpty());
}

void tst_Messages::nestedMessagesAreBounded_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("shallow") << 10 << true;
    QTest::newRow("hostile") << 1000 << false;
}

void tst_Messages::nestedMessagesAreBounded()
{
    QFETCH(int, depth);
    QFETCH(bool, accepted);

    // Each envelope's payload is the next envelope: a peer must not be able to
    // exhaust the reader's stack this way.
    QByteArray record = invalidVariantForm();
    for (int level = 0; level < depth; ++level)
        record = customVariantHeader("Zeto::Message") + byteArrayForm(id40('m')) + record;
    // Truncated records warn at every prefix; those warnings are expected.
    const MessageLog discarded;
    bool complete = false;
    readRecord(record, &complete);
    QCOMPARE(complete, accepted);
}

void tst_Messages::responseGivesBackItsRequest()
{
    const ConnectionRequest request(id40('l'), id40('s'), "2changed()", id40('r'), "1update()");
    const QByteArray form = formOf(QVariant::fromValue(ConnectionResponse(true, ErrorInfo(), request)));
    ConnectionResponse response(false, makeErrorInfo(InvalidSlot), ConnectionRequest());
    QVERIFY(readInto(form, response));

    QVERIFY(response.success());
    QCOMPARE(response.errorInfo(), ErrorInfo());
    const ConnectionRequest received = response.request();
    QCOMPARE(received.connectionId(), request.connectionId());
    QCOMPARE(received.senderObjectId(), request.senderObjectId());
    QCOMPARE(received.signalSignature(), request.signalSignature());
    QCOMPARE(received.receiverObjectId(), request.receiverObjectId());
    QCOMPARE(received.slotSignature(), request.slotSignature());
}

void tst_Messages::argumentCountBeyondInputFails()
{
    // Claims five arguments, then ends: the count alone must fail the read,
    // and the link id after it comes from the failed stream.
    const QByteArray form = byteArrayForm(id40('o')) + byteArrayForm(id40('c')) + byteArrayForm("1f(int)")
        + bigEndian<qint64>(5) + intVariantForm(1);
    CallSlotRequest request(QByteArray(), QByteArray(), QByteArray(), intArguments({8}), id40('l'));
    QVERIFY(!readInto(form, request));

    QCOMPARE(request.objectId(), id40('o'));
    QCOMPARE(request.slotSignature(), QByteArray("1f(int)"));
    QVERIFY(request.arguments().isEmpty());
    QVERIFY(request.connectionId().isEmpty());
}

void tst_Messages::disconnectReasonKeepsWhatThePeerSent_data()
{
    QTest::addColumn<QByteArray>("reasonBytes");
    QTest::addColumn<int>("reason");

    QTest::newRow("ApplicationRequest") << QByteArray::fromHex("0000") << int(ApplicationRequest);
    QTest::newRow("ObjectDestroyed") << QByteArray::fromHex("0001") << int(ObjectDestroyed);
    QTest::newRow("LinkFailed") << QByteArray::fromHex("0002") << int(LinkFailed);
    QTest::newRow("unknown") << QByteArray::fromHex("0003") << 3;
    QTest::newRow("read unsigned") << QByteArray::fromHex("ffff") << 0xFFFF;
}

void tst_Messages::disconnectReasonKeepsWhatThePeerSent()
{
    QFETCH(QByteArray, reasonBytes);
    QFETCH(int, reason);

    const QByteArray form = byteArrayForm(id40('l')) + reasonBytes;
    DisconnectionRequest request;
    QVERIFY(readInto(form, request));
    QCOMPARE(int(request.reason()), reason);
    QCOMPARE(formOf(QVariant::fromValue(request)), form);
}

void tst_Messages::variantCastsChecked()
{
    const Message message(id40('m'), 42);
    const QVariant held = QVariant::fromValue(message);
    QCOMPARE(held.userType(), qMetaTypeId<Message>());
    QCOMPARE(held.value<Message>().messengerId(), id40('m'));
    QCOMPARE(held.value<Message>().data(), QVariant(42));

    // A cast to another message type falls back to the default value.
    QVERIFY(!held.canConvert<MessengerFinishedRequest>());
    QVERIFY(held.value<MessengerFinishedRequest>().messengerId().isNull());
}

void tst_Messages::equalityComparesEveryField_data()
{
    QTest::addColumn<QVariant>("first");
    QTest::addColumn<QVariant>("second");
    QTest::addColumn<bool>("equal");

    const QByteArray a = id40('a');
    const QByteArray b = id40('b');
    const auto call = [](const QByteArray &object, const QByteArray &slotCall, const QByteArray &slot, qint32 argument,
                         const QByteArray &link) {
        return QVariant::fromValue(CallSlotRequest(object, slotCall, slot, intArguments({argument}), link));
    };
    const auto answer = [](bool success, qint32 result) {
        return QVariant::fromValue(CallSlotResponse(success, id40('a'), id40('a'), result, ErrorInfo()));
    };
    const auto linked = [](const ErrorInfo &errorInfo, const QByteArray &slot) {
        const ConnectionRequest request(id40('a'), id40('a'), "2changed()", id40('a'), slot);
        return QVariant::fromValue(ConnectionResponse(false, errorInfo, request));
    };
    const QVariant sample = call(a, a, "1f(int)", 1, a);
    const ErrorInfo invalidSlot = makeErrorInfo(InvalidSlot);
    const QUrl url(QStringLiteral("zeto://example.org:4711"));

    QTest::newRow("built apart from equal fields") << sample << call(a, a, "1f(int)", 1, a) << true;
    QTest::newRow("defaults") << QVariant::fromValue(DisconnectionRequest())
                              << QVariant::fromValue(DisconnectionRequest()) << true;
    QTest::newRow("objectId") << sample << call(b, a, "1f(int)", 1, a) << false;
    QTest::newRow("slotCallId") << sample << call(a, b, "1f(int)", 1, a) << false;
    QTest::newRow("slotSignature") << sample << call(a, a, "1g(int)", 1, a) << false;
    QTest::newRow("arguments") << sample << call(a, a, "1f(int)", 2, a) << false;
    QTest::newRow("connectionId") << sample << call(a, a, "1f(int)", 1, b) << false;
    QTest::newRow("success") << answer(true, 1) << answer(false, 1) << false;
    QTest::newRow("result") << answer(true, 1) << answer(true, 2) << false;
    QTest::newRow("errorInfo") << linked(invalidSlot, "1update()") << linked(ErrorInfo(), "1update()") << false;
    QTest::newRow("embedded request") << linked(invalidSlot, "1update()") << linked(invalidSlot, "1f()") << false;
    QTest::newRow("reason") << QVariant::fromValue(DisconnectionRequest(a, ObjectDestroyed))
                            << QVariant::fromValue(DisconnectionRequest(a, LinkFailed)) << false;
    QTest::newRow("url") << QVariant::fromValue(InstantiateQObjectRequest("Counter", a, url, 7))
                         << QVariant::fromValue(InstantiateQObjectRequest("Counter", a, QUrl(), 7)) << false;
    QTest::newRow("payloads built apart") << QVariant::fromValue(Message(a, sample))
                                          << QVariant::fromValue(Message(a, call(a, a, "1f(int)", 1, a))) << true;
    QTest::newRow("payload field") << QVariant::fromValue(Message(a, sample))
                                   << QVariant::fromValue(Message(a, call(b, a, "1f(int)", 1, a))) << false;
    QTest::newRow("same form, other type") << QVariant::fromValue(MessengerFinishedRequest(a))
                                           << QVariant::fromValue(MessengerFinishedResponse(a)) << false;
}

void tst_Messages::equalityComparesEveryField()
{
    QFETCH(QVariant, first);
    QFETCH(QVariant, second);
    QFETCH(bool, equal);

    // QVariant compares through the message type's own operator.
    QCOMPARE(first == second, equal);
    QCOMPARE(second == first, equal);
}

QTEST_GUILESS_MAIN(tst_Messages)
// Ids and signatures that a thread read lately are shared, not allocated
// again; values too long for that are read as any byte array.
void tst_Messages::repeatedFieldsShareTheirBytes_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("shared");
    QTest::newRow("the same id") << id40('a') << id40('a') << true;
    QTest::newRow("another id") << id40('a') << id40('b') << false;
    QTest::newRow("one byte") << QByteArray("x") << QByteArray("x") << true;
    QTest::newRow("64 bytes") << QByteArray(64, 's') << QByteArray(64, 's') << true;
    QTest::newRow("65 bytes") << QByteArray(65, 's') << QByteArray(65, 's') << false;
}

void tst_Messages::repeatedFieldsShareTheirBytes()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, shared);
    bool complete = false;
    const QVariant firstRead = readRecord(streamForm(QVariant::fromValue(MessengerFinishedRequest(first))), &complete);
    QVERIFY(complete);
    const QVariant secondRead = readRecord(streamForm(QVariant::fromValue(MessengerFinishedRequest(second))), &complete);
    QVERIFY(complete);
    const QByteArray firstId = firstRead.value<MessengerFinishedRequest>().messengerId();
    const QByteArray secondId = secondRead.value<MessengerFinishedRequest>().messengerId();
    QCOMPARE(firstId, first);
    QCOMPARE(secondId, second);
    QCOMPARE(firstId.constData() == secondId.constData(), shared);
}

#include "tst_Messages.moc"
