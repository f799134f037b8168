#include "SlotSignatureCache.h"

#include "../QObjectInfo/MethodSignature.h"

namespace Zeto {

QByteArray SlotSignatureCache::normalizedSlot(const QByteArray &codedSignature)
{
    if (m_normalized.size() >= MaxEntries)
        m_normalized.clear();
    const auto cached = m_normalized.constFind(codedSignature);
    if (cached != m_normalized.cend())
        return *cached;
    const MethodSignature signature(codedSignature);
    if (signature.normalizedSignature().isEmpty() || !signature.isSlot())
        return {};
    m_normalized.insert(codedSignature, signature.normalizedSignature());
    return signature.normalizedSignature();
}

int SlotSignatureCache::size() const
{
    return m_normalized.size();
}

} // namespace Zeto
