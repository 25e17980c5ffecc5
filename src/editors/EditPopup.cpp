#include "editors/EditPopup.h"

#include "ui_EditPopup.h"

#include "app/SelectionDialogs.h"
#include "core/GlobalResources.h"
#include "core/MessageBox.h"
#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "editors/LayerPatchCordsPopup.h"
#include "editors/PresetArpPopup.h"
#include "editors/PresetLinksPopup.h"
#include "editors/PresetPatchCordsPopup.h"
#include "editors/SplitsPopup.h"
#include "editors/TuningEditPopup.h"
#include "module/Capabilities.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "module/TriggerSets.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EnvGraphCtrl.h"
#include "ui/controls/NameEditCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/RestoreAudition.h"
#include "ui/framework/StackWaitCursor.h"
#include "ui/framework/TipEditorDlg.h"

#include <QAction>
#include <QLineEdit>
#include <QLabel>

namespace {

enum class Kind { Menu, FxMenu, Select, Tracker, FxTracker, Lit, UnLit, Env, Name, Button, PopupSwitch };
enum class Trig { None, Preset, Layer, Filter };

// One control of the form: item, kind, bound records (in binding order),
// value format, trigger set, tooltip; the menu values, "Other...", icon strip;
// for a selector the object kind, popup and title string; for a name box its
// length; for a popup switch the popup's name.
struct Row {
    int item;
    Kind kind;
    std::vector<int> params;
    int format;
    Trig trig;
    int tooltip;
    NameMap& (*values)() = nullptr;
    bool other = false;
    int icon = 0;
    int selectKind = 0;
    const char* popup = nullptr;
    unsigned title = 0;
    int maxChars = 0;
};

std::vector<int> Envelope(int first)
{
    // The graph takes the rates, then the levels, each as attack 1 and 2,
    // decay 1 and 2, release 1 and 2. The module numbers an envelope's
    // records rate, level by stage: attack 1, decay 1, release 1, attack 2,
    // decay 2, release 2.
    return {first, first + 6, first + 2, first + 8, first + 4, first + 10,
            first + 1, first + 7, first + 3, first + 9, first + 5, first + 11};
}

std::vector<int> Range(int first, int last)
{
    std::vector<int> ids;
    for (int id = first; id <= last; ++id)
        ids.push_back(id);
    return ids;
}

const std::vector<Row>& Rows()
{
    static const std::vector<Row> rows = [] {
        std::vector<Row> r;
        auto menu = [&](int item, int param, int fmt, Trig t, int tip, NameMap& (*values)(), bool other = false,
                        int icon = 0, Kind kind = Kind::Menu) {
            Row row{item, kind, {param}, fmt, t, tip};
            row.values = values;
            row.other = other;
            row.icon = icon;
            r.push_back(row);
        };
        auto plain = [&](int item, Kind kind, std::vector<int> params, int fmt, Trig t, int tip) {
            r.push_back(Row{item, kind, std::move(params), fmt, t, tip});
        };
        auto popupSwitch = [&](int item, const char* name, int tip) {
            Row row{item, Kind::PopupSwitch, {}, 0, Trig::None, tip};
            row.popup = name;
            r.push_back(row);
        };
        menu(1022, LAYER_SELECT, 0, Trig::Preset, 20141, GetLayerNameList);
        {
            Row row{1023, Kind::Select, {LAYER_INSTRUMENT}, 0, Trig::Layer, 20142};
            row.selectKind = OBJECT_INSTRUMENT;
            row.popup = "InstrumentSelection";
            row.title = 172;
            r.push_back(row);
        }
        menu(1034, LAYER_GROUP, 0, Trig::Layer, 20143, GetLayerGroupList);
        menu(1036, LAYER_SOLO, 0, Trig::Layer, 20144, GetLayerSoloList);
        menu(1035, LAYER_SUBMIX, 0, Trig::Layer, 20145, GetLayerSubmixList);
        popupSwitch(1020, "Splits", 20146);
        popupSwitch(1018, "LayerPatchCords", 20147);
        for (int i = 0; i < 4; ++i)
            plain(1203 + i, Kind::Lit, {MUTELAYER1_BUTTON + i}, 0, Trig::Layer, 20219 + i);
        plain(1050, Kind::Tracker, {LAYER_VOLUME}, vf::Decibels, Trig::Layer, 20148);
        plain(1041, Kind::Env, Envelope(1794), 0, Trig::Layer, 20149);
        menu(1043, LAYER_VOL_ENV_MODE, 0, Trig::Layer, 20150, GetLayerVolumeEnvelopeModeList);
        plain(1051, Kind::Tracker, {LAYER_PAN}, vf::Pan, Trig::Layer, 20151);
        plain(1039, Kind::Env, Envelope(1820), 0, Trig::Layer, 20152);
        menu(1044, LAYER_AUX_ENV_MODE, 0, Trig::Layer, 20153, GetLayerEnvelopeModeList);
        plain(1046, Kind::Lit, {LAYER_AUXENV_REPEAT}, 0, Trig::Layer, 20154);
        menu(1017, LAYER_FILT_TYPE, 0, Trig::Layer, 20155, GetFilterNameList);
        plain(1019, Kind::Tracker, {LAYER_FILT_FREQ}, 0, Trig::Filter, 20156);
        plain(1037, Kind::Tracker, {LAYER_FILT_Q}, 0, Trig::Layer, 20157);
        plain(1040, Kind::Env, Envelope(1807), 0, Trig::Layer, 20158);
        menu(1042, LAYER_FILT_ENV_MODE, 0, Trig::Layer, 20159, GetLayerEnvelopeModeList);
        plain(1045, Kind::Lit, {LAYER_FENV_REPEAT}, 0, Trig::Layer, 20160);
        plain(1112, Kind::UnLit, {LAYER_NON_TRANSPOSE}, 0, Trig::Layer, 20161);
        plain(1111, Kind::Tracker, {LAYER_TRANSPOSE}, vf::KeyOffset, Trig::Layer, 20162);
        plain(1109, Kind::Tracker, {LAYER_CTUNE}, 0, Trig::Layer, 20163);
        plain(1110, Kind::Tracker, {LAYER_FTUNE}, vf::FineTune, Trig::Layer, 20164);
        plain(1113, Kind::Tracker, {LAYER_DBL_DETUNE}, vf::NumberOrOff, Trig::Layer, 20165);
        plain(1114, Kind::Tracker, {LAYER_DBL_DETUNE_WIDTH}, 0, Trig::Layer, 20166);
        plain(1115, Kind::Tracker, {LAYER_BEND}, vf::SemitoneRangeOrMaster, Trig::Layer, 20167);
        plain(1117, Kind::Tracker, {LAYER_GLIDE_RATE}, vf::GlideRate, Trig::Layer, 20168);
        menu(1116, LAYER_GLIDE_CURVE, 0, Trig::Layer, 20169, GetLayerGlideCurveList, false, 162);
        plain(1119, Kind::Lit, {LAYER_LOOP}, 0, Trig::Layer, 20223);
        menu(1118, LAYER_START_DELAY, vf::PlainNumber, Trig::Layer, 20170, GetLayerLfoRateList, true);
        plain(1120, Kind::Tracker, {LAYER_START_OFFSET}, 0, Trig::Layer, 20171);
        menu(1026, LAYER_LFO1_SYNC, 0, Trig::Layer, 20172, GetLayerLfoSyncList);
        menu(1024, LAYER_LFO1_SHAPE, 0, Trig::Layer, 20173, GetLayerLfoShapeList);
        menu(1025, LAYER_LFO1_RATE, vf::LfoRate, Trig::Layer, 20174, GetLayerLfoRateList, true);
        menu(1028, LAYER_LFO1_DELAY, vf::PlainNumber, Trig::Layer, 20175, GetLayerLfoRateList, true);
        plain(1027, Kind::Tracker, {LAYER_LFO1_VAR}, vf::Percent, Trig::Layer, 20176);
        menu(1031, LAYER_LFO2_SYNC, 0, Trig::Layer, 20177, GetLayerLfoSyncList);
        menu(1029, LAYER_LFO2_SHAPE, 0, Trig::Layer, 20178, GetLayerLfoShapeList);
        menu(1030, LAYER_LFO2_RATE, vf::LfoRate, Trig::Layer, 20179, GetLayerLfoRateList, true);
        menu(1033, LAYER_LFO2_DELAY, vf::PlainNumber, Trig::Layer, 20180, GetLayerLfoRateList, true);
        plain(1032, Kind::Tracker, {LAYER_LFO2_VAR}, vf::Percent, Trig::Layer, 20181);
        {
            Row category{1098, Kind::Name, Range(PRESET_NAME_CHAR_0, PRESET_NAME_CHAR_0 + 2), 0, Trig::Preset, 20182};
            category.maxChars = 3;
            r.push_back(category);
            Row name{1097, Kind::Name, Range(PRESET_NAME_CHAR_0 + 4, PRESET_NAME_CHAR_0 + 15), 0, Trig::Preset, 20183};
            name.maxChars = 12;
            r.push_back(name);
            Row riff{1038, Kind::Select, {PRESET_RIFF}, 0, Trig::Preset, 20184};
            riff.selectKind = OBJECT_RIFF;
            riff.popup = "RiffSelection";
            riff.title = 171;
            r.push_back(riff);
        }
        menu(1053, PRESET_TEMPO_OFFSET, 0, Trig::Preset, 20185, GetPresetTempoOffsetList);
        menu(1048, PRESET_KBD_TUNE, 0, Trig::Preset, 20186, GetPresetTuningNameList);
        popupSwitch(1003, "Tuning", 20251);
        popupSwitch(1054, "PresetLinks", 20187);
        popupSwitch(1021, "PresetPatchCords", 20188);
        // Controllers A-P: items, parameters and tooltips.
        const int ctrlItems[16] = {1081, 1082, 1083, 1084, 1085, 1086, 1087, 1088,
                                   1091, 1092, 1089, 1090, 1093, 1094, 1095, 1096};
        const int ctrlParams[16] = {915, 916, 917, 918, 919, 920, 921, 922, 924, 925, 926, 927, 967, 968, 969, 970};
        const int ctrlTips[16] = {20191, 20192, 20193, 20194, 20195, 20196, 20197, 20198,
                                  20199, 20200, 20201, 20202, 20224, 20225, 20226, 20227};
        for (int k = 0; k < 16; ++k)
            plain(ctrlItems[k], Kind::Tracker, {ctrlParams[k]}, vf::NumberOrCurrent, Trig::Preset, ctrlTips[k]);
        menu(1049, PRESET_FX_A_ALGORITHM, 0, Trig::Preset, 20203, GetPresetFxaAlgorithmList, false, 0, Kind::FxMenu);
        plain(1067, Kind::FxTracker, {PRESET_FX_A_HFDAMP}, 0, Trig::Preset, 20204);
        plain(1068, Kind::FxTracker, {PRESET_FX_A_DECAY}, 0, Trig::Preset, 20205);
        plain(1078, Kind::FxTracker, {PRESET_FX_A_B}, 0, Trig::Preset, 20206);
        plain(1069, Kind::FxTracker, {PRESET_FX_A_MIX_MAIN}, 0, Trig::Preset, 20207);
        plain(1070, Kind::FxTracker, {PRESET_FX_A_MIX_SUB1}, 0, Trig::Preset, 20208);
        plain(1072, Kind::FxTracker, {PRESET_FX_A_MIX_SUB2}, 0, Trig::Preset, 20209);
        plain(1071, Kind::FxTracker, {PRESET_FX_A_MIX_SUB3}, 0, Trig::Preset, 20210);
        menu(1052, PRESET_FX_B_ALGORITHM, 0, Trig::Preset, 20211, GetPresetFxbAlgorithmList, false, 0, Kind::FxMenu);
        plain(1080, Kind::FxTracker, {PRESET_FX_B_LFO_RATE}, 0, Trig::Preset, 20212);
        menu(1077, PRESET_FX_B_DELAY, vf::FiveMilliseconds, Trig::Preset, 20213, GetLayerLfoRateList, true, 0,
             Kind::FxMenu);
        plain(1079, Kind::FxTracker, {PRESET_FX_B_FEEDBACK}, 0, Trig::Preset, 20214);
        plain(1073, Kind::FxTracker, {PRESET_FX_B_MIX_MAIN}, 0, Trig::Preset, 20215);
        plain(1074, Kind::FxTracker, {PRESET_FX_B_MIX_SUB1}, 0, Trig::Preset, 20216);
        plain(1076, Kind::FxTracker, {PRESET_FX_B_MIX_SUB2}, 0, Trig::Preset, 20217);
        plain(1075, Kind::FxTracker, {PRESET_FX_B_MIX_SUB4}, 0, Trig::Preset, 20218);
        plain(1056, Kind::Button, {UNDO_PARAMETER_BUTTON}, 0, Trig::None, 20228);
        plain(1057, Kind::Button, {REDO_PARAMETER_BUTTON}, 0, Trig::None, 20229);
        plain(1013, Kind::Button, {APPLY_PARAMETER_BUTTON}, 0, Trig::None, 20250);
        plain(1055, Kind::Button, {RANDOMISE_PRESET_BUTTON}, 0, Trig::None, 20189);
        plain(1014, Kind::Button, {EDIT_TOOLTIP_BUTTON}, 0, Trig::None, 20252);
        popupSwitch(1047, "PresetArp", 20190);
        return r;
    }();
    return rows;
}

const TriggerSet* TriggersOf(Trig t)
{
    switch (t) {
    case Trig::Preset:
        return &GetPresetTriggerSet();
    case Trig::Layer:
        return &GetLayerTriggerSet();
    case Trig::Filter:
        return &GetFilterTriggerSet();
    case Trig::None:
        break;
    }
    return nullptr;
}

// The popup switches and the child popups they show, in the order the
// children are made.
struct ChildEntry {
    const char* name;
    int item;
};
constexpr ChildEntry kChildren[] = {
    {"PresetPatchCords", EditPopup::PresetCordsItem}, {"PresetLinks", EditPopup::LinksItem},
    {"LayerPatchCords", EditPopup::LayerCordsItem},   {"Splits", EditPopup::SplitsItem},
    {"PresetArp", EditPopup::PresetArpItem},          {"Tuning", EditPopup::EditTuningItem},
};

constexpr unsigned kUndoString = 303;
constexpr unsigned kRedoString = 304;
constexpr unsigned kOverwriteQuestion = 300;
constexpr unsigned kSaveQuestion = 301;
/// "Failed to %s with %s"
constexpr unsigned kFailedWith = 156;

// Where a layer's instrument sits in the first block of its layer dump.
constexpr std::size_t kInstrumentByte = 13;

} // namespace

