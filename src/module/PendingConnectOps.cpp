// Stand-ins for operations the connect sequence calls that are being built
// elsewhere (the ROM data and configuration caches). Each does the least the sequence needs; this file goes when
// the real ones land.

#include "module/Proteus.h"

#include "core/GlobalResources.h"
#include "core/Settings.h"
#include "module/StackedProgress.h"

int Proteus::GetRomObjectCount(int kind, int simmId, bool* complete)
{
    if (complete)
        *complete = true;
    if (simmId == 0 && kind == OBJECT_ARP)
        return 100;
    if (simmId == 0 && kind == OBJECT_SETUP)
        return 64;
    return 0;
}

bool Proteus::LoadSimmNames(StackedProgress& progress, const SimmSlot& slot)
{
    _SimmData* simm = FindSimmData(slot.simmId);
    if (!simm)
        return true;
    for (int kind = OBJECT_PRESET; kind <= OBJECT_RIFF; ++kind) {
        const int count = simm->GetCount(ObjectKind(kind));
        if (kind == OBJECT_SETUP && slot.simmId == 0) {
            std::map<int, QString> names;
            if (GlobalResources* resources = TheGlobalResources())
                resources->GetSetupNames(names);
            for (int i = 0; i < count; ++i) {
                auto it = names.find(i);
                simm->SetName(OBJECT_SETUP, i, it != names.end() ? it->second : QStringLiteral("User Setup"));
                progress.Step();
            }
            continue;
        }
        for (int i = 0; i < count; ++i) {
            bool ok = false;
            QString name;
            if (!GetObjectName(kind, slot.simmId, i, ok, name))
                return false;
            if (ok)
                simm->SetName(ObjectKind(kind), i, name);
            progress.Step();
        }
    }
    return true;
}

bool Proteus::LoadCacheConfiguration()
{
    StackedProgress progress(this, true, 0, 1, u"Loading Names");
    for (const SimmSlot& slot : hardwareConfig.GetSimms())
        if (slot.simmId != 0 && !LoadSimmNames(progress, slot))
            return false;
    return true;
}
