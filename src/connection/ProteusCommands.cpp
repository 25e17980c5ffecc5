// Single commands of the module: front-panel buttons inside a session, the
// display's text, finding a preset by name, copies inside the module,
// randomising the edit buffer and MIDI Tuning Standard single-note changes.
#include "connection/Proteus.h"

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "module/ParameterIds.h"
#include "module/ReplyBytes.h"
#include "module/StackedProgress.h"
#include "module/ValueFormats.h"
#include "platform/Clock.h"

#include <algorithm>
#include <array>

namespace {

// String-table entries this file shows.
constexpr unsigned kStringArpParameters = 252;        // "Arp Parameters", the arp read's progress
constexpr unsigned kStringRestoreScanFailed = 158;    // the device id could not be corrected: no scan
constexpr unsigned kStringRestoreDuplicateIds = 159;  // ... several devices share the device id
constexpr unsigned kStringRestoreSeveralMatch = 160;  // ... several devices look like this module
constexpr unsigned kStringRestoreNoneMatch = 161;     // ... no device looks like this module

// Front panel: F0 18 0F dd 55 40 sub ... F7.
constexpr int kOpenSession = 0x10;
constexpr int kCloseSession = 0x11;
constexpr int kButton = 0x20;
constexpr int kButtonDown = 1;
constexpr int kButtonUp = 0;
constexpr int kHomeButton = 1;     // brings the display towards the channel screen
constexpr int kAuditionButton = 4; // plays the audition note
constexpr int kModeLooks = 4;

// Screen dump after its header F0 18 0F dd 55 1A 01: one unused byte, the
// display's width, the length of the character table, the table (the
// user-defined characters 0-7), then the first row; the second row starts
// 24 bytes after the first.
constexpr std::uint8_t kScreenDumpSub = 0x01;
constexpr unsigned kScreenCapacity = 66;
constexpr std::size_t kScreenColumnsAt = 1;
constexpr std::size_t kScreenTableLengthAt = 2;
constexpr std::size_t kScreenTableAt = 3;
constexpr std::size_t kScreenRowDistance = 24;
constexpr int kUserCharacters = 8;

// The display's bank field on the channel screen.
constexpr int kBankFieldCount = 6;
constexpr unsigned kBankFieldColumn = 19;
constexpr char16_t kUserBankField[] = u"User ";

// MIDI Tuning Standard real-time single-note change: F0 7F dd 08 02 tuning count
// (key semitone fine-high fine-low)... F7.
constexpr int kUniversalRealTime = 0x7F;
constexpr int kMidiTuning = 0x08;
constexpr int kSingleNoteChange = 0x02;
constexpr double kCentsPerFineStep = 0.0061;

// "bank:number" of a preset as the module shows it.
QString PresetNumberText(int number) { return Format(u"%d:%03d", number / 128, number % 128); }

// The channel screen: "C" and two digits (then a letter on a 32-channel
// module), or a bank screen.
bool IsChannelScreen(const QString& text, bool channels32)
{
    if (text.startsWith(u"Bank"))
        return true;
    if (text.size() < 3 || text[0] != u'C' || !text[1].isDigit() || !text[2].isDigit())
        return false;
    return !channels32 || (text.size() >= 4 && text[3].isLetter());
}

} // namespace

// ---- Front panel ----------------------------------------------------------------------------

Proteus::FrontPanelSession::FrontPanelSession(Proteus& owner, const QString& openFailure, const QString& closeFailure)
    : m_owner(owner), m_closeFailure(closeFailure)
{
    if (!m_owner.ReadyToSend(QStringLiteral("Proteus::FrontPanelSession")))
        return;
    ModuleSysExMessage open(m_owner.GetDeviceId(), CMD_FRONT_PANEL);
    open.AddByte(kOpenSession);
    if (!m_owner.SendSysEx(open)) {
        TLOG(kLogError, u"%s", openFailure);
        return;
    }
    m_open = true;
}

Proteus::FrontPanelSession::~FrontPanelSession()
{
    Close();
}

