#pragma once
// Trigger sets: shared sets of ParameterIds. A control is bound with one and
// asks for its value again when a changed record's id is in it. The ten sets
// are built once, on first use (or by BuildTriggerSets), and never change;
// controls keep references to them for the whole run.

#include "module/ParameterIds.h"

#include <set>

using TriggerSet = std::set<ParameterId>;

/// Builds the ten sets if they are not built yet. Every accessor does this
/// too, so a set handed out before the module data model exists is complete.
void BuildTriggerSets();

/// {SETUP_RELOAD_NOTIFIER}
const TriggerSet& GetMasterTriggerSet();
/// Master + MULTIMODE_BASIC_CHANNEL, MULTIMODE_CHANNEL_SELECT
const TriggerSet& GetChannelTriggerSet();
/// Channel + PRESET_SELECT, MULTIMODE_PRESET, RANDOMISE_PRESET_BUTTON, UPLOAD_SYSEX
const TriggerSet& GetPresetTriggerSet();
/// Preset + AUDITION_BUTTON
const TriggerSet& GetPresetAuditionTriggerSet();
/// Preset + LAYER_SELECT
const TriggerSet& GetLayerTriggerSet();
/// Layer + LAYER_FILT_TYPE
const TriggerSet& GetFilterTriggerSet();
/// Preset + ARP_PATTERN_SELECT
const TriggerSet& GetArpPatternTriggerSet();
/// ArpPattern + ARP_PATTERN_STEP_SELECT
const TriggerSet& GetArpStepTriggerSet();
/// Master + BEAT_LAYER_SELECT, BEAT_TRIGGER_SELECT
const TriggerSet& GetBeatTriggerSet();
/// {PRESET_KBD_TUNE}
const TriggerSet& GetKeyboardTuningTriggerSet();
