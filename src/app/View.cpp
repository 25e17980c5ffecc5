#include "app/View.h"

#include "ui_View.h"

#include "app/Document.h"
#include "app/Frame.h"
#include "app/ViewControls.h"
#include "core/GlobalResources.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "core/TrimTrailingBlanks.h"
#include "core/resources/GlobalStyle.h"
#include "core/resources/GuiFont.h"
#include "module/Capabilities.h"
#include "module/NameLists.h"
#include "module/Proteus.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/LoggerPopup.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/ProgressCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "ui/framework/ConfiguredColours.h"
#include "ui/framework/ItemId.h"
#include "ui/framework/LabelCtrl.h"
#include "ui/framework/RestoreAudition.h"
#include "ui/framework/StackWaitCursor.h"

#include <QPainter>
#include <QThread>

#include <algorithm>

namespace {

// ---- The panel's pseudo-parameters ------------------------------------------------------------

struct PanelRecordRow {
    const char* name;
    int id;
};

// In the order they enter the panel's record table.
constexpr PanelRecordRow kPanelRecords[] = {
    {"SOUNDS_OFF_BUTTON", SOUNDS_OFF_BUTTON},
    {"EDIT_ARP_BUTTON", EDIT_ARP_BUTTON},
    {"KEYBOARD_LATCH_BUTTON", KEYBOARD_LATCH_BUTTON},
    {"KEYBOARD_REPEAT_BUTTON", KEYBOARD_REPEAT_BUTTON},
    {"KEYBOARD_CHORD_BUTTON", KEYBOARD_CHORD_BUTTON},
    {"KEYBOARD_CLEAR_BUTTON", KEYBOARD_CLEAR_BUTTON},
    {"AUDITION_BUTTON", AUDITION_BUTTON},
    {"EDIT_CONTROLLER_BUTTON", EDIT_CONTROLLER_BUTTON},
    {"EDIT_PRESET_BUTTON", EDIT_PRESET_BUTTON},
    {"EDIT_SETUP_BUTTON", EDIT_SETUP_BUTTON},
    {"START_UNDO", START_UNDO},
    {"END_UNDO", END_UNDO},
    {"UPLOAD_SYSEX", UPLOAD_SYSEX},
};
static_assert(std::size(kPanelRecords) == 13);

// ---- The panel's controls ------------------------------------------------------------------------

enum class Kind {
    Tracker,
    Button,
    Menu,
    PopupSwitch,
    Lamp,
    Spin,
    Keyboard,
    BitmapSwitch,
    BitmapButton,
    Select,
    Switch
};
enum class Triggers { None, Channel, Master, PresetAudition };

// The channel tracker's format depends on the module: 1A ... 16B on a
// 32-channel module, 1 ... 16 otherwise.
constexpr int kChannelFormat = -1;
// The lamp buttons show their lamp left of the caption.
constexpr int kLampLeft = 2;
constexpr int kSelectPresetTitle = 177;
constexpr int kOctaveTooltip = 20412;

struct PanelControlRow {
    int item;
    Kind kind;
    int parameter; // 0: none
    Triggers triggers;
    int format;
    int tooltip;
    const char* popup = nullptr;
    NameMap& (*values)() = nullptr;
};

// Bound, set up and registered in this order.
const PanelControlRow kPanelControls[] = {
    {View::PanItem, Kind::Tracker, MULTIMODE_PAN, Triggers::Channel, vf::PanCentre64, 20401},
    {View::ChannelItem, Kind::Tracker, MULTIMODE_BASIC_CHANNEL, Triggers::Master, kChannelFormat, 20402},
    {View::VolumeItem, Kind::Tracker, MULTIMODE_VOLUME, Triggers::PresetAudition, vf::Number, 20403},
    {View::SoundsOffItem, Kind::Button, SOUNDS_OFF_BUTTON, Triggers::None, 0, 20404},
    {View::MixItem, Kind::Menu, MULTIMODE_MIX_OUTPUT, Triggers::Channel, 0, 20405, nullptr, &GetMixOutputList},
    {View::ArpItem, Kind::Menu, MULTIMODE_ARP, Triggers::Channel, 0, 20408, nullptr, &GetMultimodeArpNameList},
    {View::EditArpItem, Kind::PopupSwitch, EDIT_ARP_BUTTON, Triggers::None, 0, 20411, "ArpEdit"},
    {View::ProgChangeItem, Kind::Lamp, MULTIMODE_RECV_PROG_CHANGE, Triggers::Channel, 0, 20425},
    {View::OctaveSpinItem, Kind::Spin, 0, Triggers::None, 0, kOctaveTooltip},
    {View::KeyboardItem, Kind::Keyboard, 0, Triggers::None, 0, 20420},
    {View::LatchItem, Kind::BitmapSwitch, KEYBOARD_LATCH_BUTTON, Triggers::None, 0, 20421},
    {View::RepeatItem, Kind::BitmapSwitch, KEYBOARD_REPEAT_BUTTON, Triggers::None, 0, 20422},
    {View::ChordItem, Kind::BitmapSwitch, KEYBOARD_CHORD_BUTTON, Triggers::None, 0, 20423},
    {View::ClearItem, Kind::BitmapButton, KEYBOARD_CLEAR_BUTTON, Triggers::None, 0, 20424},
    {View::EnabledItem, Kind::Lamp, MULTIMODE_CHANNEL_ENABLE, Triggers::Channel, 0, 20413},
    {View::PresetItem, Kind::Select, MULTIMODE_PRESET, Triggers::Channel, 0, 20414, "PresetSelection"},
    {View::AuditionItem, Kind::Switch, AUDITION_BUTTON, Triggers::None, 0, 20415},
    {View::ControllersItem, Kind::PopupSwitch, EDIT_CONTROLLER_BUTTON, Triggers::None, 0, 20416, "Controllers"},
    {View::EditPresetItem, Kind::PopupSwitch, EDIT_PRESET_BUTTON, Triggers::None, 0, 20417, "Edit"},
    {View::MasterItem, Kind::PopupSwitch, 0, Triggers::None, 0, 20419, "Master"},
    {View::SetupItem, Kind::PopupSwitch, EDIT_SETUP_BUTTON, Triggers::None, 0, 20426, "SetupInfo"},
};

const TriggerSet* TriggersOf(Triggers triggers)
{
    switch (triggers) {
    case Triggers::Channel:
        return &GetChannelTriggerSet();
    case Triggers::Master:
        return &GetMasterTriggerSet();
    case Triggers::PresetAudition:
        return &GetPresetAuditionTriggerSet();
    case Triggers::None:
        break;
    }
    return nullptr;
}

// ---- The named popups ----------------------------------------------------------------------------

struct PopupSlotRow {
    const char* name;
    int objectKind; // selection lists: the kind of object they list
};

// In the order of View::PopupSlot: made, and deleted, in this order.
constexpr PopupSlotRow kPopupSlots[] = {
    {"PresetSelection", 1}, {"InstrumentSelection", 2}, {"ArpSelection", 3}, {"SetupSelection", 4},
    {"DemoSelection", 5},   {"RiffSelection", 6},       {"Master", 0},       {"Edit", 0},
    {"Controllers", 0},     {"ArpEdit", 0},             {"SetupInfo", 0},
};
static_assert(std::size(kPopupSlots) == View::PopupSlotCount);

// The switch that shows each editor popup.
constexpr struct {
    int item;
    int slot;
} kPopupSwitches[] = {
    {View::EditArpItem, View::ArpEditPopup},         {View::ControllersItem, View::ControllersPopup},
    {View::EditPresetItem, View::EditPopup},         {View::MasterItem, View::MasterPopup},
    {View::SetupItem, View::SetupInfoPopup},
};

// A text for a label that shows "&" as itself.
QString Literal(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The main window is repainted at most this often while the module keeps the
// user-interface thread waiting.
constexpr qint64 kWaitRepaintMs = 50;

} // namespace

// ==================================================================================================

QString View::PopupSlotName(int slot)
{
    return slot >= 0 && slot < PopupSlotCount ? QString::fromLatin1(kPopupSlots[slot].name) : QString();
}

View::View(Document& document, QWidget* parent)
    : QWidget(parent), RootListener(&document.GetProteus()), m_document(document), m_ui(std::make_unique<Ui::View>())
{
    setFont(GuiFont());
    m_ui->setupUi(this);
    m_formSize = size();
    ApplyColours();

    for (size_t i = 0; i < m_panelRecords.size(); ++i) {
        ParamRecord& r = m_panelRecords[i];
        r = ParamRecord(QString::fromLatin1(kPanelRecords[i].name), kPanelRecords[i].id, 0);
        r.minimum = 0;
        r.maximum = 1;
        r.defaultValue = 0;
        r.readOnly = false;
        r.romId = 0;
        AddParameter(&r);
    }
    m_presetFile = GetGlobalConfigurations().GetString(PresetFile);
    m_presetFilter = int(GetGlobalConfigurations().GetDword(PresetFilter));

    // The Message Log lives as long as the panel; it enters the popup
    // registry itself. (The panel joined the connection's listeners as the
    // root listener.)
    m_messageLog = new LoggerPopup(QStringLiteral("Message Log"), false, this, this);
    AddControl(m_messageLog);
}

View::~View()
{
    // Every switch off first: a switch still showing a popup would call back
    // into it when it goes.
    if (m_preset)
        m_preset->ClosePopup();
    for (PopupSwitchCtrl* s : m_popupSwitches)
        if (s->IsOn())
            s->ClosePopup();
    for (std::unique_ptr<PopupBase>& popup : m_popups)
        popup.reset();
    m_document.GetProteus().RemoveListener(this);
    RemovePopup(QStringLiteral("Message Log"));
    delete m_messageLog;
    m_messageLog = nullptr;
    // The keyboard ends its sounding notes as it goes, through this panel:
    // it goes while the panel can still send them.
    delete m_keyboard;
    m_keyboard = nullptr;
    ForgetControls();
}

// ---- Construction of the panel --------------------------------------------------------------------

void View::ApplyColours()
{
    ApplyWindowColours(this);
}

void View::TakeOverLabels()
{
    // The panel's texts are drawn over the skin. The keyboard's range follows
    // the module (greyed while there is none); the progress and the port
    // names are status texts, always readable.
    const QList<QLabel*> texts = findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    for (QLabel* text : texts) {
        if (qobject_cast<LabelCtrl*>(text))
            continue;
        const int id = ItemIdOf(text);
        const bool followsModule = id == LowNoteItem || id == HighNoteItem;
        m_labels.push_back(LabelCtrl::TakeOver(text, followsModule ? this : nullptr));
    }
}

QWidget* View::Item(int id) const
{
    // Only the panel's own items: the popups are children of the panel too,
    // with item ids of their own.
    return findChild<QWidget*>(ItemName(id), Qt::FindDirectChildrenOnly);
}

void View::OnInitialUpdate()
{
    if (m_panelTooltipId != 0)
        return; // bound once
    m_panelTooltipId = PanelTooltipId;
    Proteus& proteus = m_document.GetProteus();

    // Attach.
    TakeOverLabels();
    m_pan = ItemAs<TrackerCtrl>(PanItem);
    m_channel = ItemAs<TrackerCtrl>(ChannelItem);
    m_volume = ItemAs<TrackerCtrl>(VolumeItem);
    m_keyboard = ItemAs<ViewKeyboard>(KeyboardItem);
    m_preset = ItemAs<SelectCtrl>(PresetItem);
    m_octaveSpin = ItemAs<SpinButtonCtrl>(OctaveSpinItem);
    m_progressText = ItemAs<LabelCtrl>(ProgressTextItem);
    m_progressBar = ItemAs<ProgressCtrl>(ProgressBarItem);
    if (m_progressText)
        m_progressText->SetText(QString());
    if (m_progressBar) {
        m_progressBar->SetOwner(this);
        m_progressBar->hide();
    }
    for (const auto& s : kPopupSwitches)
        if (auto* popupSwitch = ItemAs<PopupSwitchCtrl>(s.item))
            m_popupSwitches.push_back(popupSwitch);

    // Bind.
    const int channelFormat = proteus.HasCapability(CAP_32_CHANNELS) ? vf::MidiChannelPort : vf::MidiChannel;
    for (const PanelControlRow& row : kPanelControls) {
        auto* control = dynamic_cast<ControlBase*>(Item(row.item));
        if (!control)
            continue;
        control->SetOwner(this);
        if (row.kind == Kind::Spin)
            continue;
        ParamRecord* record = row.parameter != 0 ? GetParameter(row.parameter) : nullptr;
        control->BindParameter(TriggersOf(row.triggers), row.format == kChannelFormat ? channelFormat : row.format,
                               record);
    }

    // Set up and register, control by control.
    for (const PanelControlRow& row : kPanelControls) {
        QWidget* widget = Item(row.item);
        auto* control = dynamic_cast<ControlBase*>(widget);
        if (!control)
            continue;
        switch (row.kind) {
        case Kind::Tracker:
            static_cast<TrackerCtrl*>(widget)->Setup(row.tooltip, false, false, true, 4);
            break;
        case Kind::Button:
            static_cast<ButtonCtrl*>(widget)->Setup(row.tooltip);
            break;
        case Kind::Menu:
            static_cast<MenuCtrl*>(widget)->Setup(false, 0, &row.values(), row.tooltip);
            break;
        case Kind::PopupSwitch:
            static_cast<PopupSwitchCtrl*>(widget)->Setup(QString::fromLatin1(row.popup), row.tooltip);
            break;
        case Kind::Lamp:
            static_cast<LitButtonCtrl*>(widget)->Setup(kLampLeft, row.tooltip);
            break;
        case Kind::Spin:
            control->SetToolTipId(row.tooltip);
            widget->setAccessibleName(QStringLiteral("Keyboard Octave"));
            break;
        case Kind::Keyboard:
            static_cast<ViewKeyboard*>(widget)->Setup(row.tooltip);
            widget->setAccessibleName(QStringLiteral("Keyboard"));
            break;
        case Kind::BitmapSwitch: {
            auto* s = static_cast<BitmapSwitchCtrl*>(widget);
            const QChar letter = s->Caption().isEmpty() ? QChar(u'?') : s->Caption().at(0);
            const QSize picture = s->size() - QSize(6, 5);
            s->SetBitmaps(PanelLetterBitmap(letter, picture, false), PanelLetterBitmap(letter, picture, true));
            s->Setup(row.tooltip);
            break;
        }
        case Kind::BitmapButton: {
            auto* b = static_cast<BitmapButtonCtrl*>(widget);
            const QChar letter = b->Caption().isEmpty() ? QChar(u'?') : b->Caption().at(0);
            const QSize picture = b->size() - QSize(6, 5);
            b->SetBitmaps(PanelLetterBitmap(letter, picture, false), PanelLetterBitmap(letter, picture, true));
            b->Setup(row.tooltip);
            break;
        }
        case Kind::Select:
            static_cast<SelectCtrl*>(widget)->Setup(1, false, false, QString::fromLatin1(row.popup),
                                                        LoadResourceString(kSelectPresetTitle), row.tooltip);
            break;
        case Kind::Switch:
            static_cast<SwitchCtrl*>(widget)->Setup(row.tooltip);
            break;
        }
        AddControl(control);
    }

    // The octave spin: 0 ... 4, at 1 (the keyboard from C-1).
    if (m_octaveSpin) {
        m_octaveSpin->setRange(0, 4);
        m_octaveSpin->setValue(1);
        connect(m_octaveSpin, &QSpinBox::valueChanged, this, [this](int position) { SetOctave(position); });
    }
    SetOctave(1);

    // The arp controls show only with a module that has arps.
    if (QWidget* arp = Item(ArpItem))
        arp->hide();
    if (QWidget* editArp = Item(EditArpItem))
        editArp->hide();

    // The frame is fitted to the panel: the panel keeps the form's size.
    setFixedSize(m_formSize);
    ShowPortNames();
    EnablePanel(false);
}

void View::OnUpdate()
{
    ShowPortNames();
    update();
}

void View::ShowPortNames()
{
    Proteus& proteus = m_document.GetProteus();
    // A port that is not set (-1) has no name.
    auto name = [&proteus](bool input, int port) {
        return port < 0 ? QString() : Literal(proteus.GetDeviceName(input, unsigned(port)));
    };
    if (auto* out = ItemAs<QLabel>(OutPortItem)) {
        if (auto* label = qobject_cast<LabelCtrl*>(out))
            label->SetText(name(false, m_document.GetOutputPort()));
        else
            out->setText(name(false, m_document.GetOutputPort()));
    }
    if (auto* in = ItemAs<QLabel>(InPortItem)) {
        if (auto* label = qobject_cast<LabelCtrl*>(in))
            label->SetText(name(true, m_document.GetInputPort()));
        else
            in->setText(name(true, m_document.GetInputPort()));
    }
}

void View::EnablePanel(bool enable)
{
    // The Message Log is no part of the panel: it stays usable without a
    // module, when its lines tell why there is none.
    for (ControlBase* c : Controls()) {
        if (c == static_cast<ControlBase*>(m_messageLog))
            continue;
        if (QWidget* window = c->GetControlWindow())
            window->setEnabled(enable);
    }
}

void View::UpdatePopupSwitches()
{
    for (const auto& s : kPopupSwitches)
        if (!GetPopup(s.slot))
            if (QWidget* w = Item(s.item))
                w->setEnabled(false);
}

// ---- Octave ---------------------------------------------------------------------------------------

bool View::OnOctaveDeltaPos(int delta)
{
    if (!m_octaveSpin)
        return false;
    const int position = m_octaveSpin->value() + delta;
    if (position < m_octaveSpin->minimum() || position > m_octaveSpin->maximum())
        return false;
    m_octaveSpin->setValue(position); // the spin's change sets the octave
    return true;
}

void View::SetOctave(int position)
{
    ValueFormatter noteName = m_document.GetProteus().GetFormatter(vf::NoteName);
    if (auto* low = ItemAs<LabelCtrl>(LowNoteItem)) {
        low->SetText(noteName(position * 12));
        low->repaint();
    }
    if (auto* high = ItemAs<LabelCtrl>(HighNoteItem)) {
        high->SetText(noteName(position * 12 + 79));
        high->repaint();
    }
    if (m_keyboard)
        m_keyboard->SetOctave(position);
}

int View::KeyboardOctave() const
{
    return m_keyboard ? m_keyboard->Octave() : 0;
}

// ---- Tooltips and the tip editor ------------------------------------------------------------------

QString View::GetToolTipText(int itemId)
{
    if (itemId != 0)
        if (std::optional<QString> own = ControlTooltipText(*this, Item(itemId)))
            return *own;
    if (m_panelTooltipId != 0 && TheGlobalResources())
        return TheGlobalResources()->GetTooltipText(unsigned(m_panelTooltipId));
    return {};
}

bool View::event(QEvent* event)
{
    if (m_tips.HandleEvent(event))
        return true;
    return QWidget::event(event);
}

void View::OnTipEditor()
{
    m_tips.EditFocusedTooltip(this);
}

// ---- Painting -------------------------------------------------------------------------------------

void View::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (const GlobalStyle* style = TheGlobalStyle())
        style->PaintDialogBackground(&painter, rect(), 0, 0);
    else
        painter.fillRect(rect(), palette().window());
}