EditPopup::EditPopup(const QString& name, bool topLevel, ControlListener* parent, QWidget* parentWnd)
    : Popup(name, kTemplateId, topLevel, parent, parentWnd), UndoRedo(this), m_ui(std::make_unique<Ui::EditPopup>())
{
    MakeRecords();
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Edit Layer"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);
    BindControls();
    MakeChildren();
    Refresh();
}

EditPopup::~EditPopup()
{
    // The children go first, in the order they were made to close, while the
    // editor they talk to still exists.
    for (const char* name : {"PresetArp", "PresetPatchCords", "PresetLinks", "LayerPatchCords", "Splits", "Tuning"})
        for (Child& c : m_children)
            if (c.name == QLatin1String(name))
                c.popup.reset();
    DestroyPopup();
    ForgetControls();
}

// ------------------------------------------------------------------ set-up

void EditPopup::MakeRecords()
{
    auto make = [this](const char* name, int id, int value) {
        auto r = std::make_unique<ParamRecord>(QString::fromLatin1(name), id, value);
        r->romId = 0;
        r->minimum = 0;
        r->maximum = 1;
        r->defaultValue = 0;
        r->previousRomId = 0;
        r->previousValue = 0;
        r->readOnly = false;
        AddParameter(r.get());
        m_records.push_back(std::move(r));
    };
    make("MUTELAYER1_BUTTON", MUTELAYER1_BUTTON, 1);
    make("MUTELAYER2_BUTTON", MUTELAYER2_BUTTON, 1);
    make("MUTELAYER3_BUTTON", MUTELAYER3_BUTTON, 1);
    make("MUTELAYER4_BUTTON", MUTELAYER4_BUTTON, 1);
    make("UNDO_PARAMETER_BUTTON", UNDO_PARAMETER_BUTTON, 0);
    make("REDO_PARAMETER_BUTTON", REDO_PARAMETER_BUTTON, 0);
    make("APPLY_PARAMETER_BUTTON", APPLY_PARAMETER_BUTTON, 0);
    make("RANDOMISE_PRESET_BUTTON", RANDOMISE_PRESET_BUTTON, 0);
    make("EDIT_TOOLTIP_BUTTON", EDIT_TOOLTIP_BUTTON, 0);
    make("EDIT_TOOLTIP", EDIT_TOOLTIP, 0);
}

