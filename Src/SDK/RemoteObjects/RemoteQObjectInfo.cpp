#include "RemoteQObjectInfo.h"
#include "../LoggingCategories_p.h"

#include "../QObjectInfo/QObjectInfo.h"

#include <QtCore/QStringList>

#include <algorithm>
#include <array>

namespace Zeto {

namespace {

using HttpVerb = RemoteQObjectInfo::HttpVerb;

constexpr int HttpVerbCount = 5;

// Sized at compile time, so that nothing runs for them when the library loads.
template <int Size>
constexpr QLatin1String tagName(const char (&text)[Size])
{
    return QLatin1String(text, Size - 1);
}

constexpr QLatin1String RemoteSignalTag = tagName("REMOTE_SIGNAL");
constexpr QLatin1String RemoteSlotTag = tagName("REMOTE_SLOT");
// In the order of HttpVerb.
constexpr std::array<QLatin1String, HttpVerbCount> HttpTags = {
    tagName("HTTP_POST"), tagName("HTTP_GET"), tagName("HTTP_PUT"), tagName("HTTP_PATCH"), tagName("HTTP_DELETE")};

enum class TagKind { Untagged, RemoteSignal, RemoteSlot, Http, Invalid };

bool isHttpTag(const QString &word)
{
    return std::find(HttpTags.begin(), HttpTags.end(), word) != HttpTags.end();
}

// The tag's words that name one of our tags, in order and with repetitions;
// words of the application's own are ignored.
QStringList recognisedTagWords(const MethodInfo &method)
{
    QStringList words;
    for (const QString &word : method.tag().split(QLatin1Char(' '))) {
        if (word == RemoteSignalTag || word == RemoteSlotTag || isHttpTag(word))
            words.append(word);
    }
    return words;
}

TagKind classify(const QStringList &words)
{
    if (words.isEmpty())
        return TagKind::Untagged;
    if (words.size() == 1 && words.first() == RemoteSignalTag)
        return TagKind::RemoteSignal;
    if (words.size() == 1 && words.first() == RemoteSlotTag)
        return TagKind::RemoteSlot;
    return std::all_of(words.begin(), words.end(), isHttpTag) ? TagKind::Http : TagKind::Invalid;
}

bool takesOnlyHttpBroker(const MethodInfo &slot)
{
    const QList<QByteArray> parameters = slot.parameterTypes();
    if (parameters.size() != 1)
        return false;
    const QByteArray type = parameters.first().simplified();
    return type == "QSharedPointer<Zeto::Server::HttpBroker>" || type == "QSharedPointer<HttpBroker>";
}

} // namespace

class RemoteQObjectInfoData : public QSharedData
{
public:
    // Each returns the warning that leaves the method out, or null.
    const char *addSignal(const MethodInfo &signal);
    const char *addSlot(const MethodInfo &slot);
    void addHttpHandler(const MethodInfo &slot, const QStringList &tagWords);