void View::RefreshFrameTitle()
{
    if (auto* frame = qobject_cast<Frame*>(window()))
        frame->OnUpdateFrameTitle();
}

// ---- Popups ---------------------------------------------------------------------------------------

std::unique_ptr<PopupBase> View::CreatePopup(int slot)
{
    if (slot >= PresetSelectionPopup && slot <= RiffSelectionPopup)
        return std::make_unique<NameSelectionPopup>(kPopupSlots[slot].objectKind, PopupSlotName(slot), false, this,
                                                    this);
    // Master, Edit, Controllers, ArpEdit and SetupInfo: the program's editors.
    return m_editorFactory ? m_editorFactory(slot, *this) : nullptr;
}

void View::AddPopup(const QString& name, QWidget* popup)
{
    RemovePopup(name);
    RootListener::AddPopup(name, popup);
}

ControllerPopupCalls* View::Controllers() const
{
    return dynamic_cast<ControllerPopupCalls*>(GetPopup(ControllersPopup));
}

// ---- Module events --------------------------------------------------------------------------------

void View::OnDeviceConnected()
{
    Proteus& proteus = m_document.GetProteus();
    m_connected = true;
    EnablePanel(true);

    if (m_octaveSpin) {
        m_octaveSpin->setRange(0, 4);
        const QSignalBlocker quiet(m_octaveSpin);
        m_octaveSpin->setValue(1);
    }
    SetOctave(1);

    // No preset is selected on the module's front panel.
    ParamRecord* select = proteus.FindParameter(PRESET_SELECT);
    select->previousValue = select->value;
    select->value = -1;
    proteus.ParameterEdit(select);

    SetChannelRange();
    ShowPortNames();

    const bool arps = proteus.HasCapability(CAP_ARPS_AND_BEATS);
    if (QWidget* arp = Item(ArpItem))
        arp->setVisible(arps);
    if (QWidget* editArp = Item(EditArpItem))
        editArp->setVisible(arps);

    // The popups, the first time only: they outlive a disconnect.
    for (int slot = 0; slot < PopupSlotCount; ++slot) {
        if (m_popups[size_t(slot)])
            continue;
        m_popups[size_t(slot)] = CreatePopup(slot);
        if (m_popups[size_t(slot)])
            AddControl(m_popups[size_t(slot)].get());
    }
    UpdatePopupSwitches();

    // A module without arps has no patterns: the arp editor, whose switch is
    // hidden, is not activated, so it asks nothing (its pattern name would be
    // twelve requests the module never answers).
    const ControlBase* arpEditor = arps ? nullptr : dynamic_cast<ControlBase*>(GetPopup(ArpEditPopup));
    for (ControlBase* c : Controls())
        if (c != arpEditor)
            c->Activate();

    // The module's channel becomes the panel's, and its preset is looked up.
    EditParameter(GetParameter(MULTIMODE_BASIC_CHANNEL));
    ClearHistory();
    update();
    RefreshFrameTitle();
}