bool Proteus::FrontPanelSession::Close()
{
    if (!m_open)
        return true;
    m_open = false;
    ModuleSysExMessage close(m_owner.GetDeviceId(), CMD_FRONT_PANEL);
    close.AddByte(kCloseSession);
    if (!m_owner.SendSysEx(close)) {
        TLOG(kLogError, u"%s", m_closeFailure);
        return false;
    }
    return true;
}

bool Proteus::SendFrontPanelButton(int button, int state, const QString& sendFailure, const QString& echoFailure)
{
    ModuleSysExMessage message(GetDeviceId(), CMD_FRONT_PANEL);
    message.AddByte(kButton).AddValue14(button).AddByte(state);
    // The module echoes the whole message; a module error answers it as well.
    const ReplyResult result = Exchange(message, {CMD_FRONT_PANEL, message.Bytes(), 0});
    if (result.NotSent()) {
        TLOG(kLogError, u"%s", sendFailure);
        return false;
    }
    if (!result.Answered()) {
        TLOG(kLogError, u"%s", echoFailure);
        return false;
    }
    return true;
}

bool Proteus::ClickButton(int button)
{
    TLOG(kLogFlow, u"%s(%d)", u"Proteus::ClickButton", button);
    TLOG(kLogOperation, u"Clicking Button %d", button);
    if (!ReadyToSend(QStringLiteral("Proteus::ClickButton")))
        return false;
    return SendFrontPanelButton(button, kButtonDown, Format(u"Failed to send Button Down %d", button),
                                Format(u"No response to Button Down %d", button))
        && SendFrontPanelButton(button, kButtonUp, Format(u"Failed to send Button Up %d", button),
                                Format(u"No response to Button Up %d", button));
}

bool Proteus::PlayAudition()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::PlayAudition");
    FrontPanelSession session(*this, QStringLiteral("Failed to send Open Session"),
                              QStringLiteral("Failed to send Close Session"));
    if (!session.IsOpen())
        return false;
    // A failed click still closes the session (on the way out).
    if (!ClickButton(kAuditionButton))
        return false;
    return session.Close();
}

bool Proteus::CheckMode()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::CheckMode");
    if (!HasCapability(CAP_LCD_INTERROGATION))
        return true;
    FrontPanelSession session(*this, QStringLiteral("Failed to send Open Session (Mode Check)"),
                              QStringLiteral("Failed to send Close Session (Mode Check)"));
    if (!session.IsOpen())
        return false;
    const bool channels32 = HasCapability(CAP_32_CHANNELS);
    bool found = false;
    for (int look = 0; look < kModeLooks && !found; ++look) {
        QString text;
        if (!ScreenDump(text, 5, 0, 0))
            return false;
        found = IsChannelScreen(text, channels32);
        if (!found && !ClickButton(kHomeButton))
            return false;
    }
    if (!session.Close())
        return false;
    if (!found) {
        TLOG(kLogError, u"Failed to Force Screen Mode to Normal");
        return false;
    }
    return true;
}

// ---- Display --------------------------------------------------------------------------------

