#include "dump/SetupBuffer.h"

#include "dump/DumpFiles.h"
#include "dump/SetupArpTuningDumps.h"

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "dump/OleProps.h"
#include "dump/SetupDumpLayout.h"
#include "module/Capabilities.h"
#include "module/ModuleSysEx.h"
#include "module/ParamRecord.h"

#include <QCoreApplication>
#include <QDir>

#include <functional>
#include <optional>

namespace {

// The folder beside the program that holds the dumps TestUI mode reads
// instead of asking a module.
constexpr char16_t kTestDataFolder[] = u"TestData";
constexpr char16_t kTestSetupDumpFile[] = u"SetupDump.sysex";

// Where one setup parameter lives: a value of a section, a name byte, or a
// value of a channel, beat trigger or beat part block; romIndex is the value
// that holds its SIMM id, where it has one.
struct Slot {
    enum Block { Section, Name, Channel, Trigger, Part };
    Block block = Section;
    int section = 0;
    int index = 0;
    int romIndex = -1;
};

// The string that says a file is no setup file.
constexpr unsigned kStringNotASetupFile = 331;

// Exactly one message, and that a setup dump by its header (the upload checks the rest).
bool IsOneSetupDump(const ByteBlockList& blocks)
{
    if (blocks.size() != 1 || !blocks.front())
        return false;
    const std::span<const std::uint8_t> m = blocks.front()->Bytes();
    return m.size() > kSysExCommandOffset && m[0] == SYSEX_START && m[1] == EMU_MANUFACTURER_ID
        && m[2] == PROTEUS_PRODUCT_ID && m[4] == EDITOR_DESIGNATOR && m[kSysExCommandOffset] == CMD_SETUP_DUMP;
}

std::optional<Slot> Locate(ParameterId id)
{
    auto in = [](int section, int index, int romIndex = -1) { return Slot{Slot::Section, section, index, romIndex}; };
    // S1, master: 257-260 at 0-3, 264-269 at 4-9, (10 unused), 271-276 at 11-16,
    // the beat riff 278 at 18 with its SIMM id at 17.
    if (id >= 257 && id <= 260)
        return in(0, id - 257);
    if (id >= 264 && id <= 269)
        return in(0, id - 260);
    if (id >= 271 && id <= 276)
        return in(0, id - 260);
    if (id == 278)
        return in(0, 18, 17);
    // S2, MIDI: 385, 386, the device id 388, controllers 391-409 and 411-414.
    if (id == 385 || id == 386)
        return in(1, id - 385);
    if (id == MASTER_MIDI_ID)
        return in(1, 2);
    if (id >= 391 && id <= 409)
        return in(1, id - 388);
    if (id >= 411 && id <= 414)
        return in(1, id - 389);
    // S3, master effects.
    if (id >= 513 && id <= 528)
        return in(2, id - 513);
    // S4, master arpeggiator: the pattern 643 with its SIMM id at 19; 661 at 20.
    if (id == 643)
        return in(3, 2, 19);
    if (id >= 641 && id <= 659)
        return in(3, id - 641);
    if (id == 661)
        return in(3, 20);
    // S5, multimode globals.
    if (id >= MULTIMODE_BASIC_CHANNEL && id <= 141)
        return in(4, id - MULTIMODE_BASIC_CHANNEL);
    if (id >= 142 && id <= 157)
        return Slot{Slot::Name, 0, id - 142};
    if (id == MULTIMODE_PRESET)
        return Slot{Slot::Channel, 0, 0, 8};
    if (id >= 131 && id <= 137)
        return Slot{Slot::Channel, 0, id - 130};
    if (id == 160 || id == 161)
        return Slot{Slot::Trigger, 0, id - 160};
    if (id >= 164 && id <= 166)
        return Slot{Slot::Part, 0, id - 164};
    return std::nullopt;
}

std::span<const std::uint8_t> Bytes(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())};
}

std::uint32_t Address(const QByteArray& bytes)
{
    // The log shows where the bytes are, as the 32 bits a log line holds.
    return std::uint32_t(reinterpret_cast<std::uintptr_t>(bytes.constData()));
}

} // namespace

SetupBuffer::SetupBuffer(ModuleLink* owner) : m_owner(owner)
{
    m_channelCount = m_owner && m_owner->HasCapability(CAP_32_CHANNELS) ? 32 : 16;
}