void View::OnParameterChanged(ParamRecord* record)
{
    if (!record)
        return;
    if (record->id == MULTIMODE_BASIC_CHANNEL) {
        int romId = 0;
        int presetNumber = 0;
        ParamRecord* preset = GetParameter(MULTIMODE_PRESET);
        // A preset that could not be looked up leaves the one shown.
        if (LookUpCurrentPreset(romId, presetNumber) && preset && preset->id == MULTIMODE_PRESET) {
            preset->previousRomId = preset->romId;
            preset->previousValue = preset->value;
            preset->romId = romId;
            preset->value = presetNumber;
            if (m_preset)
                m_preset->ParameterChanged(preset);
        }
        if (ControllerPopupCalls* controllers = Controllers())
            controllers->ResetControllers();
    } else if (record->id == MULTIMODE_PRESET) {
        if (ControllerPopupCalls* controllers = Controllers()) {
            controllers->ResetControllers();
            controllers->ReleaseTriggers();
        }
    }
    for (ControlBase* c : Controls())
        c->ParameterChanged(record);
}

void View::OnDeviceDisconnected()
{
    m_connected = false;
    if (m_preset)
        m_preset->ClosePopup();
    for (PopupSwitchCtrl* s : m_popupSwitches)
        s->ClosePopup();
    for (ControlBase* c : Controls())
        c->Deactivate();
    EnablePanel(false);
    // The connection still counts as connected during this call: the title
    // is built again once the disconnect has gone through.
    QMetaObject::invokeMethod(this, [this] { RefreshFrameTitle(); }, Qt::QueuedConnection);
}