bool Proteus::ScreenDump(QString& text, int count, int row, unsigned column)
{
    TLOG(kLogFlow, u"%s(%d, %d, %u)", u"Proteus::ScreenDump", count, row, column);
    if (!ReadyToSend(QStringLiteral("Proteus::ScreenDump")))
        return false;
    // These failures are logged even while warnings are suppressed.
    ModuleSysExMessage request(GetDeviceId(), CMD_SCREEN_DUMP_REQUEST);
    request.AddByte(kScreenDumpSub);
    const ReplyResult result = Exchange(
        request, {CMD_SCREEN_DUMP_REQUEST, ModuleReplyHeader(GetDeviceId(), CMD_SCREEN_DUMP, kScreenDumpSub),
                  unsigned(kScreenCapacity)});
    if (result.NotSent()) {
        TLOG(kLogError, u"Failed to send Screen Dump command - character count %d, row %d, col %d", count, row, column);
        return false;
    }
    if (!result.Answered()) {
        TLOG(kLogError, u"No response to Screen Dump command - character count %d, row %d, col %d", count, row, column);
        return false;
    }
    if (!result.Replied()) {
        TLOG(kLogNotice, u"Error received for ScreenDump - character count %d, row %d, col %d", count, row, column);
        return false;
    }

    const std::uint8_t* reply = result.Data();
    const unsigned data = ReplyDataBytes(reply, result.Size());
    auto shortReply = [&](std::int64_t needed) {
        TLOG(kLogError, u"Short reply to Screen Dump command - character count %d, row %d, col %d: %u data bytes where %lld are needed",
             count, row, column, data, needed);
        return false;
    };
    if (data < kScreenTableAt)
        return shortReply(std::int64_t(kScreenTableAt));
    const int columns = reply[kScreenColumnsAt];
    const int tableLength = reply[kScreenTableLengthAt];
    // The count (terminator included) is cut to what the row holds from the
    // column on; the last position is the terminator's.
    const std::int64_t n = std::max<std::int64_t>(1, std::min<std::int64_t>(count, std::int64_t(columns) - column + 1));
    const std::int64_t characters = n - 1;
    const std::size_t rowAt = kScreenTableAt + std::size_t(tableLength) + (row == 1 ? kScreenRowDistance : 0);
    if (characters > 0 && std::int64_t(data) < std::int64_t(rowAt) + column + characters)
        return shortReply(std::int64_t(rowAt) + column + characters);
    QString shown;
    for (std::int64_t i = 0; i < characters; ++i) {
        int code = reply[rowAt + column + std::size_t(i)];
        if (code < kUserCharacters) {
            if (code >= tableLength) {
                TLOG(kLogError, u"Screen Dump reply shows user character %d, which its table of %d lacks", code, tableLength);
                return false;
            }
            code = reply[kScreenTableAt + std::size_t(code)];
        }
        shown += QChar(char16_t(code));
    }
    text = shown;
    return true;
}

bool Proteus::FindPreset(const QString& name, int& romId, int& presetNumber)
{
    TLOG(kLogFlow, u"%s(%s)", u"Proteus::FindPreset", name);
    romId = 0;
    presetNumber = 0;
    // The channel screen's bank field says which bank the module plays from.
    QString bank;
    if (HasCapability(CAP_LCD_INTERROGATION) && !GetSkipScreenDump() && CheckMode())
        if (!ScreenDump(bank, kBankFieldCount, 0, kBankFieldColumn))
            bank.clear();
    for (const SimmSlot& slot : hardwareConfig.GetSimms()) {
        if (bank == kUserBankField ? slot.simmId != 0 : (!bank.isEmpty() && slot.simmId == 0))
            continue;
        for (int i = 0; i < slot.presets; ++i) {
            if (GetSimmObjectName(OBJECT_PRESET, slot.simmId, i) == name) {
                romId = slot.simmId;
                presetNumber = i;
                return true;
            }
        }
    }
    return false;
}

// ---- Arp pattern ------------------------------------------------------------------------------

bool Proteus::ReadArpData(ArpPatternData& data)
{
    TLOG(kLogFlow, u"%s()", u"Proteus::ReadArpData");
    TLOG(kLogOperation, u"Reading Arp Data");
    if (!ReadyToSend(QStringLiteral("Proteus::ReadArpData")))
        return false;
    StackedProgress progress(this, true, 0, ArpPatternData::kNameLength + ArpPatternData::kSteps, u"%s",
                             LoadResourceString(kStringArpParameters));
    // A value that could not be read is no value: the read stops there and
    // fails rather than hand on what a record held before.
    auto read = [this](ParameterId id, int& value) {
        ParamRecord* record = FindParameter(id);
        if (!ParameterRequest(record))
            return false;
        value = record->value;
        return true;
    };
    for (int i = 0; i < ArpPatternData::kNameLength; ++i) {
        int value = 0;
        if (!read(ARP_NAME_CHAR_0 + i, value))
            return false;
        data.name[std::size_t(i)] = char16_t(value & 0xFFFF);
        progress.Step();
    }
    data.name[ArpPatternData::kNameLength] = 0;
    for (int step = 0; step < ArpPatternData::kSteps; ++step) {
        ParamRecord* select = FindParameter(ARP_PATTERN_STEP_SELECT);
        select->previousValue = select->value;
        select->value = step;
        ArpPatternData::Step& s = data.steps[std::size_t(step)];
        if (!ParameterEdit(select) || !read(ARP_STEP_KEY_OFFSET, s.keyOffset) || !read(ARP_STEP_VELOCITY, s.velocity)
            || !read(ARP_STEP_DURATION, s.duration) || !read(ARP_STEP_REPEAT, s.repeat))
            return false;
        progress.Step();
    }
    return true;
}

