#ifndef ZETO_REMOTEQOBJECTINFO_H
#define ZETO_REMOTEQOBJECTINFO_H

#include "../QObjectInfo/MethodInfo.h"

#include <QtCore/QSharedDataPointer>

struct QMetaObject;

namespace Zeto {

class RemoteQObjectInfoData;

// What a class that peers instantiate offers them: of its own public signals
// and slots, those tagged REMOTE_SIGNAL or REMOTE_SLOT (see RemoteTags.h), and
// the slots tagged as HTTP handlers. A badly tagged method is left out with a
// warning that says how to tag it.
class ZETO_PRIVATE_EXPORT RemoteQObjectInfo
{
public:
    enum class HttpVerb { Post, Get, Put, Patch, Delete };

    // A null meta-object is a caller's error and ends the process.
    explicit RemoteQObjectInfo(const QMetaObject *metaObject);
    RemoteQObjectInfo(const RemoteQObjectInfo &other);
    RemoteQObjectInfo &operator=(const RemoteQObjectInfo &other);
    virtual ~RemoteQObjectInfo();

    QByteArray className() const;
    // In meta-object order.
    QList<MethodInfo> remoteSignals() const;
    QList<MethodInfo> remoteSlots() const;
    QList<MethodInfo> httpHandlers() const;
    // The absolute method index, or -1 when no such method is offered.
    int remoteSignalIndex(const QByteArray &normalizedSignature) const;
    int remoteSlotIndex(const QByteArray &normalizedSignature) const;
    // Handlers are found by method name alone, for the verbs they are tagged with.
    int httpHandlerIndex(HttpVerb verb, const QByteArray &methodName) const;

private:
    QSharedDataPointer<RemoteQObjectInfoData> d;
};

} // namespace Zeto

#endif // ZETO_REMOTEQOBJECTINFO_H
