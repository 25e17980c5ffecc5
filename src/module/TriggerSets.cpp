#include "module/TriggerSets.h"

namespace {

struct TriggerSets {
    TriggerSet master;
    TriggerSet channel;
    TriggerSet preset;
    TriggerSet presetAudition;
    TriggerSet layer;
    TriggerSet filter;
    TriggerSet arpPattern;
    TriggerSet arpStep;
    TriggerSet beat;
    TriggerSet keyboardTuning;
};

TriggerSet Plus(const TriggerSet& base, std::initializer_list<ParameterId> ids)
{
    TriggerSet set = base;
    set.insert(ids);
    return set;
}

// A function-local static: built on first use, thread-safe, and ready for a
// control bound before the module data model is constructed.
const TriggerSets& Sets()
{
    static const TriggerSets sets = [] {
        TriggerSets s;
        s.master = {SETUP_RELOAD_NOTIFIER};
        s.channel = Plus(s.master, {MULTIMODE_BASIC_CHANNEL, MULTIMODE_CHANNEL_SELECT});
        s.preset = Plus(s.channel, {PRESET_SELECT, MULTIMODE_PRESET, RANDOMISE_PRESET_BUTTON, UPLOAD_SYSEX});
        s.presetAudition = Plus(s.preset, {AUDITION_BUTTON});
        s.layer = Plus(s.preset, {LAYER_SELECT});
        s.filter = Plus(s.layer, {LAYER_FILT_TYPE});
        s.arpPattern = Plus(s.preset, {ARP_PATTERN_SELECT});
        s.arpStep = Plus(s.arpPattern, {ARP_PATTERN_STEP_SELECT});
        s.beat = Plus(s.master, {BEAT_LAYER_SELECT, BEAT_TRIGGER_SELECT});
        s.keyboardTuning = {PRESET_KBD_TUNE};
        return s;
    }();
    return sets;
}

} // namespace

void BuildTriggerSets()
{
    Sets();
}

const TriggerSet& GetMasterTriggerSet() { return Sets().master; }
const TriggerSet& GetChannelTriggerSet() { return Sets().channel; }
const TriggerSet& GetPresetTriggerSet() { return Sets().preset; }
const TriggerSet& GetPresetAuditionTriggerSet() { return Sets().presetAudition; }
const TriggerSet& GetLayerTriggerSet() { return Sets().layer; }
const TriggerSet& GetFilterTriggerSet() { return Sets().filter; }
const TriggerSet& GetArpPatternTriggerSet() { return Sets().arpPattern; }
const TriggerSet& GetArpStepTriggerSet() { return Sets().arpStep; }
const TriggerSet& GetBeatTriggerSet() { return Sets().beat; }
const TriggerSet& GetKeyboardTuningTriggerSet() { return Sets().keyboardTuning; }