void EditPopup::BindControls()
{
    for (const Row& row : Rows()) {
        QWidget* widget = FindItem<QWidget>(this, row.item);
        auto* control = dynamic_cast<ControlBase*>(widget);
        if (!control)
            continue;
        control->SetOwner(this);
        std::vector<ParamRecord*> records;
        for (int id : row.params)
            records.push_back(GetParameter(id));
        const TriggerSet* triggers = TriggersOf(row.trig);
        if (row.kind == Kind::PopupSwitch) {
            // The layer patch cords switch is bound (with no record) so the
            // layer trigger set reaches it; the others are not bound.
            if (row.item == LayerCordsItem)
                control->BindParameter(triggers, 0, nullptr);
        } else {
            for (ParamRecord* r : records)
                control->BindParameter(triggers, row.format, r);
        }
        switch (row.kind) {
        case Kind::Menu:
        case Kind::FxMenu:
            dynamic_cast<MenuLogic*>(control)->Setup(row.other, row.icon, &row.values(), row.tooltip);
            break;
        case Kind::Select: {
            auto* select = dynamic_cast<SelectCtrl*>(widget);
            select->Setup(row.selectKind, false, false, QString::fromLatin1(row.popup), LoadResourceString(row.title),
                          row.tooltip);
            (row.selectKind == OBJECT_RIFF ? m_riff : m_instrument) = select;
            break;
        }
        case Kind::Tracker:
        case Kind::FxTracker:
            dynamic_cast<TrackerLogic*>(control)->Setup(row.tooltip, false, false, true, 4);
            break;
        case Kind::Lit:
        case Kind::UnLit:
            dynamic_cast<LitButtonLogic*>(control)->Setup(3, row.tooltip);
            break;
        case Kind::Env:
            dynamic_cast<EnvGraphLogic*>(control)->Setup(row.tooltip);
            break;
        case Kind::Name:
            dynamic_cast<NameCtrl*>(widget)->Setup(row.maxChars, row.tooltip);
            break;
        case Kind::Button:
            dynamic_cast<ButtonLogic*>(control)->Setup(row.tooltip);
            break;
        case Kind::PopupSwitch:
            dynamic_cast<PopupSwitchCtrl*>(widget)->Setup(QString::fromLatin1(row.popup), row.tooltip);
            break;
        }
        AddControl(control);
    }
    for (int i = 0; i < 4; ++i)
        m_muteSwitches[std::size_t(i)] = ItemAs<LitButtonCtrl>(FirstMuteItem + i);
}

