#include "module/HardwareConfig.h"

#include <algorithm>

void HardwareConfig::SetRevision(const QString& revision)
{
    m_revision = revision.left(kRevisionLength);
}

const SimmSlot* HardwareConfig::FindSimm(int simmId) const
{
    for (const SimmSlot& slot : GetSimms()) {
        if (slot.simmId == simmId)
            return &slot;
    }
    return nullptr;
}

bool HardwareConfig::AddSimm(const SimmSlot& slot)
{
    if (FindSimm(slot.simmId))
        return false;
    // The slots are a fixed array; a ninth SIMM has nowhere to go.
    if (m_simmCount >= kMaxSimms)
        return false;
    m_simms[size_t(m_simmCount++)] = slot;
    return true;
}

void HardwareConfig::SetSimms(std::span<const SimmSlot> list)
{
    ClearSimms();
    const size_t count = std::min(list.size(), size_t(kMaxSimms));
    std::copy_n(list.begin(), count, m_simms.begin());
    m_simmCount = int(count);
}

void HardwareConfig::ClearSimms()
{
    m_simms.fill(SimmSlot{});
    m_simmCount = 0;
}