void View::OnWaiting()
{
    if (!isVisible())
        return;
    if (m_lastWaitRepaint.isValid() && m_lastWaitRepaint.elapsed() < kWaitRepaintMs)
        return;
    m_lastWaitRepaint.start();
    window()->repaint();
}

void View::OnBeginProgress(int lower, int upper, const QString& text)
{
    if (!m_progressText || !m_progressBar)
        return;
    m_progressText->SetText(Literal(text));
    m_progressText->repaint();
    m_progressBar->show();
    m_progressActive = true;
    m_progressBar->SetRange(lower, upper);
    m_progressBar->SetPos(lower);
    m_progressBar->repaint();
    if (GlobalStyle* style = TheGlobalStyle()) {
        style->GetWaitCursorState().Push();
        ++m_progressWaitCursors;
    }
}

void View::OnProgressText(const QString& text)
{
    if (!m_progressActive || !m_progressText)
        return;
    m_progressText->SetText(Literal(text));
    m_progressText->repaint();
}

void View::OnProgressStep()
{
    if (!m_progressActive || !m_progressBar)
        return;
    m_progressBar->SetPos(m_progressBar->GetPos() + 1);
    m_progressBar->repaint();
}

void View::OnEndProgress()
{
    if (m_progressWaitCursors > 0) {
        --m_progressWaitCursors;
        if (GlobalStyle* style = TheGlobalStyle())
            style->GetWaitCursorState().Pop();
    }
    if (m_progressText)
        m_progressText->SetText(QString());
    if (m_progressBar)
        m_progressBar->hide();
    m_progressActive = false;
}

