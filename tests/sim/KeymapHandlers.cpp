// The preset section (0x10) and layer section (0x21) dumps with the values an
// editor reads for key maps: instrument, key range, transpose, the
// instrument's SIMM, and the preset's riff. The dump handlers decide whether a
// request is answered at all (capability, preset present); this only replaces
// the contents of the answer. The rules are documented in profiles.json.
#include "sim/DumpHandlers.h"
#include "sim/Module.h"

#include <QJsonObject>

namespace sim {
namespace {

constexpr int kCmdPresetDump = 0x10;
constexpr int kCmdPresetDumpRequest = 0x11;
constexpr int kPresetSection = 0x10;
constexpr int kLayerSection = 0x21;

void Put14Signed(QByteArray& out, int value)
{
    Module::Put14(out, value < 0 ? value + 0x4000 : value);
}

QByteArray LayerSection(const Module& m, const QJsonObject& k, int preset, int layer, int simmId)
{
    std::vector<int> values(size_t(k.value(QStringLiteral("layerValues")).toInt(32)), 0);
    const int instruments = k.value(QStringLiteral("instruments")).toInt(8);
    const bool sounding = layer == 0 || preset % 4 == layer;
    values[0] = sounding ? 1 + (preset + layer) % instruments : 0;
    values[4] = layer == 0 ? 0 : 24 + 12 * layer;
    values[6] = layer == 0 ? 127 : 47 + 12 * layer;
    values[20] = preset % 5 - 2;
    values[21] = preset % 6 == 5 ? 1 : 0;
    values[30] = simmId != 0 ? simmId : k.value(QStringLiteral("userInstrumentSimm")).toInt(4);
    QByteArray data;
    data.append(char(kLayerSection));
    Module::Put14(data, preset);
    Module::Put14(data, layer);
    Module::Put14(data, simmId);
    for (int v : values)
        Put14Signed(data, v);
    return m.frame(kCmdPresetDump, data);
}

QByteArray PresetSection(const Module& m, const QJsonObject& k, int preset, int simmId)
{
    std::vector<int> values(size_t(k.value(QStringLiteral("presetValues")).toInt(28)), 0);
    values[24] = preset % std::max(1, k.value(QStringLiteral("riffs")).toInt(16));
    values[25] = k.value(QStringLiteral("riffSimm")).toInt(67);
    QByteArray data;
    data.append(char(kPresetSection));
    Module::Put14(data, preset);
    Module::Put14(data, simmId);
    for (int v : values)
        Put14Signed(data, v);
    return m.frame(kCmdPresetDump, data);
}

} // namespace

void InstallKeymapHandlers(Module& module)
{
    Module::Handler inner = module.handlerOf(kCmdPresetDumpRequest);
    Module::SubjectOf subject = module.subjectOf(kCmdPresetDumpRequest);
    if (!inner)
        return;
    module.setHandler(
        kCmdPresetDumpRequest,
        [inner](Module& m, Exchange& ex) {
            inner(m, ex);
            const QJsonObject k = m.profile().raw.value(QStringLiteral("keymapSections")).toObject();
            const QByteArray& q = ex.request;
            const int sub = q.size() > 6 ? uchar(q[6]) : -1;
            if (k.isEmpty() || (sub != kPresetSection && sub != kLayerSection) || ex.replies.size() != 1)
                return;
            QByteArray& reply = ex.replies.front();
            if (reply.size() < 7 || uchar(reply[5]) != kCmdPresetDump)
                return; // refused: an error reply stays as it is
            const int preset = Module::Get14(q, 7);
            if (sub == kLayerSection) {
                reply = LayerSection(m, k, preset, Module::Get14(q, 9), Module::Get14(q, 11));
                if (preset == -1) {
                    // The edit buffer's layers play the instruments set on the module.
                    QByteArray instrument;
                    Module::Put14(instrument, EditBufferLayerInstrument(m, Module::Get14(q, 9)));
                    reply[13] = instrument[0];
                    reply[14] = instrument[1];
                }
            }
            else
                reply = PresetSection(m, k, preset, Module::Get14(q, 9));
        },
        subject);
}

} // namespace sim
