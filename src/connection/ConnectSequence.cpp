// The connect sequence: from the connect notification to a ready connection
// whose listeners have been told, and the disconnect.

#include "connection/Proteus.h"

#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "dump/SetupBuffer.h"
#include "module/ParameterIds.h"
#include "module/StackedProgress.h"

#include <optional>

namespace {

constexpr unsigned kDeviceNotResponding = 238;
constexpr unsigned kLoadingUserData = 240;
constexpr unsigned kCheckingHardware = 249;
constexpr unsigned kSettingUpModule = 250;
constexpr unsigned kGetting = 251;
constexpr unsigned kNotAProteus = 256;

constexpr int kEmuManufacturer = 0x18;
constexpr int kProteusFamily = 516;

bool TestUIOn()
{
    return GetGlobalConfigurations().GetDword(TestUI) != 0;
}

// The revision a simulated family member reports.
QString RevisionOfMember(int member)
{
    switch (member) {
    case 13: case 14: case 15: case 23: case 24:
        return QStringLiteral("2.00");
    case 17: case 18: case 19: case 20:
        return QStringLiteral("1.07");
    default:
        return QStringLiteral("2.26");
    }
}

} // namespace

void Proteus::OnConnect()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::OnConnect");
    TLOG(kLogNotice, u"MIDI port connected");
    MidiPort::OnConnect();
    SetConnected(true);
    // There is no main-window title at this layer; the listeners hear of the
    // connection once it is ready.

    const bool testUI = TestUIOn();
    // Without a module every step fails and counts as done; the dumps among
    // them must not put up a message box each.
    std::optional<SuppressWarningMessages> quiet;
    if (testUI)
        quiet.emplace(this);
    m_linkState.connecting = true;
    m_linkState.simmsReadByConnect = false;
    m_linkState.namesProbedByConnect.clear();
    m_simmsAddedByConnect.clear();
    m_parametersNotLoaded = 0;
    bool ok = IdentifyDevice() || testUI;
    if (ok && !ConnectAborted())
        ok = RunConnectSteps(testUI);
    m_linkState.connecting = false;
    m_linkState.simmsReadByConnect = false;
    m_linkState.namesProbedByConnect.clear();

    // A disconnect dispatched from inside one of the sequence's waits has
    // already told the listeners; nothing may call the connection ready after it.
    if (ok && !ConnectAborted()) {
        m_simmsAddedByConnect.clear();
        SetReady(true);
        NotifyDeviceConnected();
        if (IsReady())
            DistributeParameterChanged(FindParameter(MULTIMODE_BASIC_CHANNEL));
        if (IsReady() && m_parametersNotLoaded > 0)
            ReportParametersNotLoaded();
        return;
    }
    if (ConnectAborted())
        TLOG(kLogError, u"The connection was lost while connecting to the module");
    ForgetSimmsAddedByConnect();
    ClosePort();
}

bool Proteus::RunConnectSteps(bool testUI)
{
    LoadAllParameters(HasCapability(CAP_ARPS_AND_BEATS));
    for (ParameterId id : {MULTIMODE_BASIC_CHANNEL, PRESET_SELECT, LAYER_SELECT})
        AllParameters.InsertIfAbsent(*FindParameter(id));
    if (ConnectAborted())
        return false;

    if (!LoadCacheConfiguration() && !testUI)
        return false;
    if (ConnectAborted())
        return false;

    for (ParameterId id : {MULTIMODE_BASIC_CHANNEL, PRESET_SELECT, LAYER_SELECT}) {
        if (!ParameterRequestWithMinMax(FindParameter(id)) && !testUI)
            return false;
        if (ConnectAborted())
            return false;
    }

    if (!LoadUserData() && !testUI)
        return false;
    if (ConnectAborted())
        return false;

    GetSetupBuffer()->OnConnect();
    if (ConnectAborted())
        return false;
    UpdateBeatDataCache();
    return !ConnectAborted();
}

void Proteus::ForgetSimmsAddedByConnect()
{
    // Their names were being learned when the sequence ended: an entry kept
    // now would never be filled, since a later connect only adds what is missing.
    for (int simmId : m_simmsAddedByConnect)
        simmMap.erase(simmId);
    m_simmsAddedByConnect.clear();
}

void Proteus::OnDisconnect()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::OnDisconnect");
    TLOG(kLogNotice, u"MIDI port disconnected");
    NotifyDeviceDisconnected();
    SetReady(false);
    GetSetupBuffer()->OnDisconnect();
    SetConnected(false);
    MidiPort::OnDisconnect();
}

