#ifndef ZETO_SLOTSIGNATURECACHE_H
#define ZETO_SLOTSIGNATURECACHE_H

#include "../ZetoGlobal.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>

namespace Zeto {

// Normalized forms of the SLOT-coded signatures a peer sends, so that the
// same signature is parsed once and not for every call. Bounded: emptied
// when full, which is cheaper than evicting entries one by one.
class ZETO_PRIVATE_EXPORT SlotSignatureCache
{
public:
    static constexpr int MaxEntries = 32;

    // Empty when the text is not a valid SLOT-coded signature.
    QByteArray normalizedSlot(const QByteArray &codedSignature);
    int size() const;

private:
    QHash<QByteArray, QByteArray> m_normalized;
};

} // namespace Zeto

#endif // ZETO_SLOTSIGNATURECACHE_H