SetupBuffer::~SetupBuffer() = default;

void SetupBuffer::OnConnect()
{
    m_channelCount = m_owner->HasCapability(CAP_32_CHANNELS) ? 32 : 16;
    LoadEditBuffer();
}

void SetupBuffer::OnParameterChanged(ParamRecord* record)
{
    if (!record || !Validate(nullptr, nullptr))
        return;
    SetParameter(m_owner->FindParameter(MULTIMODE_BASIC_CHANNEL)->value, record);
}

void SetupBuffer::OnDisconnect()
{
    m_dump.clear();
}

bool SetupBuffer::NoDumpToHold() const
{
    return m_dump.isEmpty() && m_owner && !m_owner->HasCapability(CAP_SETUP_DUMPS);
}

bool SetupBuffer::Validate(int* triggerCount, int* partCount) const
{
    if (NoDumpToHold()) {
        if (triggerCount)
            *triggerCount = 0;
        if (partCount)
            *partCount = 0;
        return false;
    }
    return ValidateDump(m_dump, triggerCount, partCount);
}

bool SetupBuffer::ValidateDump(const QByteArray& dump, int* triggerCount, int* partCount)
{
    if (triggerCount)
        *triggerCount = 0;
    if (partCount)
        *partCount = 0;
    const SetupDumpLayout l = SetupDumpLayout::Parse(Bytes(dump));
    const std::uint32_t start = Address(dump);
    const int length = int(dump.size());
    switch (l.problem) {
    case SetupDumpLayout::Problem::None:
        break;
    case SetupDumpLayout::Problem::Empty:
        TLOG(kLogError, u"Downloaded setup buffer is empty (buf_start:0x%x, length:0x%x)", start, length);
        return false;
    case SetupDumpLayout::Problem::TooShort:
        TLOG(kLogError, u"Downloaded setup buffer is smaller that the minimum header size (buf_start:0x%x, length:0x%x)",
             start, length);
        return false;
    case SetupDumpLayout::Problem::BadPrefix:
        TLOG(kLogError, u"Downloaded setup buffer has invalid prefix bytes (buf_start:0x%x, length:0x%x)", start, length);
        return false;
    case SetupDumpLayout::Problem::NoEnd:
        TLOG(kLogError, u"Downloaded setup buffer does not end with F7 (buf_start:0x%x, length:0x%x)", start, length);
        return false;
    case SetupDumpLayout::Problem::NegativeCount:
        TLOG(kLogError, u"Downloaded setup buffer has a negative count (buf_start:0x%x, length:0x%x)", start, length);
        return false;
    case SetupDumpLayout::Problem::ShorterThanHeader:
        TLOG(kLogError, u"Downloaded setup buffer is smaller than header byte counts indicate (buf_start:0x%x, length:0x%x)",
             start, length);
        return false;
    case SetupDumpLayout::Problem::ShorterThanTriggers:
        TLOG(kLogError,
             u"Downloaded setup buffer is smaller than header byte counts + triggers indicate (buf_start:0x%x, "
             u"length:0x%x)",
             start, length);
        return false;
    case SetupDumpLayout::Problem::ShorterThanParts:
        TLOG(kLogError,
             u"Downloaded setup buffer is smaller than header byte counts + triggers + beats indicate (buf_start:0x%x, "
             u"length:0x%x)",
             start, length);
        return false;
    }
    if (!l.hasTriggers) {
        if (triggerCount)
            TLOG(kLogOperation, u"Downloaded setup buffer has no beat triggers or parts");
        return true;
    }
    if (triggerCount)
        *triggerCount = l.triggers;
    if (!l.hasParts) {
        if (partCount)
            TLOG(kLogOperation, u"Downloaded setup buffer has no beat parts");
        return true;
    }
    if (partCount)
        *partCount = l.parts;
    return true;
}

bool SetupBuffer::GetParameter(int channel, ParamRecord* record)
{
    return Access(channel, record, false);
}

bool SetupBuffer::SetParameter(int channel, ParamRecord* record)
{
    return Access(channel, record, true);
}