bool Proteus::IdentifyDevice()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::IdentifyDevice");
    StackedProgress progress(this, true, 0, 7, LoadResourceString(kCheckingHardware));
    const bool testUI = TestUIOn();
    if (!ReadyToSend(QStringLiteral("Proteus::IdentifyDevice")) && !testUI)
        return false;

    int maker = kEmuManufacturer;
    int family = kProteusFamily;
    int member = 3;
    QString revision;
    if (!GetDeviceDetails(maker, family, member, revision) && !testUI) {
        ClosePort();
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok | msgbox::IconWarning, true, kDeviceNotResponding);
        return false;
    }
    if ((maker != kEmuManufacturer || family != kProteusFamily) && !testUI) {
        ClosePort();
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok | msgbox::IconWarning, true, kNotAProteus);
        return false;
    }
    if (testUI) {
        maker = kEmuManufacturer;
        family = kProteusFamily;
        member = 3;
        revision = QStringLiteral("2.26");
    }

    // The probe's model tests read the member just identified.
    hardwareConfig.manufacturer = maker;
    hardwareConfig.family = family;
    hardwareConfig.familyMember = member;
    hardwareConfig.SetRevision(revision);
    if (!CheckCapabilities() && !testUI) {
        ClosePort();
        return false;
    }
    if (ConnectAborted())
        return false;

    progress.SetText(LoadResourceString(kSettingUpModule));
    progress.Step();

    if (const int simulate = int(GetGlobalConfigurations().GetDword(Simulate)); simulate != 0) {
        hardwareConfig.familyMember = simulate;
        hardwareConfig.SetRevision(RevisionOfMember(simulate));
    }
    TLOG(kLogDeviceDetail, u"Device - Manufacturer %d, Family %d, Family Number %d, Revision %s, Device %s",
         hardwareConfig.manufacturer, hardwareConfig.family, hardwareConfig.familyMember,
         hardwareConfig.GetRevision(), GetModuleName());

    int count = 0;
    std::array<SimmSlot, HardwareConfig::kMaxSimms> simmSlots{};
    if (!GetHardwareConfiguration(count, simmSlots))
        return false;

    const bool arps = HasCapability(CAP_ARPS_AND_BEATS);
    for (int i = 0; i < count && i < HardwareConfig::kMaxSimms; ++i) {
        SimmSlot& slot = simmSlots[size_t(i)];
        const bool rom = slot.simmId != 0;
        progress.SetText(u"%s %s", LoadResourceString(kGetting), GetSimmName(slot.simmId));
        progress.Step();
        slot.arps = arps ? GetRomObjectCount(OBJECT_ARP, slot.simmId) : 0;
        slot.setups = GetRomObjectCount(OBJECT_SETUP, slot.simmId);
        slot.demos = GetRomObjectCount(OBJECT_DEMO, slot.simmId);
        slot.riffs = rom ? GetRomObjectCount(OBJECT_RIFF, slot.simmId) : 0;
        slot.flag = rom ? 1 : 0;
        if (ConnectAborted())
            return false;
        if (!FindSimmData(slot.simmId)) {
            AddSimmData(TPtr<_SimmData>(new _SimmData(slot.simmId, slot.presets, slot.instruments, slot.arps,
                                                      slot.setups, slot.demos, slot.riffs, slot.flag)));
            if (m_linkState.connecting)
                m_simmsAddedByConnect.insert(slot.simmId);
        }
    }

    hardwareConfig.SetSimms(std::span<const SimmSlot>(simmSlots.data(), size_t(count)));
    m_linkState.simmsReadByConnect = m_linkState.connecting;
    TLOG(kLogDeviceDetail, u"Device has %d SIMMs", hardwareConfig.GetSimmCount());
    for (const auto& [simmId, simm] : simmMap) {
        TLOG(kLogDeviceDetail, u"SIMM %s (%d) - %d presets, %d instruments, %d arps, %d setups, %d demos, %d riffs",
             GetSimmName(simmId), simmId, simm->GetCount(OBJECT_PRESET), simm->GetCount(OBJECT_INSTRUMENT),
             simm->GetCount(OBJECT_ARP), simm->GetCount(OBJECT_SETUP), simm->GetCount(OBJECT_DEMO),
             simm->GetCount(OBJECT_RIFF));
    }
    return true;
}