    QByteArray className;
    QList<MethodInfo> remoteSignals;
    QList<MethodInfo> remoteSlots;
    QList<MethodInfo> httpHandlers;
    QHash<QByteArray, int> remoteSignalTable;
    QHash<QByteArray, int> remoteSlotTable;
    std::array<QHash<QByteArray, int>, HttpVerbCount> httpTables;
};

const char *RemoteQObjectInfoData::addSignal(const MethodInfo &signal)
{
    switch (classify(recognisedTagWords(signal))) {
    case TagKind::RemoteSignal:
        remoteSignals.append(signal);
        return nullptr;
    case TagKind::RemoteSlot:
        return "Added REMOTE_SLOT tag to a signal. To make a signal available to remote connections, tag it "
               "with just the REMOTE_SIGNAL tag.";
    case TagKind::Http:
        return "Added a HTTP tag to a signal. To make a signal available to remote connections, tag it with "
               "just the REMOTE_SIGNAL tag.";
    case TagKind::Invalid:
        return "Invalid tags for signal. To make a signal available to remote connections, tag it with just "
               "the REMOTE_SIGNAL tag.";
    case TagKind::Untagged:
        break;
    }
    return nullptr;
}

const char *RemoteQObjectInfoData::addSlot(const MethodInfo &slot)
{
    const QStringList tagWords = recognisedTagWords(slot);
    switch (classify(tagWords)) {
    case TagKind::RemoteSlot:
        remoteSlots.append(slot);
        return nullptr;
    case TagKind::RemoteSignal:
        return "Added REMOTE_SIGNAL tag to a slot. To make a slot available to remote connections, tag it "
               "with just the REMOTE_SLOT tag.";
    case TagKind::Http:
        if (takesOnlyHttpBroker(slot)) {
            addHttpHandler(slot, tagWords);
            return nullptr;
        }
        return "Added HTTP tag to a slot with invalid arguments. Http handlers must have the following "
               "signature: <method_name>(QSharedPointer<Zeto::Server::HttpBroker>).";
    case TagKind::Invalid:
        return "Invalid tags for slot. To make a slot available to remote connections, tag it with just the "
               "REMOTE_SLOT tag or, to make it a HTTP handler, add only HTTP tags to it.";
    case TagKind::Untagged:
        break;
    }
    return nullptr;
}

// Entered for the verbs among its tag words, not for any word that merely
// contains a verb's tag, such as an application's own HTTP_GET_CACHED.
void RemoteQObjectInfoData::addHttpHandler(const MethodInfo &slot, const QStringList &tagWords)
{
    httpHandlers.append(slot);
    for (int verb = 0; verb < HttpVerbCount; ++verb) {
        if (tagWords.contains(HttpTags[verb]))
            httpTables[verb].insert(slot.name(), slot.methodIndex());
    }
}

RemoteQObjectInfo::RemoteQObjectInfo(const QMetaObject *metaObject)
    : d(new RemoteQObjectInfoData)
{
    const QObjectInfo info(metaObject);
    d->className = info.className();
    for (const MethodInfo &signal : info.signalList()) {
        if (const char *warning = d->addSignal(signal))
            qCWarning(lcZetoProtocol, "%s", warning);
    }
    for (const MethodInfo &slot : info.slotList()) {
        if (const char *warning = d->addSlot(slot))
            qCWarning(lcZetoProtocol, "%s", warning);
    }
    d->remoteSignalTable = indexByCanonicalSignature(d->remoteSignals);
    d->remoteSlotTable = indexByCanonicalSignature(d->remoteSlots);
}

RemoteQObjectInfo::RemoteQObjectInfo(const RemoteQObjectInfo &other) = default;
RemoteQObjectInfo &RemoteQObjectInfo::operator=(const RemoteQObjectInfo &other) = default;
RemoteQObjectInfo::~RemoteQObjectInfo() = default;

QByteArray RemoteQObjectInfo::className() const { return d->className; }
QList<MethodInfo> RemoteQObjectInfo::remoteSignals() const { return d->remoteSignals; }
QList<MethodInfo> RemoteQObjectInfo::remoteSlots() const { return d->remoteSlots; }
QList<MethodInfo> RemoteQObjectInfo::httpHandlers() const { return d->httpHandlers; }

int RemoteQObjectInfo::remoteSignalIndex(const QByteArray &normalizedSignature) const
{
    return d->remoteSignalTable.value(normalizedSignature, -1);
}

int RemoteQObjectInfo::remoteSlotIndex(const QByteArray &normalizedSignature) const
{
    return d->remoteSlotTable.value(normalizedSignature, -1);
}

int RemoteQObjectInfo::httpHandlerIndex(HttpVerb verb, const QByteArray &methodName) const
{
    return d->httpTables[std::size_t(verb)].value(methodName, -1);
}

} // namespace Zeto