void View::OnSysExSent(const std::uint8_t* data, unsigned length)
{
    if (auto* frame = qobject_cast<Frame*>(window()))
        frame->ShowSysEx(data, length);
}

void View::OnShortMessageSent(const std::uint8_t packed[4])
{
    const std::uint8_t status = packed[0];
    const std::uint8_t data1 = packed[1];
    const std::uint8_t data2 = packed[2];
    // Only the user-interface thread moves the panel's controls.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, status, data1, data2] { ShortMessageEcho(status, data1, data2); }, Qt::QueuedConnection);
        return;
    }
    ShortMessageEcho(status, data1, data2);
}

void View::ShortMessageEcho(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    if (status >= 0xB0 && status <= 0xBF) {
        if (data1 == 7)
            EchoToTracker(VolumeItem, data2);
        else if (data1 == 10)
            EchoToTracker(PanItem, data2);
        else if (ControllerPopupCalls* controllers = Controllers())
            controllers->ShowControlChange(status, data1, data2);
    } else if (status >= 0x80 && status <= 0x9F) {
        if (ControllerPopupCalls* controllers = Controllers())
            controllers->ShowTriggerNote(status, data1, data2);
    }
}

void View::EchoToTracker(int item, int value)
{
    auto* tracker = ItemAs<TrackerCtrl>(item);
    if (!tracker)
        return;
    // The module already has the value (the controller message set it): the
    // record and the thumb follow, and nothing is sent again or recorded.
    if (ParamRecord* p = tracker->MainParameter()) {
        ParamRecord shown = *p;
        shown.previousValue = p->value;
        shown.value = value;
        tracker->ParameterChanged(&shown);
    } else {
        tracker->SetPosition(value);
    }
}