bool SetupBuffer::Access(int channel, ParamRecord* record, bool write)
{
    if (!record || !Validate(nullptr, nullptr))
        return false;
    const std::optional<Slot> slot = Locate(record->id);
    if (!slot)
        return false;
    const SetupDumpLayout l = SetupDumpLayout::Parse(Bytes(m_dump));

    if (slot->block == Slot::Name) {
        const qsizetype at = qsizetype(SetupDumpLayout::kNameOffset) + slot->index;
        if (write) {
            const int byte = record->value & 0xFF;
            if (byte >= 0x80) {
                TLOG(kLogError, u"Setup name character 0x%x is not 7-bit: not stored", byte);
                return false;
            }
            m_dump[at] = char(byte);
        } else {
            record->previousValue = record->value;
            record->value = std::uint8_t(m_dump[at]);
        }
        return true;
    }

    // The block and the place of the value inside it; a channel, trigger or
    // part the dump does not have is refused, a value its block has no room
    // for reads as 0.
    std::function<std::optional<std::size_t>(int)> offset;
    switch (slot->block) {
    case Slot::Section:
        offset = [&](int i) { return l.SectionValue(slot->section, i); };
        break;
    case Slot::Channel:
        if (channel < 0 || channel >= l.channels)
            return false;
        offset = [&](int i) { return l.ChannelValue(channel, i); };
        break;
    case Slot::Trigger: {
        const int trigger = m_owner->GetCurrentLayer();
        if (trigger < 0 || trigger >= l.triggers)
            return false;
        offset = [&, trigger](int i) { return l.TriggerValue(trigger, i); };
        break;
    }
    case Slot::Part: {
        const int part = m_owner->GetCurrentLayer();
        if (part < 0 || part >= l.parts)
            return false;
        offset = [&, part](int i) { return l.PartValue(part, i); };
        break;
    }
    case Slot::Name:
        break;
    }

    const std::optional<std::size_t> valueAt = offset(slot->index);
    const std::optional<std::size_t> romAt = slot->romIndex >= 0 ? offset(slot->romIndex) : std::nullopt;
    const auto inside = [&](std::size_t at, const char16_t* what) {
        // Both bytes before the F7; the layout guarantees it, a damaged one must not write past it.
        if (at + 2 < std::size_t(m_dump.size()))
            return true;
        TLOG(kLogError, u"Attempt to %s out of range location in setup buffer (msg:0x%x, buf_start:0x%x, length:0x%x",
             what, std::uint32_t(Address(m_dump) + at), Address(m_dump), int(m_dump.size()));
        return false;
    };

    if (write) {
        if (!SysExValue14::Fits(record->value) || (romAt && !SysExValue14::Fits(record->romId))) {
            TLOG(kLogError, u"Value %d of %s does not fit a setup dump: not stored", record->value, record->name);
            return false;
        }
        auto put = [&](std::optional<std::size_t> at, int value) {
            if (!at || !inside(*at, u"write to"))
                return;
            std::uint8_t two[2];
            SysExValue14::Encode(value, two);
            m_dump[qsizetype(*at)] = char(two[0]);
            m_dump[qsizetype(*at + 1)] = char(two[1]);
        };
        put(valueAt, record->value);
        if (slot->romIndex >= 0)
            put(romAt, record->romId);
        return true;
    }
    auto get = [&](std::optional<std::size_t> at) {
        if (!at || !inside(*at, u"read from"))
            return 0;
        return ReadSetupValue(Bytes(m_dump), *at);
    };
    record->previousValue = record->value;
    record->value = get(valueAt);
    if (slot->romIndex >= 0) {
        record->previousRomId = record->romId;
        record->romId = get(romAt);
    }
    return true;
}

bool SetupBuffer::SetDump(const TPtr<_ByteBlock>& dump)
{
    const QByteArray bytes = dump ? dump->ToByteArray() : QByteArray();
    const SetupDumpLayout l = SetupDumpLayout::Parse(Bytes(bytes));
    if (!ValidateDump(bytes, nullptr, nullptr)) {
        TLOG(kLogError, u"Downloaded setup buffer is not valid (buf_start:0x%x, length:0x%x)", Address(bytes),
             int(bytes.size()));
        return false;
    }
    m_dump = bytes;
    m_channelCount = l.channels;
    m_triggerCount = l.hasTriggers ? l.triggers : 0;
    m_partCount = l.hasParts ? l.parts : 0;
    return true;
}

