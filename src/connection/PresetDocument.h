#pragma once
// Preset documents: the module's edit-buffer preset as a readable XML file
// that lists every preset, preset arpeggiator and layer parameter by name
// with its value (and the ROM of values that name a ROM object):
//
//   <ProteusSettings>
//     <PRESET> preset parameters, <LAYER ID="0"> ... </LAYER> x 4, <TOOLTIP/> </PRESET>
//     <PRESETARP> preset arp parameters </PRESETARP>
//   </ProteusSettings>
//
// Saving asks the module for every value first and writes the file only when
// every value came; loading checks the whole document first and then sends
// only the values that differ from the module's.

#include "dump/OleProps.h"
#include "module/Proteus.h"

#include <QString>

/// Writes the edit buffer to path (whole or not at all) with properties
/// beside it; the comments go into the document as its TOOLTIP. False after
/// telling the user why not.
bool SavePresetDocument(Proteus& proteus, const QString& path, const OleProps& properties);

/// Reads path and hands every parameter whose document value differs from
/// the module's to editor (which sends the edit). properties.comments takes
/// the document's TOOLTIP (empty without one). A file that is no preset
/// document is refused, with the user told, before anything is sent or changed.
bool LoadPresetDocument(Proteus& proteus, const Proteus::ParameterEditor& editor, const QString& path,
                        OleProps& properties);