// ---- Requests and edits ---------------------------------------------------------------------------

QString View::GetObjectName(int kind, int romId, int index)
{
    // Before the first connect the module's data holds nothing: the panel
    // shows no name rather than "(not instld)".
    if (!IsDeviceReady())
        return {};
    return RootListener::GetObjectName(kind, romId, index);
}

MidiPort* View::GetAltPort()
{
    return &m_document.GetAltPort();
}

bool View::IsDeviceReady()
{
    Proteus& proteus = m_document.GetProteus();
    if (proteus.IsReady() && proteus.IsInputOpen() && proteus.IsOutputOpen())
        return true;
    return GetGlobalConfigurations().GetBool(TestUI);
}

bool View::EditParameter(ParamRecord* record)
{
    if (!record)
        return false;
    switch (record->id) {
    case SHORT_MIDI_MSG:
        m_document.GetProteus().ParameterEdit(record);
        return true;
    case EDIT_PRESET_BUTTON:
    case SOUNDS_OFF_BUTTON:
    case EDIT_CONTROLLER_BUTTON:
    case EDIT_ARP_BUTTON:
    case KEYBOARD_CLEAR_BUTTON:
    case EDIT_SETUP_BUTTON:
        PanelButtonEdit(record);
        return true;
    default:
        break;
    }
    if (!ApplyChange(record))
        return false;
    RecordChange(record);
    return true;
}

