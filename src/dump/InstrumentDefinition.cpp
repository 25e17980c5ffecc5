// The instrument definition export: the text of the .ins file and
// Proteus::WriteInstrumentDefinitionFile.

#include "dump/InstrumentDefinition.h"

#include "dump/DumpFiles.h"

#include "core/Codepage.h"
#include "core/Format.h"
#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "dump/InstrumentDefinition.h"
#include "module/ProteusData.h"
#include "platform/SafeFile.h"

namespace {

constexpr unsigned kCannotOpenString = 272; // "Failed to open instrument definition file"
/// Every piece of the file is formatted into a buffer of this many characters, one kept for the end.
constexpr qsizetype kPieceCapacity = 4096;

const struct {
    int number;
    const char16_t* text;
} kFixedControllers[] = {
    {1, u"Modulation"},           {5, u"Portamento Time"},       {7, u"Volume"},
    {10, u"Pan"},                 {11, u"Expression"},           {120, u"All Sounds Off"},
    {121, u"Reset All Controllers"}, {123, u"All Notes Off"},   {124, u"Omni Mode Off"},
    {125, u"Omni Mode On"},       {126, u"Poly Mode Off"},       {127, u"Poly Mode On"},
};

class InsText {
public:
    void Line(const QString& text = QString()) { m_text += text.left(kPieceCapacity - 1) + QStringLiteral("\r\n"); }
    void Rule() { Line(QStringLiteral("; ") + QString(70, u'-')); }
    const QString& Text() const { return m_text; }

private:
    QString m_text;
};

int BankNumber(int simmId, int preset)
{
    const ModuleLink::PresetSelect s = ModuleLink::SplitPresetNumber(simmId, preset);
    return s.msb * 128 + s.lsb;
}

void KeyLines(InsText& out, const KeyMapData& map)
{
    int index = 0;
    const int count = int(map.size());
    for (const Key& key : map) {
        if (index == 0)
            out.Line(Format(u"%d=%s", key.highKey, key.text));
        else if (index == count - 1)
            out.Line(Format(u"%d=%s", key.lowKey, key.text));
        else
            for (int k = key.lowKey; k <= key.highKey; ++k)
                out.Line(Format(u"%d=%s", k, key.text));
        ++index;
    }
}

} // namespace

std::set<QString> RomPresetNames(const ProteusData& data)
{
    std::set<QString> names;
    for (const SimmSlot& slot : data.hardwareConfig.GetSimms()) {
        const _SimmData* simm = slot.simmId == 0 ? nullptr : data.FindSimmData(slot.simmId);
        if (!simm)
            continue; // the user bank, or a SIMM whose names were never read
        for (int i = 0; i < slot.presets; ++i)
            names.insert(simm->GetName(OBJECT_PRESET, i));
    }
    return names;
}

std::map<int, QString> InstrumentControllerNames(const std::vector<RealTimeControllerName>& rows,
                                                 const std::map<QString, QString>& mappedNames)
{
    std::map<int, QString> names;
    for (const auto& c : kFixedControllers)
        names[c.number] = QString::fromUtf16(c.text);
    for (const RealTimeControllerName& row : rows) {
        if (names.count(row.number))
            continue; // a fixed name, or an earlier row on the same number, stays
        const auto mapped = mappedNames.find(row.letter);
        names[row.number] = row.letter + QStringLiteral(": ")
            + (mapped != mappedNames.end() && !mapped->second.isEmpty() ? mapped->second : row.label);
    }
    return names;
}

QString KeyMapSectionName(const ProteusData& data, const QString& deviceName, int simmId, int preset)
{
    const _SimmData* simm = data.FindSimmData(simmId);
    const QString presetName = simm ? simm->GetName(OBJECT_PRESET, preset) : QString::number(preset);
    QString name = Format(u"%s %s %s", deviceName, data.GetSimmName(simmId), presetName);
    for (QChar& c : name)
        if (c == u':' || c == u'=' || c == u'[' || c == u']' || c == u'&' || c == u'*')
            c = u' ';
    return name;
}

