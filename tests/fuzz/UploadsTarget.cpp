// The uploads, fed from a file's bytes to the simulated module: whatever the
// file holds, every message that reaches the module is whole (F0, data bytes,
// F7) or a short message. The first byte picks the upload, where the blocks
// come from and the number to upload to; the rest is the file.
//   bits 0-2  preset renumbered, preset as it is, setup, setup with its device
//             id, arp, tuning, bank map, multisetup buffer (held, then saved)
//   bit 3     blocks from the SysEx file splitter (clear), or cut from the
//             bytes as they are: a length byte, then that many bytes (set)
//   bits 4-5  the preset, layer, arp or tuning number
#include "FuzzSession.h"

#include "dump/SetupBuffer.h"
#include "dump/SysExFile.h"

namespace {

ByteBlockList CutBlocks(QByteArrayView bytes)
{
    ByteBlockList blocks;
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype n = std::min<qsizetype>(std::uint8_t(bytes[i]), bytes.size() - i - 1);
        blocks.push_back(MakeByteBlock(bytes.sliced(i + 1, n)));
        i += n + 1;
    }
    return blocks;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    fuzz::Init();
    const int kind = data[0] & 7;
    const bool cut = (data[0] & 8) != 0;
    const int number = (data[0] >> 4) & 3;
    const QByteArrayView file(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    fuzz::SimSession s;
    fuzz::SetAnswer(msgbox::IdYes); // "Try sending anyway?"
    ByteBlockList blocks;
    if (cut)
        blocks = CutBlocks(file);
    else if (!SysExFile::Split(file, blocks))
        return 0;
    Proteus& p = *s.proteus;
    switch (kind) {
    case 0: p.UploadPreset(true, number, number, blocks); break;
    case 1: p.UploadPreset(false, number, number, blocks); break;
    case 2: p.UploadSetup(blocks, false); break;
    case 3: p.UploadSetup(blocks, true); break;
    case 4: p.UploadArp(number, blocks); break;
    case 5: p.UploadTuning(number, blocks); break;
    case 6: p.UploadBankMap(blocks); break;
    case 7:
        for (const TPtr<_ByteBlock>& b : blocks)
            if (b && p.GetSetupBuffer()->SetDump(b))
                p.GetSetupBuffer()->SaveEditBuffer();
        break;
    }
    for (const QByteArray& m : s.ToModule())
        FUZZ_CHECK(fuzz::IsSendable(m));
    return 0;
}