bool View::ApplyChange(ParamRecord* record)
{
    if (!record)
        return false;
    Proteus& proteus = m_document.GetProteus();
    switch (record->id) {
    case MULTIMODE_BASIC_CHANNEL: {
        if (!QueryClose())
            return false;
        RestoreAudition paused(&proteus, GetParameter(AUDITION_BUTTON));
        return proteus.ParameterEdit(record);
    }
    case START_UNDO:
    case END_UNDO:
        return true;
    case MULTIMODE_PRESET: {
        if (!QueryClose())
            return false;
        StackWaitCursor wait;
        return proteus.ParameterEdit(record);
    }
    case AUDITION_BUTTON:
    case KEYBOARD_LATCH_BUTTON:
    case KEYBOARD_REPEAT_BUTTON:
    case KEYBOARD_CHORD_BUTTON:
        return PanelSwitchEdit(record);
    default:
        return proteus.ParameterEdit(record);
    }
}

void View::PanelButtonEdit(ParamRecord* record)
{
    Proteus& proteus = m_document.GetProteus();
    switch (record->id) {
    case EDIT_PRESET_BUTTON:
        // The preset editor hears of it with every other listener; a switch
        // going off hides the popup itself.
        if (record->value == 1) {
            StackWaitCursor wait;
            proteus.DistributeParameterChanged(record);
        }
        break;
    case SOUNDS_OFF_BUTTON:
        SoundsOff(record);
        break;
    case EDIT_CONTROLLER_BUTTON:
        if (record->value == 1)
            if (ControllerPopupCalls* controllers = Controllers())
                controllers->ResetControllers();
        break;
    case KEYBOARD_CLEAR_BUTTON:
        if (record->value == 1 && m_keyboard)
            m_keyboard->ReleaseNote();
        proteus.DistributeParameterChanged(record);
        break;
    case EDIT_ARP_BUTTON:
    case EDIT_SETUP_BUTTON:
    default:
        proteus.DistributeParameterChanged(record);
        break;
    }
}

