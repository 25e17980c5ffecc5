#pragma once
// The effects settings of the current parameter values as messages.

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"

#include <QString>

#include <cstdint>

class FxBankExport : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// Appends to blocks the messages that restore the effects settings of the
    /// current parameter values (no module traffic): the basic channel edit,
    /// the edit buffer's preset effects section and the controller
    /// assignments (M-P only with CAP_16_CONTROLLERS). False, blocks
    /// unchanged, when a value cannot travel in 14 bits.
    bool CreateFXSysexBank(ByteBlockList& blocks);
};
