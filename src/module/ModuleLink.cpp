// The link's guards and the table of ROM-id partners.

#include "module/ModuleLink.h"

#include "module/ParamRecord.h"

namespace {

struct RomIdPartner {
    ParameterId id;
    ParameterId partner;
    const char16_t* partnerName;
};

constexpr RomIdPartner kRomIdPartners[] = {
    {MASTER_BEATS_RIFF_NDX, MASTER_BEATS_RIFF_ROM_ID, u"MASTER_BEATS_RIFF_ROM_ID"},
    {MASTER_ARP_PATTERN, MASTER_ARP_PATTERN_ROM_ID, u"MASTER_ARP_PATTERN_ROM_ID"},
    {PRESET_RIFF, PRESET_RIFF_ROM_ID, u"PRESET_RIFF_ROM_ID"},
    {PRESET_ARP_PATTERN, PRESET_ARP_PATTERN_ROM_ID, u"PRESET_ARP_PATTERN_ROM_ID"},
    {LINK_1_PRESET, LINK_1_PRESET_ROM_ID, u"LINK_1_PRESET_ROM_ID"},
    {LINK_2_PRESET, LINK_2_PRESET_ROM_ID, u"LINK_2_PRESET_ROM_ID"},
    {LAYER_INSTRUMENT, LAYER_INST_ROM_ID, u"LAYER_INST_ROM_ID"},
};

} // namespace

const LinkServices& ModuleLink::GetLinkServices() const
{
    // Empty and never changed: every service is the process-wide one.
    static const LinkServices processWide;
    return processWide;
}

ModuleLink::SuppressWarningMessages::SuppressWarningMessages(ModuleLink* owner) : m_owner(owner)
{
    if (m_owner)
        m_owner->SetSuppressWarnings(true);
}

ModuleLink::SuppressWarningMessages::~SuppressWarningMessages()
{
    if (m_owner)
        m_owner->SetSuppressWarnings(false);
}

ModuleLink::KeepEveryReply::KeepEveryReply(ModuleLink* owner)
    : m_owner(owner), m_previous(owner && owner->IsKeepingEveryReply())
{
    if (m_owner)
        m_owner->SetKeepEveryReply(true);
}

ModuleLink::KeepEveryReply::~KeepEveryReply()
{
    if (m_owner)
        m_owner->SetKeepEveryReply(m_previous);
}

int ModuleLink::GetRomIdParameter(const ParamRecord* record, QString* name)
{
    if (record) {
        for (const RomIdPartner& p : kRomIdPartners) {
            if (p.id == record->id) {
                if (name)
                    *name = QString::fromUtf16(p.partnerName);
                return p.partner;
            }
        }
    }
    if (name)
        *name = QStringLiteral("UNKNOWN_COMMAND");
    return -1;
}

ModuleLink::PresetSelect ModuleLink::SplitPresetNumber(int romId, int presetNumber)
{
    return {romId & 0xFF, presetNumber / 128, presetNumber % 128};
}