std::unique_ptr<Popup> EditPopup::CreateChildPopup(const QString& name)
{
    if (name == QLatin1String("PresetPatchCords"))
        return std::make_unique<PresetPatchCordsPopup>(this, this);
    if (name == QLatin1String("PresetLinks"))
        return std::make_unique<PresetLinksPopup>(this, this);
    if (name == QLatin1String("LayerPatchCords"))
        return std::make_unique<LayerPatchCordsPopup>(this, this);
    if (name == QLatin1String("Splits"))
        return std::make_unique<SplitsPopup>(this, this);
    if (name == QLatin1String("PresetArp"))
        return std::make_unique<PresetArpPopup>(this, this);
    if (name == QLatin1String("Tuning"))
        return std::make_unique<TuningEditPopup>(this, this);
    return nullptr;
}

void EditPopup::MakeChildren()
{
    for (const ChildEntry& s : kChildren) {
        Child child{QString::fromLatin1(s.name), s.item, CreateChildPopup(QString::fromLatin1(s.name))};
        if (child.popup)
            AddControl(child.popup.get());
        else if (QWidget* w = FindItem<QWidget>(this, s.item))
            w->setEnabled(false);
        m_children.push_back(std::move(child));
    }
}

Popup* EditPopup::ChildPopup(const QString& name) const
{
    for (const Child& c : m_children)
        if (c.name == name)
            return c.popup.get();
    return nullptr;
}

