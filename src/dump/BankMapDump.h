#pragma once
// The bank map: one 519-byte message each way.

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"

#include <QString>

#include <cstdint>

class BankMapDump : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// Appends the module's bank map (one 519-byte message) to blocks.
    /// Failures are logged only.
    bool DownloadBankMap(ByteBlockList& blocks);
    /// Sends the one block of blocks as the bank map, with the current device
    /// id. False, nothing sent, unless blocks holds exactly one well-formed
    /// 519-byte bank map message.
    bool UploadBankMap(ByteBlockList& blocks);
    /// UploadBankMap's check: one well-formed 519-byte bank map message.
    static DumpProblem CheckBankMapUpload(const ByteBlockList& blocks);
    /// The bank map decoded: entries 0-127 the first table, 128-255 the second.
    bool GetBankMap(std::int16_t values[256]);
    /// Builds and uploads a bank map of values; values must fit 14 bits signed.
    bool SetBankMap(const std::int16_t values[256]);
};