bool View::PanelSwitchEdit(ParamRecord* record)
{
    Proteus& proteus = m_document.GetProteus();
    switch (record->id) {
    case AUDITION_BUTTON:
        if (record->value == 1)
            if (ControllerPopupCalls* controllers = Controllers(); controllers && controllers->AnyBeatTriggerOn())
                controllers->ReleaseTriggers();
        // Each press of the module's audition button toggles it.
        proteus.PlayAudition();
        break;
    case KEYBOARD_LATCH_BUTTON:
        if (record->value == 1) {
            SwitchOff(KEYBOARD_REPEAT_BUTTON);
            if (m_keyboard)
                m_keyboard->SetMode(1);
        } else if (m_keyboard) {
            m_keyboard->SetMode(0);
        }
        break;
    case KEYBOARD_REPEAT_BUTTON:
        if (record->value == 1) {
            SwitchOff(KEYBOARD_LATCH_BUTTON);
            if (m_keyboard)
                m_keyboard->SetMode(2);
        } else if (m_keyboard) {
            m_keyboard->SetMode(0);
        }
        break;
    case KEYBOARD_CHORD_BUTTON:
        if (m_keyboard)
            m_keyboard->SetChord(record->value != 0);
        break;
    default:
        break;
    }
    return proteus.ParameterEdit(record);
}

void View::SwitchOff(int id)
{
    ParamRecord* other = GetParameter(id);
    if (!other || other->id != id || other->value == 0)
        return;
    other->previousValue = other->value;
    other->value = 0;
    EditParameter(other);
}

void View::SoundsOff(ParamRecord* record)
{
    Proteus& proteus = m_document.GetProteus();
    if (ControllerPopupCalls* controllers = Controllers(); controllers && controllers->AnyBeatTriggerOn())
        controllers->ReleaseTriggers();
    SwitchOff(AUDITION_BUTTON);
    if (m_keyboard)
        m_keyboard->ReleaseNote();
    // All notes off and all sound off on every channel, each followed by a
    // System Reset; channels 17 to 32 go to the module's B input.
    MidiPort& bPort = m_document.GetAltPort();
    const int last = proteus.HasCapability(CAP_32_CHANNELS) ? 31 : 15;
    for (int channel = 0; channel <= last; ++channel) {
        MidiPort& port = channel < 16 ? static_cast<MidiPort&>(proteus) : bPort;
        const unsigned c = unsigned(channel) & 0x0F;
        port.SendControlChange(c, 123, 0);
        port.SendControlChange(c, 120, 0);
        port.SendReset();
    }
    proteus.DistributeParameterChanged(record);
}

bool View::QueryClose()
{
    return m_document.GetProteus().ParameterEdit(GetParameter(ANY_PARAMETER));
}

// ---- Channel and preset ---------------------------------------------------------------------------

void View::SetChannelRange()
{
    Proteus& proteus = m_document.GetProteus();
    const bool thirtyTwo = proteus.HasCapability(CAP_32_CHANNELS);
    ParamRecord* channel = proteus.FindParameter(MULTIMODE_BASIC_CHANNEL);
    channel->maximum = thirtyTwo && m_document.GetAltPort().IsOutputOpen() ? 31 : 15;
    if (m_channel)
        m_channel->SetValueFormat(thirtyTwo ? vf::MidiChannelPort : vf::MidiChannel);
}

void View::UpdateChannelRange()
{
    SetChannelRange();
    if (m_channel)
        m_channel->Activate();
}

void View::GetCurrentPreset(int& romId, int& presetNumber)
{
    LookUpCurrentPreset(romId, presetNumber);
}

bool View::LookUpCurrentPreset(int& romId, int& presetNumber)
{
    StackWaitCursor wait;
    Proteus& proteus = m_document.GetProteus();
    if (GetGlobalConfigurations().GetBool(UseLCD)) {
        // The name on the module's screen, one character per request.
        char16_t name[17] = {};
        for (int i = 0; i < 16; ++i) {
            ParamRecord* character = proteus.FindParameter(PRESET_NAME_CHAR_0 + i);
            if (!proteus.ParameterRequest(character))
                return false;
            name[i] = char16_t(character->value);
        }
        name[16] = 0;
        TrimTrailingBlanks(name, 16);
        return proteus.FindPreset(QString::fromUtf16(name), romId, presetNumber);
    }
    return proteus.GetChannelPreset(proteus.FindParameter(MULTIMODE_BASIC_CHANNEL)->value, romId, presetNumber);
}

// ---- Undo -----------------------------------------------------------------------------------------

void View::OnUndoStackChanged()
{
    // The Setup switch serves modules that dump their setups, once its popup exists.
    if (QWidget* setup = Item(SetupItem))
        setup->setEnabled(m_connected && GetPopup(SetupInfoPopup) != nullptr &&
                          m_document.GetProteus().HasCapability(CAP_SETUP_DUMPS));
    // The main window's Undo and Redo follow the history (their keys work
    // only while enabled); the frame brings them up to date with its title.
    RefreshFrameTitle();
}