// ---- Copies -------------------------------------------------------------------------------

bool Proteus::CopyPreset(int command, int sourceRomId, int sourcePreset, int sourceLayer, int destinationPreset,
                         int destinationLayer)
{
    TLOG(kLogFlow, u"%s(%d, %d, %d, %d, %d, %d)", u"Proteus::CopyPreset", command, sourceRomId, sourcePreset, sourceLayer,
         destinationPreset, destinationLayer);
    TLOG(kLogOperation, u"Copy Preset (sub-request %d) - %s(%d) to User %s(%d)", command,
         GetSimmObjectName(OBJECT_PRESET, sourceRomId, sourcePreset), sourceLayer, PresetNumberText(destinationPreset),
         destinationLayer);
    if (!IsLayerCopyCommand(command))
        return CopyPreset(command, sourceRomId, sourcePreset, destinationPreset);
    if (!ReadyToSend(QStringLiteral("Proteus::CopyPreset")))
        return false;
    ModuleSysExMessage message(GetDeviceId(), command);
    message.AddValue14(sourcePreset)
        .AddValue14(sourceLayer)
        .AddValue14(destinationPreset)
        .AddValue14(destinationLayer)
        .AddValue14(sourceRomId);
    if (!SendSysEx(message)) {
        TLOG(kLogError, u"Failed to send Copy Preset Layer Request");
        return false;
    }
    return true;
}

bool Proteus::CopyPreset(int command, int sourceRomId, int sourcePreset, int destinationPreset)
{
    TLOG(kLogFlow, u"%s(%d, %d, %d, %d)", u"Proteus::CopyPreset", command, sourceRomId, sourcePreset, destinationPreset);
    // Any other byte here would be another command of the module, with these
    // numbers read as its own.
    if (!IsPresetCopyCommand(command) || IsLayerCopyCommand(command)) {
        TLOG(kLogError, u"Refused Copy Preset Request: 0x%02x is not a preset copy command", command);
        return false;
    }
    if (!ReadyToSend(QStringLiteral("Proteus::CopyPreset")))
        return false;
    ModuleSysExMessage message(GetDeviceId(), command);
    message.AddValue14(sourcePreset).AddValue14(destinationPreset).AddValue14(sourceRomId);
    if (!SendSysEx(message)) {
        TLOG(kLogError, u"Failed to send Copy Preset Request");
        return false;
    }
    // The module stores a copy before it takes the next request; the edit
    // buffer needs no storing.
    if (destinationPreset != -1)
        GetPortServices().Clock().SleepMs(GetWriteDelay());
    return true;
}

bool Proteus::CopyArp(int destinationArp, int sourceRomId, int sourceArp)
{
    TLOG(kLogFlow, u"%s(%d, %d, %d)", u"Proteus::CopyArp", destinationArp, sourceRomId, sourceArp);
    TLOG(kLogOperation, u"Copy Arp %s to User %d", GetSimmObjectName(OBJECT_ARP, sourceRomId, sourceArp), destinationArp);
    if (!ReadyToSend(QStringLiteral("Proteus::CopyArp")))
        return false;
    ModuleSysExMessage message(GetDeviceId(), CMD_COPY_ARP);
    message.AddValue14(sourceArp).AddValue14(destinationArp).AddValue14(sourceRomId);
    if (!SendSysEx(message)) {
        TLOG(kLogError, u"Failed to send Copy Arp Request");
        return false;
    }
    GetPortServices().Clock().SleepMs(GetWriteDelay());
    return true;
}