PopupSwitchCtrl* EditPopup::ChildSwitch(int item) const
{
    return ItemAs<PopupSwitchCtrl>(item);
}

ParamRecord* EditPopup::OwnRecord(int id)
{
    for (const std::unique_ptr<ParamRecord>& r : m_records)
        if (r->id == id)
            return r.get();
    return nullptr;
}

// ------------------------------------------------------------------ window

void EditPopup::CloseChildren()
{
    for (const Child& c : m_children)
        if (PopupSwitchCtrl* s = ChildSwitch(c.item); s && c.popup)
            s->ClosePopup();
    if (m_instrument)
        m_instrument->ClosePopup();
    if (m_riff)
        m_riff->ClosePopup();
}

void EditPopup::Show(PopupListener* owner, const QString& title)
{
    if (!owner)
        CloseChildren();
    Popup::Show(owner, title);
}

void EditPopup::OnClose()
{
    CloseChildren();
}

void EditPopup::Refresh()
{
    for (const Child& c : m_children)
        if (c.popup && c.name != QLatin1String("Tuning"))
            c.popup->Refresh();

    auto* undo = ItemAs<ButtonCtrl>(UndoItem);
    auto* redo = ItemAs<ButtonCtrl>(RedoItem);
    undo->SetCaption(CanUndo() ? QStringLiteral("%1 %2").arg(LoadResourceString(kUndoString), GetUndoText())
                               : LoadResourceString(kUndoString));
    undo->setEnabled(CanUndo());
    redo->SetCaption(CanRedo() ? QStringLiteral("%1 %2").arg(LoadResourceString(kRedoString), GetRedoText())
                               : LoadResourceString(kRedoString));
    redo->setEnabled(CanRedo());
    if (auto* key = findChild<QAction*>(QStringLiteral("command%1").arg(cmd::Undo)))
        key->setEnabled(CanUndo());
    if (auto* key = findChild<QAction*>(QStringLiteral("command%1").arg(cmd::Redo)))
        key->setEnabled(CanRedo());

    // Edit Tuning: only for a user tuning on a module that takes tuning dumps
    // (and only while the tuning editor is part of the program).
    if (QWidget* tuning = FindItem<QWidget>(this, EditTuningItem)) {
        bool enable = ChildPopup(QStringLiteral("Tuning")) != nullptr;
        Proteus* proteus = enable ? GetProteus() : nullptr;
        enable = proteus && proteus->HasCapability(CAP_TUNING_DUMPS);
        if (enable) {
            ParamRecord* tune = GetParameter(PRESET_KBD_TUNE);
            enable = tune && tune->id == PRESET_KBD_TUNE && tune->value >= 12;
        }
        tuning->setEnabled(enable);
    }

    ItemAs<ButtonCtrl>(ApplyItem)->setEnabled(IsModified());

    if (m_instrument) {
        ParamRecord* mute = MuteRecordOfLayer(CurrentLayer());
        m_instrument->setEnabled(!mute || mute->value != 0);
    }
}

