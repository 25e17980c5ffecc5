// Object counts of the ROM SIMMs (probed by name requests once per ROM and
// configuration, kept in the settings store under "ROMData") and the loading
// of every object name into the SIMMs' name caches.
#include "core/Format.h"
#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/ObjectKind.h"
#include "core/RegistryKey.h"
#include "core/Settings.h"
#include "dump/RomDataCache.h"
#include "module/StackedProgress.h"

#include <map>

namespace {

/// The highest index the count probe asks for: a ROM with more objects is
/// counted as this plus one.
int ProbeLimit(int kind)
{
    return kind == OBJECT_ARP ? 600 : 1000;
}

/// The module's name for an object that is not there, by kind.
bool IsPlaceholderName(int kind, const QString& name)
{
    switch (kind) {
    case OBJECT_ARP:
        return name.startsWith(u"(not instld)");
    case OBJECT_DEMO:
        return name.startsWith(u"SSSSSSSSSSSSSSSS");
    case OBJECT_RIFF:
        // Case-sensitive: "Ff..." is a real riff.
        return name.size() >= 2 && name[0] == u'f' && name[1] == u'f';
    default:
        return false;
    }
}

/// "Software\Brimcote Limited\Tabrine\<configuration>\ROMData\<simmId>";
/// empty when no configuration key is open.
QString RomDataKeyPath(int simmId)
{
    const QString base = GetGlobalConfigurations().KeyPath();
    return base.isEmpty() ? QString() : Format(u"%s\\ROMData\\%d", base, simmId);
}

void ApplyMappings(const std::map<QString, QString>& mappings, QString& name)
{
    for (const auto& [from, to] : mappings) {
        // An empty key would put the replacement between every two characters.
        if (!from.isEmpty())
            name.replace(from, to);
    }
}

} // namespace

RomDataCache::ObjectProbe RomDataCache::ProbeObject(int kind, int simmId, int index)
{
    // Missing objects are the normal end of a count: their failed requests are no warnings.
    ModuleLink::SuppressWarningMessages quiet(&m_link);
    const std::uint64_t errorsBefore = m_link.GetModuleErrorCount();
    bool ok = false;
    QString name;
    if (!m_link.GetObjectName(kind, simmId, index, ok, name))
        return m_link.GetModuleErrorCount() != errorsBefore ? ObjectProbe::Missing : ObjectProbe::NoAnswer;
    if (!ok || IsPlaceholderName(kind, name))
        return ObjectProbe::Missing;
    if (m_state.connecting)
        m_state.namesProbedByConnect[{kind, simmId, index}] = name;
    return ObjectProbe::Present;
}

bool RomDataCache::IsObjectPresent(int kind, int simmId, int index)
{
    return ProbeObject(kind, simmId, index) == ObjectProbe::Present;
}

int RomDataCache::GetRomObjectCount(int kind, int simmId, bool* complete)
{
    if (complete)
        *complete = true;
    if (kind == OBJECT_ARP && simmId == 0)
        return 100;
    if (kind == OBJECT_SETUP)
        return simmId == 0 ? 64 : 0;

    const int limit = ProbeLimit(kind);
    const QString valueName = ObjectKindName(kind);
    RegistryKey key(Services().settings);
    const QString keyPath = RomDataKeyPath(simmId);
    if (!keyPath.isEmpty())
        key.Open(keyPath, true); // a key that cannot be opened only means probing every time
    if (key.IsOpen()) {
        constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
        const std::uint32_t stored = key.ReadDword(valueName, kUnknown);
        if (stored != kUnknown) {
            if (stored <= std::uint32_t(limit + 1)) {
                m_state.unansweredCounts.erase({simmId, kind});
                return int(stored);
            }
            TLOG(kLogError, u"The stored %s count %u of SIMM %d is more than a ROM can hold; counting again", valueName,
                 stored, simmId);
        }
    }

    // Each probe either finds the object, finds it missing, or gets no clear
    // answer; then the count is unknown, and storing a guess would keep it
    // wrong for every later connection.
    // The search comes back to some indexes: each is asked once.
    bool answered = true;
    std::map<int, bool> probed;
    auto present = [&](int index) {
        if (!answered)
            return false;
        if (const auto known = probed.find(index); known != probed.end())
            return known->second;
        switch (ProbeObject(kind, simmId, index)) {
        case ObjectProbe::Present:
            probed[index] = true;
            return true;
        case ObjectProbe::Missing:
            probed[index] = false;
            return false;
        case ObjectProbe::NoAnswer:
            break;
        }
        answered = false;
        return false;
    };

    int count = 0;
    if (present(0)) {
        // Halve down from the limit to an index that is present, then search
        // between it and the last absent one. Objects are taken to be numbered
        // from 0 without gaps.
        int probe = limit;
        int high = limit;
        while (answered && high > 0 && !present(probe)) {
            high = probe;
            probe /= 2;
        }
        int low = probe;
        while (answered && low < high) {
            const int mid = low + (high - low) / 2;
            if (present(mid))
                low = mid + 1;
            else
                high = mid - 1;
        }
        count = present(low) ? low + 1 : low;
    }
    if (!answered) {
        TLOG(kLogError, u"Could not count the %s objects of SIMM %d: the module stopped answering", valueName, simmId);
        if (complete)
            *complete = false;
        m_state.unansweredCounts.insert({simmId, kind});
        return 0;
    }
    m_state.unansweredCounts.erase({simmId, kind});
    if (key.IsOpen())
        key.WriteDword(valueName, std::uint32_t(count));
    return count;
}