bool Proteus::CopySetup(int source, int destination)
{
    TLOG(kLogFlow, u"%s(%d, %d)", u"Proteus::CopySetup", source, destination);
    TLOG(kLogOperation, u"Copy Setup %d to %d", source, destination);
    if (!ReadyToSend(QStringLiteral("Proteus::CopySetup")))
        return false;
    ModuleSysExMessage message(GetDeviceId(), CMD_COPY_SETUP);
    message.AddValue14(source).AddValue14(destination);
    if (!SendSysEx(message)) {
        TLOG(kLogError, u"Failed to send Copy Setup Request");
        return false;
    }
    if (destination != -1)
        return true;

    // The setup now in the edit buffer may have moved the module to another
    // device id. Still answering under the old one: nothing moved.
    {
        SuppressWarningMessages quiet(this); // no answer is expected when the module has moved
        if (ParameterRequest(FindParameter(MASTER_MIDI_ID)))
            return true;
    }
    std::vector<std::pair<int, ScannedDevice>> devices;
    bool duplicate = false;
    if (!ScanDevices(devices, duplicate)) {
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kStringRestoreScanFailed);
        return false;
    }
    if (duplicate) {
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kStringRestoreDuplicateIds);
        return false;
    }
    ScannedDevice signature;
    GetDeviceSignature(signature);
    int found = -1;
    int matches = 0;
    for (const auto& [deviceId, device] : devices) {
        if (device == signature) {
            found = deviceId;
            ++matches;
        }
    }
    if (matches > 1) {
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kStringRestoreSeveralMatch);
        return false;
    }
    if (matches == 0) {
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kStringRestoreNoneMatch);
        return false;
    }
    return SetDeviceId(found);
}

// ---- Randomise and tuning -------------------------------------------------------------------

bool Proteus::RandomiseEditBuffer()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::RandomiseEditBuffer");
    TLOG(kLogOperation, u"Randomising Edit Buffer");
    if (!ReadyToSend(QStringLiteral("Proteus::RandomiseEditBuffer")))
        return false;
    ModuleSysExMessage message(GetDeviceId(), CMD_RANDOMISE);
    message.AddValue14(-1).AddValue14(0);
    if (!SendSysEx(message)) {
        TLOG(kLogError, u"Failed to send Randomise Edit Buffer");
        return false;
    }
    GetPortServices().Clock().SleepMs(GetWriteDelay());
    return true;
}

bool Proteus::SendSingleNoteTuningChanges(int tuning, const std::vector<SingleNoteTuningChange>& changes)
{
    TLOG(kLogFlow, u"%s(%d, %d)", u"Proteus::SendSingleNoteTuningChanges", tuning, int(changes.size()));
    if (!ReadyToSend(QStringLiteral("Proteus::SendSingleNoteTuningChanges")))
        return false;
    // The count is one data byte: more changes than it can name go out in
    // further messages.
    std::size_t next = 0;
    do {
        const std::size_t chunk = std::min<std::size_t>(changes.size() - next, kMaxTuningChangesPerMessage);
        SysExMessage message;
        message.AddByte(kUniversalRealTime).AddByte(GetDeviceId()).AddByte(kMidiTuning).AddByte(kSingleNoteChange);
        message.AddByte(tuning).AddByte(int(chunk));
        for (std::size_t i = next; i < next + chunk; ++i) {
            const SingleNoteTuningChange& change = changes[i];
            const int key = std::clamp(change.key, 0, 127);
            const int semitone = std::clamp(change.semitone, 0, 127);
            const int fineHigh = change.fineHigh & 0x7F;
            const int fineLow = change.fineLow & 0x7F;
            TLOG(kLogOperation, u"Single Note Change Tuning %d - Key %s Base %s %lf cents", tuning, FormatNoteName(key),
                 FormatNoteName(semitone), (fineHigh * 128 + fineLow) * kCentsPerFineStep);
            message.AddByte(key).AddByte(semitone).AddByte(fineHigh).AddByte(fineLow);
        }
        if (!SendSysEx(message)) {
            TLOG(kLogError, u"Failed to send Tuning changes");
            return false;
        }
        next += chunk;
    } while (next < changes.size());
    return true;
}