bool Proteus::LoadUserData()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::LoadUserData");
    const bool testUI = TestUIOn();

    ParamRecord* layer = FindParameter(LAYER_SELECT);
    layer->previousValue = layer->value;
    layer->value = 0;
    ParameterEdit(layer);

    if (testUI && !hardwareConfig.FindSimm(0)) {
        SimmSlot user;
        user.simmId = 0;
        user.presets = 512;
        user.arps = 100;
        user.setups = 64;
        if (!FindSimmData(0)) {
            AddSimmData(TPtr<_SimmData>(new _SimmData(0, 512, 0, 100, 64, 0, 0, 0)));
            if (m_linkState.connecting)
                m_simmsAddedByConnect.insert(0);
        }
        hardwareConfig.AddSimm(user);
    }

    int total = 0;
    for (ParameterCache* collection : GetParameterCollections())
        total += collection->Count();
    const SimmSlot* userSlot = hardwareConfig.FindSimm(0);
    if (userSlot)
        total += userSlot->presets + userSlot->instruments + userSlot->arps + userSlot->setups + userSlot->demos
               + userSlot->riffs;
    StackedProgress progress(this, true, 0, total, LoadResourceString(kLoadingUserData));

    if (userSlot) {
        if (testUI) {
            _SimmData* user = FindSimmData(0);
            const _SimmData* source = nullptr;
            for (const SimmSlot& slot : hardwareConfig.GetSimms()) {
                if (slot.simmId != 0 && slot.presets >= userSlot->presets) {
                    source = FindSimmData(slot.simmId);
                    if (source)
                        break;
                }
            }
            if (!source)
                source = FindSimmData(4);
            if (user) {
                for (int i = 0; i < user->GetCount(OBJECT_PRESET); ++i)
                    user->SetName(OBJECT_PRESET, i, source ? source->GetName(OBJECT_PRESET, i) : QString());
                for (int i = 0; i < user->GetCount(OBJECT_ARP); ++i)
                    user->SetName(OBJECT_ARP, i, QString());
                std::map<int, QString> setupNames;
                GlobalResources* resources = TheGlobalResources();
                if (resources)
                    resources->GetSetupNames(setupNames);
                for (int i = 0; i < user->GetCount(OBJECT_SETUP); ++i) {
                    auto it = setupNames.find(i);
                    QString name = it != setupNames.end() ? it->second : QStringLiteral("User Setup");
                    if (it == setupNames.end() && resources)
                        resources->SetSetupName(i, name);
                    user->SetName(OBJECT_SETUP, i, name);
                }
            }
        } else if (!LoadSimmNames(progress, *userSlot)) {
            return false;
        }
    }

    const bool arps = HasCapability(CAP_ARPS_AND_BEATS);
    struct Group {
        unsigned title;
        ParameterCache* collection;
        bool needsArps;
    };
    const Group before[] = {{241, &MasterParameters, false}, {242, &MasterArpParameters, true}};
    const Group after[] = {{243, &MultimodeParameters, false}, {244, &ArpPatternParameters, true},
                           {245, &BeatParameters, true},       {246, &PresetParameters, false},
                           {247, &PresetArpParameters, true},  {248, &LayerParameters, false}};
    auto run = [&](const Group& group) {
        if (group.needsArps && !arps)
            return;
        if (ConnectAborted())
            return;
        progress.SetText(LoadResourceString(group.title));
        RetrieveParameters(progress, *group.collection); // a failing group was logged by its request
    };
    for (const Group& group : before)
        run(group);
    if (!ConnectAborted() && !ParameterRequestWithMinMax(FindParameter(MULTIMODE_BASIC_CHANNEL)))
        ++m_parametersNotLoaded;
    for (const Group& group : after)
        run(group);
    return true;
}

bool Proteus::RetrieveParameters(StackedProgress& progress, ParameterCache& collection)
{
    TLOG(kLogFlow, u"%s()", u"Proteus::RetrieveParameters");
    const bool testUI = TestUIOn();
    bool all = true;
    for (auto& [id, record] : collection) {
        if (const ParamRecord* cached = AllParameters.Find(id)) {
            record.minimum = cached->minimum;
            record.maximum = cached->maximum;
            record.defaultValue = cached->defaultValue;
            record.readOnly = cached->readOnly;
            record.previousValue = record.value;
            record.value = record.defaultValue;
        }
        // One record that did not come (its request logged why) leaves the
        // others of its group to be read all the same.
        if (!ParameterRequestWithMinMax(&record) && !testUI) {
            all = false;
            ++m_parametersNotLoaded;
        }
        if (ConnectAborted())
            return false;
        progress.Step();
    }
    return all;
}

void Proteus::ReportParametersNotLoaded()
{
    ShowMessageWith(Presenter(), nullptr, msgbox::Ok | msgbox::IconWarning, true, kPlainText,
                Format(u"%d of the module's settings could not be read while connecting. The editor shows "
                       u"defaults for them, which may not be what the module holds. Check the MIDI connection "
                       u"and connect again to load them.",
                       m_parametersNotLoaded));
}