QString BuildInstrumentDefinition(const ProteusData& data, const InstrumentDefinitionInput& in)
{
    InsText out;
    const std::set<QString> romNames = in.uniqueOnly ? RomPresetNames(data) : std::set<QString>();
    QStringList patchLines;

    out.Rule();
    out.Line();
    out.Line(QStringLiteral(".Patch Names"));
    out.Line();
    for (const auto& [simmId, simm] : data.simmMap) {
        if (!simm)
            continue;
        QString simmName = data.GetSimmName(simmId);
        if (simmName.isEmpty())
            simmName = QStringLiteral("Unknown");
        const int count = simm->GetCount(OBJECT_PRESET);
        for (int k = 0; 128 * k < count; ++k) {
            const QString bankName = Format(u"%s %d", simmName, k);
            bool headed = false;
            for (int p = 0; p < 128; ++p) {
                const QString name = simm->GetName(OBJECT_PRESET, 128 * k + p).trimmed();
                if (!in.includeNoCategory && name.startsWith(u':'))
                    continue;
                if (in.uniqueOnly && simmId == 0 && romNames.count(name))
                    continue;
                if (!headed) {
                    headed = true;
                    out.Line(Format(u"[%s %s]", in.deviceName, bankName));
                    patchLines << Format(u"Patch[%d]=%s %s", BankNumber(simmId, 128 * k), in.deviceName, bankName);
                }
                QString escaped = name;
                escaped.replace(u'&', QStringLiteral("&&"));
                out.Line(Format(u"%d=%s", p, escaped));
            }
            out.Line();
        }
    }

    out.Rule();
    out.Line();
    out.Line(QStringLiteral(".Controller Names"));
    out.Line(Format(u"[%s]", in.deviceName));
    for (const auto& [number, text] : in.controllers)
        out.Line(QString::number(number) + u'=' + text);
    out.Line();

    if (in.insertKeyMaps) {
        out.Rule();
        out.Line();
        out.Line(QStringLiteral(".Note Names"));
        out.Line();
        for (const InstrumentKeyMap& map : in.keyMaps) {
            out.Line(Format(u"[%s]", KeyMapSectionName(data, in.deviceName, map.simmId, map.preset)));
            KeyLines(out, map.keyMap);
            out.Line();
        }
        out.Line(Format(u"[%s Beats Triggers]", in.deviceName));
        KeyLines(out, in.beatKeyMap);
        out.Line();
        out.Line();
    }

    out.Rule();
    out.Line();
    out.Line(QStringLiteral(".Instrument Definitions"));
    out.Line();
    out.Line(Format(u"[%s]", in.deviceName));
    out.Line(Format(u"Control=%s", in.deviceName));
    for (const QString& line : patchLines)
        out.Line(line);
    if (in.insertKeyMaps) {
        for (const InstrumentKeyMap& map : in.keyMaps) {
            const ModuleLink::PresetSelect s = ModuleLink::SplitPresetNumber(map.simmId, map.preset);
            out.Line(Format(u"Key[%d,%d]=%s", s.msb * 128 + s.lsb, s.program,
                            KeyMapSectionName(data, in.deviceName, map.simmId, map.preset)));
        }
        if (in.arpsAndBeats)
            out.Line(Format(u"Key[1536,*]=%s Beats Triggers", in.deviceName));
    }
    out.Line();
    out.Line();
    return out.Text();
}

bool InstrumentDefinitionExport::WriteInstrumentDefinitionFile(const QString& path, const QString& deviceName, bool uniqueOnly,
                                            bool includeNoCategory, bool insertKeyMaps, bool beatsTriggers)
{
    TLOG(kLogFlow, u"%s()", u"Proteus::WriteInstrumentDefinitionFile");
    InstrumentDefinitionInput in;
    in.deviceName = deviceName;
    in.uniqueOnly = uniqueOnly;
    in.includeNoCategory = includeNoCategory;
    in.insertKeyMaps = insertKeyMaps;
    in.arpsAndBeats = m_link.HasCapability(CAP_ARPS_AND_BEATS);

    if (insertKeyMaps
        && !CollectInstrumentKeyMaps(beatsTriggers, uniqueOnly, RomPresetNames(m_data), in.keyMaps, in.beatKeyMap))
        return false; // reported by the collection; no file is touched

    std::vector<RealTimeControllerName> rows;
    for (const ModuleLink::RealTimeControllerRow& row : m_link.GetRealTimeControllers()) {
        if (row.needs16Controllers && !m_link.HasCapability(CAP_16_CONTROLLERS))
            continue;
        rows.push_back({m_link.FindParameter(row.id)->value, QString::fromUtf16(row.letter), QString::fromUtf16(row.label)});
    }
    std::map<QString, QString> mapped;
    if (GlobalResources* resources = TheGlobalResources())
        resources->GetControllerNames(GetGlobalConfigurations().KeyName(), mapped);
    in.controllers = InstrumentControllerNames(rows, mapped);

    // Built whole, then written whole: a failed write leaves any older file as it was.
    const QByteArray bytes = UnicodeToAnsi(BuildInstrumentDefinition(m_data, in));
    const platform::FileWriteResult written = platform::WriteFileWhole(path, bytes);
    if (!written.opened) {
        TLOG(kLogError, u"Failed to open instrument definition file %s: %s", path, written.reason);
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kCannotOpenString);
        return false;
    }
    if (!written)
        return DumpFiles(m_link).ReportDumpFailure(QStringLiteral("write instrument definition file"), written.reason);
    return DumpFiles(m_link).WriteOleProps(path, OleProps());
}