void EditPopup::OnCommand(int id)
{
    if (id == cmd::Undo) {
        if (CanUndo())
            DoUndo();
        return;
    }
    if (id == cmd::Redo) {
        if (CanRedo())
            DoRedo();
        return;
    }
    Popup::OnCommand(id);
}

void EditPopup::DoUndo()
{
    Undo(true);
    ItemAs<ButtonCtrl>(ApplyItem)->setEnabled(IsModified());
}

void EditPopup::DoRedo()
{
    Redo();
    ItemAs<ButtonCtrl>(ApplyItem)->setEnabled(IsModified());
}

// ------------------------------------------------------------------ ControlBase

void EditPopup::Activate()
{
    // Each activation sets every capability-dependent control from the
    // module now connected, both ways: a module with fewer capabilities hides
    // what one before it showed, and one with more shows it again.
    Proteus* proteus = GetProteus();
    auto has = [proteus](std::uint32_t flag) { return proteus && proteus->HasCapability(flag); };
    if (QWidget* arp = FindItem<QWidget>(this, PresetArpItem))
        arp->setVisible(has(CAP_ARPS_AND_BEATS));
    for (int item = FirstWideControllerItem; item < FirstWideControllerItem + 4; ++item)
        if (QWidget* w = FindItem<QWidget>(this, item))
            w->setEnabled(has(CAP_16_CONTROLLERS));
    const bool mutes = has(CAP_SYSEX_DUMPS);
    for (LitButtonCtrl* s : m_muteSwitches)
        if (s)
            s->setVisible(mutes);
    if (QWidget* label = FindItem<QWidget>(this, MuteLabelItem))
        label->setVisible(mutes);
    SetTooltipText();
    Popup::Activate();
    Refresh();
}

void EditPopup::SetTooltipText()
{
    ParamRecord* preset = GetParameter(MULTIMODE_PRESET);
    ParamRecord* tip = GetParameter(EDIT_TOOLTIP);
    if (!preset || preset->id != MULTIMODE_PRESET || !tip || tip->id != EDIT_TOOLTIP)
        return;
    if (GlobalResources* resources = TheGlobalResources())
        tip->SetText(resources->GetObjectTooltip(OBJECT_PRESET, preset->romId, preset->value));
}

void EditPopup::ParameterChanged(ParamRecord* record)
{
    if (record && (record->id == MULTIMODE_PRESET || record->id == MULTIMODE_BASIC_CHANNEL)) {
        // Another preset is in the edit buffer: nothing recorded can be
        // undone into it, and none of its layers is muted.
        ClearHistory();
        if (m_instrument)
            m_instrument->setEnabled(true);
        for (int i = 0; i < 4; ++i) {
            ParamRecord* mute = OwnRecord(MUTELAYER1_BUTTON + i);
            mute->previousValue = mute->value;
            mute->value = 1;
            mute->previousRomId = mute->romId;
            mute->romId = 0;
            if (LitButtonCtrl* s = m_muteSwitches[std::size_t(i)])
                s->ParameterChanged(mute);
        }
        Refresh();
        SetTooltipText();
    }
    Popup::ParameterChanged(record);
}

bool EditPopup::AllowParameterChange(ParamRecord* record)
{
    if (!Popup::AllowParameterChange(record))
        return false;
    if (record && (record->id == ANY_PARAMETER || record->id == MULTIMODE_PRESET || record->id == MULTIMODE_BASIC_CHANNEL))
        return QuerySaveChanges();
    return true;
}

// ------------------------------------------------------------------ ControlListener

int EditPopup::CurrentLayer()
{
    ParamRecord* layer = GetParameter(LAYER_SELECT);
    return layer && layer->id == LAYER_SELECT ? layer->value : -1;
}

ParamRecord* EditPopup::MuteRecordOfLayer(int layer)
{
    if (layer < 0 || layer > 3)
        return nullptr;
    return OwnRecord(MUTELAYER1_BUTTON + layer);
}

