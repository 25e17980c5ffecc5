#pragma once
// Parameter records as XML elements, shared with the configuration cache and
// the preset documents.

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"
#include "core/XMLDocument.h"
#include "module/ParameterCache.h"
#include "module/StackedProgress.h"
#include <functional>

#include <QString>

#include <cstdint>

class ParameterElements : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// The edit path for a record whose document value differs from the
    /// module's (the preset documents pass the dialog's EditParameter); true
    /// when the module took the edit.
    using ParameterEditor = std::function<bool(ParamRecord*)>;

    /// One element per record, in id order, named by the record's name:
    /// minMax: MIN_VALUE, MAX_VALUE, DEFAULT, READ_ONLY; else VALUE and, for a
    /// parameter with a ROM-id partner, SIMM_ID. Numbers are written as the low
    /// 16 bits, sign-extended. False when an element cannot be made.
    bool WriteParameterElements(const ParameterCache& records, XMLElement& parent, bool minMax);
    /// Reads each record's element of parent (the first of that name); one
    /// progress step per record. minMax: the range from the element (a record
    /// of the min/max cache then counts as known, SetRangeKnown); a record
    /// without an element, or whose element lacks one of the four numbers, is
    /// asked of the module. Value form: the value (and SIMM id) from the
    /// element; with an editor, a record whose module value differs (or cannot
    /// be asked) is handed to it, and an edit it refuses leaves the record as
    /// it was (with the module's value, when the module was asked and has
    /// another). Elements of unknown parameters are ignored.
    bool ReadParameterElements(StackedProgress& progress, const ParameterEditor& editor, ParameterCache& records,
                               const XMLElement& parent, bool minMax);
};