bool RomDataCache::LoadObjectNames(StackedProgress& progress, const TPtr<_SimmData>& simm, int kind, int simmId,
                              int count)
{
    TLOG(kLogFlow, u"%s(%d, %d, %d)", u"Proteus::LoadObjectNames", kind, simmId, count);
    const QString kindName = ObjectKindName(kind);
    const QString device = GetGlobalConfigurations().KeyName();
    GlobalResources* resources = TheGlobalResources();
    std::map<QString, QString> objectMappings;
    std::map<QString, QString> simmMappings;
    if (resources) {
        resources->GetObjectMappings(device, kindName, objectMappings);
        resources->GetSimmMappings(device, kindName, simmId, simmMappings);
    }
    for (int index = 0; index < count; ++index) {
        bool ok = false;
        QString name;
        // A name the count found in this connect is not asked for again.
        if (const auto probed = m_state.namesProbedByConnect.find({kind, simmId, index});
            m_state.connecting && probed != m_state.namesProbedByConnect.end())
            name = probed->second;
        else if (!m_link.GetObjectName(kind, simmId, index, ok, name))
            return false;
        QString mapped;
        if (resources && resources->GetMappedObjectName(device, kindName, simmId, index, mapped))
            name = mapped;
        ApplyMappings(simmMappings, name);
        ApplyMappings(objectMappings, name);
        if (simm)
            simm->SetName(ObjectKind(kind), index, name);
        progress.Step();
    }
    return true;
}

bool RomDataCache::LoadSimmNames(StackedProgress& progress, const SimmSlot& slot)
{
    TLOG(kLogFlow, u"%s(%d)", u"Proteus::LoadSimmNames", slot.simmId);
    const auto found = m_data.simmMap.find(slot.simmId);
    if (found == m_data.simmMap.end())
        return true;
    const TPtr<_SimmData> simm = found->second;
    const QString simmName = m_data.GetSimmName(slot.simmId);

    struct KindRow {
        int kind;
        const char16_t* plural;
        int count;
    };
    const KindRow rows[] = {
        {OBJECT_PRESET, u"Presets", slot.presets}, {OBJECT_INSTRUMENT, u"Instruments", slot.instruments},
        {OBJECT_ARP, u"Arps", slot.arps},          {OBJECT_SETUP, u"Setups", slot.setups},
        {OBJECT_DEMO, u"Demos", slot.demos},       {OBJECT_RIFF, u"Riffs", slot.riffs},
    };
    for (const KindRow& row : rows) {
        if (row.count <= 0)
            continue;
        progress.SetText(u"%s %s", simmName, row.plural);
        if (row.kind == OBJECT_SETUP) {
            // Setup names are the user's own, kept in the settings store.
            GlobalResources* resources = TheGlobalResources();
            std::map<int, QString> stored;
            if (resources)
                resources->GetSetupNames(stored);
            for (int index = 0; index < row.count; ++index) {
                const auto name = stored.find(index);
                if (name != stored.end()) {
                    simm->SetName(OBJECT_SETUP, index, name->second);
                    continue;
                }
                const QString fallback = QStringLiteral("User Setup");
                simm->SetName(OBJECT_SETUP, index, fallback);
                if (resources)
                    resources->SetSetupName(index, fallback);
            }
            continue;
        }
        if (!LoadObjectNames(progress, simm, row.kind, slot.simmId, row.count))
            return false;
    }
    return true;
}

bool RomDataCache::LoadAllSimmNames()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::LoadAllSimmNames");
    int total = 0;
    for (const SimmSlot& slot : m_data.hardwareConfig.GetSimms())
        if (slot.simmId != 0)
            total += slot.presets + slot.instruments + slot.arps + slot.demos + slot.setups + slot.riffs;
    total += m_data.AllParameters.Count();

    StackedProgress progress(&m_link, true, 0, total, u"Loading Names");
    for (const SimmSlot& slot : m_data.hardwareConfig.GetSimms())
        if (slot.simmId != 0 && !LoadSimmNames(progress, slot))
            return false;
    progress.SetText(u"Min/Max Settings");
    RefreshMinMaxCache();
    return true;
}

void RomDataCache::RefreshMinMaxCache()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::RefreshMinMaxCache");
    for (auto& [id, record] : m_data.AllParameters)
        m_link.ParameterRequestWithMinMaxNoCache(&record);
}
