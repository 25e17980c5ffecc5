// The SysEx file splitter and the readers of dump headers and layouts, fed
// with any bytes: the splitter's messages are whole and come from the file in
// order, a declined file changes nothing, and every offset a layout hands out
// lies inside its message before the final F7.
#include "FuzzSupport.h"

#include "core/MessageBox.h"
#include "dump/PresetDumpFormat.h"
#include "dump/SetupDumpLayout.h"
#include "dump/SysExFile.h"
#include "module/ModuleSysEx.h"
#include "module/Proteus.h"

#include <optional>
#include <span>

namespace {

using Span = std::span<const std::uint8_t>;

void CheckOffset(const std::optional<std::size_t>& at, std::size_t size)
{
    // A 14-bit value takes two bytes, both before the final F7.
    if (at)
        FUZZ_CHECK(*at >= SetupDumpLayout::kCountsOffset && *at + 2 <= size - 1);
}

void CheckPresent(const std::optional<std::size_t>& at, std::size_t size)
{
    FUZZ_CHECK(at.has_value());
    CheckOffset(at, size);
}

void CheckSetupLayout(Span m)
{
    const SetupDumpLayout layout = SetupDumpLayout::Parse(m);
    for (std::size_t offset : {std::size_t(0), m.size() / 2, m.size(), m.size() + 7}) {
        const int v = ReadSetupValue(m, offset);
        FUZZ_CHECK(v >= -8192 && v <= 8191);
    }
    if (!layout.IsValid()) {
        FUZZ_CHECK(!layout.SectionValue(0, 0) && !layout.ChannelValue(0, 0));
        return;
    }
    FUZZ_CHECK(m.size() >= SetupDumpLayout::kHeaderLength && m.back() == 0xF7);
    const std::size_t n = m.size();
    CheckOffset(layout.DeviceIdOffset(), n);
    for (int s = 0; s < SetupDumpLayout::kSections; ++s) {
        for (int i = 0; i < layout.sectionValues[s]; ++i)
            CheckOffset(layout.SectionValue(s, i), n);
        FUZZ_CHECK(!layout.SectionValue(s, -1));
    }
    FUZZ_CHECK(!layout.SectionValue(-1, 0) && !layout.SectionValue(SetupDumpLayout::kSections, 0));
    for (int c = 0; c < layout.channels; ++c)
        for (int i = 0; i < layout.perChannel; ++i)
            CheckPresent(layout.ChannelValue(c, i), n);
    FUZZ_CHECK(!layout.ChannelValue(layout.channels, 0) && !layout.ChannelValue(0, layout.perChannel));
    for (int t = 0; t < layout.triggers; ++t)
        for (int i = 0; i < layout.perTrigger; ++i)
            CheckPresent(layout.TriggerValue(t, i), n);
    FUZZ_CHECK(!layout.TriggerValue(layout.triggers, 0));
    for (int p = 0; p < layout.parts; ++p)
        for (int i = 0; i < layout.perPart; ++i)
            CheckPresent(layout.PartValue(p, i), n);
    FUZZ_CHECK(!layout.PartValue(layout.parts, 0));
}

void CheckMessageReaders(Span m)
{
    const long count = PresetHeaderByteCount(m);
    if (m.size() < kPresetHeaderLength)
        FUZZ_CHECK(count == -1);
    else
        FUZZ_CHECK(count >= 0 && count < (1L << 28));

    const int deviceId = m.size() > 3 ? m[3] : 0;
    int packet = 0;
    const int code = Proteus::ParseHandshake(m, deviceId, &packet);
    FUZZ_CHECK(code == -1 || (code >= HANDSHAKE_EOF && code <= HANDSHAKE_ACK));
    if (code == -1 || m.size() != kHandshakeLength + 2)
        FUZZ_CHECK(packet == -1);
    else
        FUZZ_CHECK(packet >= -8192 && packet <= 8191);

    IsModuleErrorReply(m.data(), m.size(), deviceId);
    for (std::size_t offset = 0; offset < m.size() + 2 && offset < 64; ++offset) {
        int value = 12345;
        if (SysExValue14::Read(m, offset, value))
            FUZZ_CHECK(offset + 2 <= m.size() && value >= -8192 && value <= 8191);
        else
            FUZZ_CHECK(value == 12345);
    }
    CheckSetupLayout(m);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Init();
    const QByteArray bytes = fuzz::Bytes(data, size);

    // Answered Yes: every message F0 ... F7 with no start or end inside, found
    // in the file in order.
    fuzz::SetAnswer(msgbox::IdYes);
    ByteBlockList blocks;
    const SysExFileResult yes = SysExFile::Split(bytes, blocks);
    FUZZ_CHECK(yes.status == SysExFileResult::Ok && yes.blocks == int(blocks.size()));
    qsizetype from = 0;
    for (const TPtr<_ByteBlock>& block : blocks) {
        const QByteArray m = block->ToByteArray();
        FUZZ_CHECK(m.size() >= 2 && std::uint8_t(m.front()) == 0xF0 && std::uint8_t(m.back()) == 0xF7);
        FUZZ_CHECK(!m.mid(1, m.size() - 2).contains(char(0xF0)) && !m.mid(1, m.size() - 2).contains(char(0xF7)));
        const qsizetype at = bytes.indexOf(m, from);
        FUZZ_CHECK(at >= from);
        from = at + m.size();
    }
    const bool damaged = fuzz::TakeMessageCount() > 0;

    // Answered No: a damaged file is declined and the list keeps what it held.
    fuzz::SetAnswer(msgbox::IdNo);
    ByteBlockList kept{MakeByteBlock(QByteArray("\xF0\x01\xF7", 3))};
    const SysExFileResult no = SysExFile::Split(bytes, kept);
    if (damaged) {
        FUZZ_CHECK(no.status == SysExFileResult::Declined && kept.size() == 1);
        FUZZ_CHECK(no.offset >= 0 && no.offset < bytes.size());
    } else {
        FUZZ_CHECK(no.status == SysExFileResult::Ok && kept.size() == blocks.size() + 1);
    }
    fuzz::TakeMessageCount();

    CheckMessageReaders(Span(data, size));
    for (const TPtr<_ByteBlock>& block : blocks)
        CheckMessageReaders(block->Bytes());

    // Walking the bytes message by message never runs past the end.
    const std::uint8_t* p = data;
    const std::uint8_t* end = data + size;
    while (p < end) {
        const int n = GetMessageLength(p, end);
        FUZZ_CHECK(n >= 0 && n <= end - p);
        p += n > 0 ? n : 1;
    }
    return 0;
}
