// The beat data cache: which keys trigger the 24 beat layers, and which preset
// and riff the beat channel plays, kept without asking the module each time.

#include "connection/Proteus.h"

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "module/ParameterIds.h"
#include "module/StackedProgress.h"

namespace {

constexpr unsigned kBeatsParameters = 239;
constexpr int kBeatLayers = 24;
constexpr int kBeatLayersWithParts = 16;

bool TestUIOn()
{
    return GetGlobalConfigurations().GetDword(TestUI) != 0;
}

} // namespace

bool Proteus::DownloadBeatData(int channel, int& romId, int& presetNumber, QString& presetName, int& riffSimm,
                               int& riffNumber, QString& riffName)
{
    TLOG(kLogOperation, u"Downloading Beat Data for Channel %d", channel);
    if (channel == -1)
        channel = FindParameter(MULTIMODE_BASIC_CHANNEL)->value;
    // Worked out apart and handed over only whole: a preset whose riff could
    // not be read must not pass for the one the cache holds with the old riff.
    int rom = romId;
    int number = presetNumber;
    if (!GetChannelPreset(channel, rom, number) && !TestUIOn())
        return false;
    int simm = riffSimm;
    int riff = riffNumber;
    QString name;
    if (!HasCapability(CAP_SYSEX_DUMPS))
        name = QStringLiteral("BTS-Unknown");
    else if (!DownloadRiffData(rom, number, simm, riff, name))
        return false;
    romId = rom;
    presetNumber = number;
    presetName = GetSimmObjectName(OBJECT_PRESET, rom, number);
    riffSimm = simm;
    riffNumber = riff;
    riffName = name;
    return true;
}

void Proteus::UpdateBeatDataCache()
{
    if (!HasCapability(CAP_ARPS_AND_BEATS))
        return;
    TLOG(kLogOperation, u"Updating Beat Data Cache");
    StackedProgress progress(this, true, 0, kBeatLayers, LoadResourceString(kBeatsParameters));

    // Built apart and taken whole: a connection lost half-way leaves the
    // cache as it was rather than half of one module's triggers.
    BeatData data = m_beatData;
    const int beatChannel = FindParameter(BEATS_CHANNEL)->value;
    if (DownloadBeatData(beatChannel, data.romId, data.presetNumber, data.presetName, data.riffSimm, data.riffNumber,
                         data.riffName))
        data.beatChannel = beatChannel;
    data.triggerChannel = FindParameter(BEATS_TRIGGER_CHANNEL)->value;
    data.triggerOffset = FindParameter(BEATS_TRIGGER_OFFSET)->value;

    ParamRecord select = *FindParameter(BEAT_LAYER_SELECT);
    select.maximum = kBeatLayers - 1;
    for (int layer = 0; layer < kBeatLayers; ++layer) {
        select.previousValue = select.value;
        select.value = layer;
        ParameterEdit(&select);

        ParamRecord* key = FindParameter(BEAT_TRIGGER_KEY);
        key->previousValue = key->value;
        key->value = layer + 12;
        ParameterRequest(key);
        ParamRecord* latch = FindParameter(BEAT_TRIGGER_LATCH);
        ParameterRequest(latch);
        BeatLayerRow& row = data.layers[size_t(layer)];
        row.triggerKey = key->value;
        row.latch = latch->value;
        if (layer < kBeatLayersWithParts) {
            ParamRecord* velocity = FindParameter(BEATS_VELOCITY);
            ParamRecord* transpose = FindParameter(BEATS_XPOSE);
            ParamRecord* group = FindParameter(BEATS_GROUP);
            ParameterRequest(velocity);
            ParameterRequest(transpose);
            ParameterRequest(group);
            row.velocity = velocity->value;
            row.transpose = transpose->value;
            row.group = group->value;
        } else {
            row.velocity = row.transpose = row.group = 0;
        }
        progress.Step();
        if (!IsConnected())
            return;
    }
    select.previousValue = select.value;
    select.value = 0;
    ParameterEdit(&select);
    if (IsConnected())
        m_beatData = data;
}

void Proteus::UpdateBeatDataFromChange(const ParamRecord* record)
{
    if (!record)
        return;
    auto reload = [&](int channel) {
        BeatData data = m_beatData;
        if (DownloadBeatData(channel, data.romId, data.presetNumber, data.presetName, data.riffSimm, data.riffNumber,
                             data.riffName)) {
            data.beatChannel = channel;
            m_beatData = data;
        }
    };
    const int layer = GetCurrentLayer();
    BeatLayerRow* row = layer >= 0 && layer < kBeatLayers ? &m_beatData.layers[size_t(layer)] : nullptr;
    switch (record->id) {
    case BEATS_CHANNEL:
        reload(record->value);
        break;
    case MULTIMODE_PRESET: {
        const int basic = FindParameter(MULTIMODE_BASIC_CHANNEL)->value;
        const int beat = m_beatData.beatChannel == -1 ? basic : m_beatData.beatChannel;
        if (beat == basic)
            reload(m_beatData.beatChannel);
        break;
    }
    case BEAT_TRIGGER_KEY:
        if (row)
            row->triggerKey = record->value;
        break;
    case BEAT_TRIGGER_LATCH:
        if (row)
            row->latch = record->value;
        break;
    case BEATS_VELOCITY:
        if (row)
            row->velocity = record->value;
        break;
    case BEATS_XPOSE:
        if (row)
            row->transpose = record->value;
        break;
    case BEATS_GROUP:
        if (row)
            row->group = record->value;
        break;
    case BEATS_TRIGGER_CHANNEL:
        m_beatData.triggerChannel = record->value;
        break;
    case BEATS_TRIGGER_OFFSET:
        m_beatData.triggerOffset = record->value;
        break;
    default:
        break;
    }
}