bool EditPopup::RequestParameterValues(ParamRecord* record)
{
    if (!record)
        return false;
    if (record->id == LAYER_INSTRUMENT) {
        // A muted layer holds instrument 0 on the module; the editor shows
        // the instrument it will get back.
        ParamRecord* mute = MuteRecordOfLayer(CurrentLayer());
        if (mute && mute->value == 0) {
            record->previousValue = record->value;
            record->value = mute->romId;
            return true;
        }
    } else if (record->id == LAYER_SELECT) {
        Refresh();
    }
    return Popup::RequestParameterValues(record);
}

bool EditPopup::EditParameter(ParamRecord* record)
{
    if (!record)
        return false;
    switch (record->id) {
    case UNDO_PARAMETER_BUTTON:
        DoUndo();
        return true;
    case REDO_PARAMETER_BUTTON:
        DoRedo();
        return true;
    case APPLY_PARAMETER_BUTTON:
        SavePreset();
        return true;
    case EDIT_TOOLTIP_BUTTON:
        OnEditTooltip();
        return true;
    case MUTELAYER1_BUTTON:
    case MUTELAYER2_BUTTON:
    case MUTELAYER3_BUTTON:
    case MUTELAYER4_BUTTON:
        OnMuteSwitch(record);
        return true;
    default:
        break;
    }
    // A refused edit is not recorded; the control that made it puts the
    // record back to its former value (SwapWithPrevious) and shows it again.
    if (!ApplyChange(record))
        return false;
    RecordChange(record);
    return true;
}

void EditPopup::RevertLastEdit()
{
    Undo(false);
}

// ------------------------------------------------------------------ UndoRedo

bool EditPopup::ApplyChange(ParamRecord* record)
{
    switch (record->id) {
    case RANDOMISE_PRESET_BUTTON: {
        StackWaitCursor wait;
        Proteus* proteus = GetProteus();
        if (!proteus)
            return false;
        proteus->RandomiseEditBuffer();
        proteus->DistributeParameterChanged(record);
        return true;
    }
    case START_UNDO:
    case END_UNDO:
    case EDIT_TOOLTIP:
        return true;
    default:
        return Popup::EditParameter(record);
    }
}

// ------------------------------------------------------------------ commands

void EditPopup::OnMuteSwitch(ParamRecord* record)
{
    const int layer = record->id - MUTELAYER1_BUTTON;
    int instrument = record->romId;
    if (!MuteLayer(layer, record->value == 0, &instrument)) {
        // The module's layer did not change: the switch goes back to the
        // state that matches it, so the saved instrument stays right.
        record->SwapWithPrevious();
        if (LitButtonCtrl* s = m_muteSwitches[std::size_t(layer)])
            s->ParameterChanged(record);
        return;
    }
    record->previousRomId = record->romId;
    record->romId = instrument;
    Refresh();
    if (m_instrument && CurrentLayer() == layer)
        m_instrument->ParameterChanged(GetParameter(LAYER_INSTRUMENT));
}

bool EditPopup::MuteLayer(int layer, bool mute, int* instrument)
{
    Proteus* proteus = GetProteus();
    if (!proteus)
        return false;
    ByteBlockList blocks;
    if (!proteus->DownloadPreset(0x21, 0, -1, layer, false, blocks) || blocks.empty())
        return false;
    // The instrument is a 14-bit value, low 7 bits first, at bytes 13 and 14
    // of the first block; a block too short to hold it before its end byte,
    // or no module SysEx at all, is no layer dump this editor can change.
    QByteArray first = blocks.front() ? blocks.front()->ToByteArray() : QByteArray();
    if (first.size() < int(kInstrumentByte) + 3 || std::uint8_t(first[0]) != 0xF0 ||
        std::uint8_t(first[first.size() - 1]) != 0xF7)
        return false;
    if (mute) {
        int value = (first[kInstrumentByte] & 0x7F) | ((first[kInstrumentByte + 1] & 0x7F) << 7);
        if (value > 8191)
            value -= 16384;
        *instrument = value;
        first[kInstrumentByte] = 0;
        first[kInstrumentByte + 1] = 0;
    } else {
        int value = *instrument;
        if (value < 0)
            value += 0x4000;
        first[kInstrumentByte] = char(value & 0x7F);
        first[kInstrumentByte + 1] = char((value >> 7) & 0x7F);
    }
    blocks.front() = MakeByteBlock(first);
    if (!proteus->UploadPreset(true, -1, layer, blocks))
        return false;
    if (!mute)
        *instrument = 0;
    return true;
}

void EditPopup::UnmuteAllLayers()
{
    for (int layer = 0; layer < 4; ++layer) {
        ParamRecord* mute = OwnRecord(MUTELAYER1_BUTTON + layer);
        if (mute->value != 0)
            continue;
        int instrument = mute->romId;
        if (MuteLayer(layer, false, &instrument)) {
            mute->previousValue = 0;
            mute->value = 1;
            mute->previousRomId = mute->romId;
            mute->romId = 0;
        }
    }
}

