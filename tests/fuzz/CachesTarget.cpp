// The two cache documents, each loaded from any bytes: the key-map cache
// (layers and riffs per ROM preset) and the configuration cache (object names
// per SIMM, parameter ranges). What the look-ups read, and what the setters
// store, reads back the same after a save and a new load. Bit 0 of the first
// byte picks the cache; the rest is the file.
#include "FuzzSession.h"

#include "core/XMLDocument.h"
#include "dump/ConfigurationCache.h"
#include "module/ParameterCache.h"
#include "module/ParameterIds.h"
#include "module/SimmData.h"
#include "module/StackedProgress.h"

#include <QDir>
#include <QFile>

#include <climits>

namespace {

using LayerKeyData = Proteus::LayerKeyData;

// Up to eight distinct numbers of an attribute over the elements an XPath selects.
std::vector<int> Numbers(const XMLDocument& doc, QStringView xpath, QStringView attribute)
{
    std::vector<int> out;
    const XMLElement root = doc.GetDocumentElement();
    std::vector<XMLNode> nodes;
    if (root.IsNull() || !root.SelectNodes(xpath, nodes))
        return out;
    for (const XMLNode& n : nodes) {
        const int v = XMLElement(n).GetAttribute(attribute).toInt();
        if (std::find(out.begin(), out.end(), v) == out.end())
            out.push_back(v);
        if (out.size() >= 8)
            break;
    }
    return out;
}

QString LayerView(Proteus& p, XMLDocument& doc, const std::vector<int>& simms, const std::vector<int>& presets)
{
    QString view;
    for (int simm : simms)
        for (int preset : presets) {
            for (int layer = 0; layer < 4; ++layer) {
                LayerKeyData d;
                if (p.GetLayerCacheData(doc, simm, preset, layer, d))
                    view += QStringLiteral("%1 %2 %3 %4 %5 %6;").arg(d.simm).arg(d.instrument).arg(d.keyLow)
                                .arg(d.keyHigh).arg(d.noTranspose).arg(d.transpose);
                else
                    view += u'-';
            }
            int riffSimm = 0;
            int riffNumber = 0;
            QString riffName;
            if (p.GetRiffCacheData(doc, simm, preset, riffSimm, riffNumber, riffName))
                view += QStringLiteral("r%1 %2 %3;").arg(riffSimm).arg(riffNumber).arg(riffName);
            view += u'\n';
        }
    return view;
}

void KeymapCache(fuzz::SimSession& s, const QString& path)
{
    Proteus& p = *s.proteus;
    XMLDocument doc;
    FUZZ_CHECK(doc.Create());
    if (!doc.Load(path))
        return;
    std::vector<int> simms = Numbers(doc, u"./SIMM", u"ID");
    std::vector<int> presets = Numbers(doc, u"./SIMM/PRESET", u"ID");
    simms.push_back(1);
    presets.push_back(0);
    LayerView(p, doc, simms, presets);

    // Stored numbers, the extremes among them, read back as stored.
    const LayerKeyData stored{INT_MAX, INT_MIN, -1, 128, 1, -48};
    LayerKeyData back;
    if (p.SetLayerCacheData(doc, simms.front(), presets.front(), 2, stored)) {
        FUZZ_CHECK(p.GetLayerCacheData(doc, simms.front(), presets.front(), 2, back));
        FUZZ_CHECK(back.simm == stored.simm && back.instrument == stored.instrument && back.keyLow == stored.keyLow
                   && back.keyHigh == stored.keyHigh && back.noTranspose == stored.noTranspose
                   && back.transpose == stored.transpose);
    }
    if (p.SetRiffCacheData(doc, simms.front(), presets.front(), 3, INT_MAX, QStringLiteral("BTS-a&b"))) {
        int riffSimm = 0;
        int riffNumber = 0;
        QString name;
        FUZZ_CHECK(p.GetRiffCacheData(doc, simms.front(), presets.front(), riffSimm, riffNumber, name));
        FUZZ_CHECK(riffSimm == 3 && riffNumber == INT_MAX);
    }
    const QString view = LayerView(p, doc, simms, presets);
    const QString copy = path + QStringLiteral(".saved");
    FUZZ_CHECK(doc.Save(copy));
    XMLDocument again;
    FUZZ_CHECK(again.Create() && again.Load(copy));
    FUZZ_CHECK(LayerView(p, again, simms, presets) == view);
}

// The configuration cache's names of one SIMM and the ranges of a few
// parameters, as the connection reads them.
struct Config {
    std::vector<QStringList> names; // per kind
    std::vector<std::array<int, 4>> ranges;
    bool operator==(const Config&) const = default;
};

const int kParameters[] = {MASTER_TRANSPOSE, MASTER_TUNE, MASTER_MIDI_ID, MULTIMODE_VOLUME};

Config ReadConfig(Proteus& p, const XMLElement& simm, const XMLElement& parameters, TPtr<_SimmData>& data)
{
    Config c;
    data = new _SimmData(1, 8, 8, 8, 8, 8, 8, 0);
    for (int kind = OBJECT_PRESET; kind <= OBJECT_RIFF; ++kind) {
        if (!simm.IsNull())
            FUZZ_CHECK(p.ReadObjectNames(data, kind, simm, cachedoc::ObjectElementName(kind)));
        QStringList names;
        for (int i = 0; i < data->GetCount(ObjectKind(kind)); ++i)
            names << data->GetName(ObjectKind(kind), i);
        c.names.push_back(names);
    }
    if (!parameters.IsNull()) {
        ParameterCache records;
        for (int id : kParameters)
            if (ParamRecord* r = p.FindParameter(id); r && r->id == id)
                records.InsertOrOverwrite(*r);
        StackedProgress progress(&p, false, 0, 0, u"");
        p.ReadParameterElements(progress, {}, records, parameters, true);
        for (const auto& [id, r] : records)
            c.ranges.push_back({r.minimum, r.maximum, r.defaultValue, r.readOnly ? 1 : 0});
    }
    return c;
}

void ConfigurationCache(fuzz::SimSession& s, const QString& path)
{
    Proteus& p = *s.proteus;
    XMLDocument doc;
    FUZZ_CHECK(doc.Create());
    if (!doc.Load(path) || doc.GetDocumentElement().IsNull())
        return;
    const XMLElement root = doc.GetDocumentElement();
    TPtr<_SimmData> data;
    const Config first = ReadConfig(p, root.SelectSingleNode(u"./SIMMS/SIMM"), root.SelectSingleNode(u"./PARAMETERS"), data);

    // Written back as the cache is built, saved and loaded: the same names and ranges.
    XMLDocument built;
    FUZZ_CHECK(built.Create() && built.LoadXML(cachedoc::kDocumentText));
    XMLElement builtRoot = built.GetDocumentElement();
    XMLElement simm = built.CreateElement(cachedoc::kSimm);
    FUZZ_CHECK(builtRoot.AppendChild(simm));
    for (int kind = OBJECT_PRESET; kind <= OBJECT_RIFF; ++kind)
        FUZZ_CHECK(p.WriteObjectNames(data, kind, simm, cachedoc::ObjectElementName(kind)));
    XMLElement parameters = built.CreateElement(cachedoc::kParameters);
    FUZZ_CHECK(builtRoot.AppendChild(parameters));
    ParameterCache records;
    for (int id : kParameters)
        if (ParamRecord* r = p.FindParameter(id); r && r->id == id)
            records.InsertOrOverwrite(*r);
    // The ranges just read, as they stand.
    {
        std::size_t i = 0;
        for (auto& [id, r] : records) {
            if (i < first.ranges.size()) {
                r.minimum = first.ranges[i][0];
                r.maximum = first.ranges[i][1];
                r.defaultValue = first.ranges[i][2];
                r.readOnly = first.ranges[i][3] != 0;
            }
            ++i;
        }
    }
    FUZZ_CHECK(p.WriteParameterElements(records, parameters, true));
    const QString copy = path + QStringLiteral(".saved");
    FUZZ_CHECK(built.Save(copy));
    XMLDocument again;
    FUZZ_CHECK(again.Create() && again.Load(copy));
    const XMLElement againRoot = again.GetDocumentElement();
    TPtr<_SimmData> data2;
    Config second = ReadConfig(p, againRoot.SelectSingleNode(u"./SIMM"), againRoot.SelectSingleNode(u"./PARAMETERS"), data2);
    if (first.ranges.empty())
        second.ranges.clear();
    FUZZ_CHECK(second == first);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    fuzz::Init();
    const QString path = QDir(fuzz::ScratchFolder()).filePath(QStringLiteral("cache.xml"));
    {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::WriteOnly) && f.write(reinterpret_cast<const char*>(data + 1), qint64(size - 1)) == qint64(size - 1));
    }
    fuzz::SimSession s;
    if (data[0] & 1)
        ConfigurationCache(s, path);
    else
        KeymapCache(s, path);
    return 0;
}