TPtr<_ByteBlock> SetupBuffer::GetDump() const
{
    return m_dump.isEmpty() ? nullptr : MakeByteBlock(m_dump);
}

bool SetupBuffer::LoadEditBuffer()
{
    TLOG(kLogFlow, u"%s()", u"SetupBuffer::LoadEditBuffer");
    ByteBlockList blocks;
    if (GetGlobalConfigurations().GetBool(TestUI)) {
        const QString folder = QCoreApplication::applicationDirPath();
        if (folder.isEmpty())
            return false;
        OleProps properties;
        const QString path = QDir(folder).filePath(QString::fromUtf16(kTestDataFolder) + QLatin1Char('/')
                                                   + QString::fromUtf16(kTestSetupDumpFile));
        if (!DumpFiles(*m_owner).ReadSysExFile(path, blocks, properties) || blocks.empty())
            return false;
    } else if (!SetupArpTuningDumps(*m_owner).DownloadSetup(blocks) || blocks.empty()) {
        return false;
    }
    if (!SetDump(blocks.front()))
        return false;
    int triggers = 0;
    int parts = 0;
    Validate(&triggers, &parts);
    TLOG(kLogOperation, u"Downloaded setup buffer has %d channels, %d triggers and %d parts", m_channelCount, triggers, parts);
    return true;
}

bool SetupBuffer::SaveEditBuffer()
{
    TLOG(kLogFlow, u"%s()", u"SetupBuffer::SaveEditBuffer");
    if (!Validate(nullptr, nullptr))
        return false;
    ByteBlockList blocks{MakeByteBlock(m_dump)};
    if (!SetupArpTuningDumps(*m_owner).UploadSetup(blocks, true))
        return false;
    // The module now holds the dump as sent, with the connection's device id.
    m_dump = blocks.front()->ToByteArray();
    return true;
}

bool SetupBuffer::LoadFile(const QString& path)
{
    TLOG(kLogFlow, u"%s()", u"SetupBuffer::LoadFile");
    ByteBlockList blocks;
    OleProps properties;
    if (!DumpFiles(*m_owner).ReadSysExFile(path, blocks, properties))
        return false; // the reader has said why
    // A setup file is one setup dump and nothing else; the upload refuses
    // anything more without a word, so the user is told here.
    if (!IsOneSetupDump(blocks)) {
        TLOG(kLogError, u"%s holds %d messages, not one setup dump", path, int(blocks.size()));
        ShowMessageWith(m_owner->GetLinkServices().presenter.get(), nullptr, msgbox::Ok | msgbox::IconWarning, false,
                        kStringNotASetupFile, path);
        return false;
    }
    if (!SetupArpTuningDumps(*m_owner).UploadSetup(blocks, true) && !GetGlobalConfigurations().GetBool(TestUI))
        return false;
    if (!SetDump(blocks.front()))
        return false;
    m_owner->ParameterEdit(m_owner->FindParameter(SETUP_RELOAD_NOTIFIER));
    return true;
}

bool SetupBuffer::SaveFile(const QString& path)
{
    TLOG(kLogFlow, u"%s()", u"SetupBuffer::SaveFile");
    if (!Validate(nullptr, nullptr))
        return false;
    OleProps properties;
    properties.title = GetSetupName().trimmed();
    return DumpFiles(*m_owner).WriteSysExFile(path, ByteBlockList{MakeByteBlock(m_dump)}, properties);
}

bool SetupBuffer::RestoreSetup(int setup)
{
    TLOG(kLogFlow, u"%s()", u"SetupBuffer::RestoreSetup");
    if (!m_owner->CopySetup(setup, -1) || !LoadEditBuffer())
        return false;
    m_owner->ParameterEdit(m_owner->FindParameter(SETUP_RELOAD_NOTIFIER));
    return true;
}

bool SetupBuffer::StoreSetup(int setup)
{
    TLOG(kLogFlow, u"%s()", u"SetupBuffer::StoreSetup");
    return m_owner->CopySetup(-1, setup);
}

QString SetupBuffer::GetSetupName() const
{
    if (!Validate(nullptr, nullptr))
        return {};
    QString name;
    for (std::size_t i = 0; i < SetupDumpLayout::kNameLength; ++i)
        name += QChar(std::uint8_t(m_dump[qsizetype(SetupDumpLayout::kNameOffset + i)]));
    return name;
}