bool EditPopup::ChooseSavePreset(int* preset)
{
    SaveDlg dlg(QStringLiteral("Save Preset"), this, this);
    if (ParamRecord* current = GetParameter(MULTIMODE_PRESET))
        dlg.m_presetNumber = current->value;
    if (dlg.exec() != QDialog::Accepted)
        return false;
    *preset = dlg.m_presetNumber;
    return true;
}

bool EditPopup::EditTooltipText(QString* text)
{
    TipEditorDlg dlg(QStringLiteral("Tip Editor"), this, this);
    dlg.SetText(*text);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    *text = dlg.Text();
    return true;
}

bool EditPopup::SavePreset()
{
    int preset = 0;
    if (!ChooseSavePreset(&preset))
        return false;
    Proteus* proteus = GetProteus();
    const QString name = proteus ? proteus->GetSimmObjectName(OBJECT_PRESET, 0, preset) : QString();
    if (ShowMessage(this, msgbox::YesNo | msgbox::IconQuestion, false, kOverwriteQuestion, name) != msgbox::IdYes)
        return false;
    if (!proteus)
        return false;
    UnmuteAllLayers();
    bool done = false;
    {
        RestoreAudition audition(proteus, GetParameter(AUDITION_BUTTON));
        done = proteus->SaveEditBuffer(preset) || GetGlobalConfigurations().GetBool(TestUI);
    }
    if (!done) {
        // The preset on the module was not written (or not confirmed): the
        // edits stay, and the user learns why nothing changed.
        ShowMessage(this, msgbox::Ok | msgbox::IconError, false, kFailedWith, QStringLiteral("save the preset"),
                    QStringLiteral("no confirmation from the module"));
        return false;
    }

    if (ParamRecord* tip = GetParameter(EDIT_TOOLTIP); tip && tip->id == EDIT_TOOLTIP)
        if (GlobalResources* resources = TheGlobalResources())
            resources->SetObjectTooltip(OBJECT_PRESET, 0, preset, tip->text);
    bool ok = false;
    QString saved;
    if (proteus->GetObjectName(OBJECT_PRESET, 0, preset, ok, saved) && ok && !saved.isEmpty())
        proteus->SetUserObjectName(OBJECT_PRESET, preset, saved);
    ClearHistory();
    OnUndoStackChanged();
    if (ParamRecord* current = GetParameter(MULTIMODE_PRESET); current && current->id == MULTIMODE_PRESET) {
        // A refused selection leaves the shared record as it was, so the
        // panel keeps showing what the module has.
        const ParamRecord before = *current;
        current->previousRomId = current->romId;
        current->romId = 0;
        current->previousValue = current->value;
        current->value = preset;
        if (!proteus->ParameterEdit(current))
            current->CopyValues(before);
    }
    if (ParamRecord* channel = proteus->FindParameter(MULTIMODE_BASIC_CHANNEL);
        channel && channel->id == MULTIMODE_BASIC_CHANNEL)
        proteus->ParameterEdit(channel);
    return true;
}

void EditPopup::ForgetEdits()
{
    UnmuteAllLayers();
    ClearHistory();
    OnUndoStackChanged();
    ItemAs<ButtonCtrl>(ApplyItem)->setEnabled(false);
}

bool EditPopup::QuerySaveChanges()
{
    if (!IsModified())
        return true;
    const int answer = ShowMessage(this, msgbox::YesNoCancel | msgbox::IconQuestion, false, kSaveQuestion);
    if (answer == msgbox::IdYes)
        return SavePreset();
    if (answer == msgbox::IdNo) {
        ForgetEdits();
        return true;
    }
    return false;
}

void EditPopup::OnEditTooltip()
{
    ParamRecord* tip = GetParameter(EDIT_TOOLTIP);
    if (!tip || tip->id != EDIT_TOOLTIP)
        return;
    QString text = tip->text;
    if (!EditTooltipText(&text))
        return;
    tip->SetText(text);
    EditParameter(tip);
}

// ------------------------------------------------------------------ the File commands

QString EditPopup::GetTitleText()
{
    auto text = [this](int item) {
        auto* edit = FindItem<QLineEdit>(this, item);
        return edit ? edit->text() : QString();
    };
    return text(1098) + QLatin1Char(':') + text(1097);
}

QString EditPopup::GetTooltipText()
{
    ParamRecord* tip = GetParameter(EDIT_TOOLTIP);
    return tip && tip->id == EDIT_TOOLTIP ? tip->text : QString();
}

void EditPopup::SetTooltipText(const QString& text)
{
    ParamRecord* tip = GetParameter(EDIT_TOOLTIP);
    if (!tip || tip->id != EDIT_TOOLTIP)
        return;
    tip->SetText(text);
    EditParameter(tip);
}
