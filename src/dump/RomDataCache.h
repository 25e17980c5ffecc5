#pragma once
// Object counts per ROM (probed once, kept in the settings store under
// "ROMData") and the object names of each SIMM from the module, corrected by
// the Mappings document.

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"
#include "module/HardwareConfig.h"
#include "module/SimmData.h"
#include "module/StackedProgress.h"

#include <QString>

#include <cstdint>

class RomDataCache : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// How one object's name request went while counting objects.
    enum class ObjectProbe {
        Present,  ///< a name came that is not the kind's placeholder
        Missing,  ///< the module said so: an error reply, or the placeholder name
        NoAnswer, ///< no clear answer (time-out, broken input, short reply, nothing sent)
    };

    /// The number of objects of a kind in a SIMM: fixed for user arps (100) and
    /// setups (64 for the user bank, 0 for a ROM), else the value stored under
    /// the SIMM's "ROMData" key, else probed by name requests and stored. The
    /// count is stored only when every probe request was answered; a request
    /// that got no answer ends the probe with 0, nothing stored, and
    /// *complete (may be null) false. A stored value no probe can give (above
    /// 1001, or 601 for arps) is logged and probed again.
    int GetRomObjectCount(int kind, int simmId, bool* complete = nullptr);
    /// Asks for the name of one object, warnings suppressed.
    ObjectProbe ProbeObject(int kind, int simmId, int index);
    /// True when ProbeObject finds the object present.
    bool IsObjectPresent(int kind, int simmId, int index);
    /// Asks for the names of objects 0 ... count - 1 of a kind, applies the
    /// Mappings document (the explicit name, then the SIMM's replacements, then
    /// the kind's) and stores them in simm; one progress step each. False at
    /// the first failed request (the names stored before it stay).
    bool LoadObjectNames(StackedProgress& progress, const TPtr<_SimmData>& simm, int kind, int simmId, int count);
    /// Every kind of a slot whose count is above 0, in kind order; setups come
    /// from the setup names in the settings store ("User Setup" when none is
    /// stored, which is then stored). True when the SIMM is not in the SIMM map.
    bool LoadSimmNames(StackedProgress& progress, const SimmSlot& slot);
    /// The names of every ROM SIMM from the module, then RefreshMinMaxCache,
    /// under one progress ("Loading Names"). False when a name request failed.
    bool LoadAllSimmNames();
    /// Asks every record of the min/max cache for its range again, in id
    /// order; a record the module does not answer keeps what it held (and
    /// whether its range is known, IsRangeKnown).
    void RefreshMinMaxCache();
};
