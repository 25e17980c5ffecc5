#include "app/SelectionDialogs.h"

#include "ui_CopyArpDlg.h"
#include "ui_CopyPresetDlg.h"
#include "ui_DumpDlg.h"
#include "ui_ExportDataDlg.h"
#include "ui_SaveDlg.h"
#include "ui_SetupSelectDlg.h"

#include "core/MessageBox.h"
#include "core/ObjectKind.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/framework/LabelCtrl.h"

#include <QStyle>

namespace {

// Popup titles (string table).
constexpr unsigned kSelectSetupTitle = 142;
constexpr unsigned kSelectSourceArpTitle = 169;
constexpr unsigned kSelectSourcePresetTitle = 173;
constexpr unsigned kSelectDestinationPresetTitle = 174;
constexpr unsigned kSelectPresetTitle = 177;
// The setup dialog's prompt.
constexpr unsigned kRestorePrompt = 143;
constexpr unsigned kStorePrompt = 144;

const QString kPresetPopup = QStringLiteral("PresetSelection");
const QString kArpPopup = QStringLiteral("ArpSelection");
const QString kSetupPopup = QStringLiteral("SetupSelection");

struct ListEntry {
    unsigned text;
    int value;
};

// The export dialog's sections and their sub-requests. "Preset" asks for the
// closed-loop dump (2); the switch turns it into the open-loop one (4).
constexpr int kWholePreset = 2;
constexpr int kWholePresetOpenLoop = 4;
constexpr int kFirstLayerSection = 0x20;
constexpr ListEntry kExportSections[] = {
    {178, kWholePreset}, {189, 0x10}, {190, 0x11}, {180, 0x12}, {181, 0x13}, {182, 0x14},
    {191, 0x20},         {192, 0x21}, {185, 0x22}, {186, 0x23}, {187, 0x24}, {188, 0x25},
};

// The copy dialog's copy commands; from "Layer" on they copy one layer (or all).
constexpr int kFirstLayerCopy = 0x25;
constexpr ListEntry kCopyCommands[] = {
    {178, 0x20}, {179, 0x21}, {180, 0x22}, {181, 0x23}, {182, 0x24}, {183, 0x25},
    {184, 0x26}, {185, 0x27}, {186, 0x28}, {187, 0x29}, {188, 0x2A},
};

constexpr ListEntry kAllLayers = {193, -1};
constexpr ListEntry kLayers[] = {{194, 0}, {195, 1}, {196, 2}, {197, 3}};

void Fill(QComboBox* list, std::initializer_list<ListEntry> entries)
{
    for (const ListEntry& e : entries)
        list->addItem(LoadResourceString(e.text), e.value);
}

template <size_t N>
void Fill(QComboBox* list, const ListEntry (&entries)[N])
{
    for (const ListEntry& e : entries)
        list->addItem(LoadResourceString(e.text), e.value);
}

int SelectedValue(const QComboBox* list)
{
    return list->currentData().toInt();
}

} // namespace

// ------------------------------------------------------------------ shared

SelectionDialog::SelectionDialog(const QString& title, int templateId, ControlListener* parent, QWidget* parentWnd)
    : ModalDialog(title, templateId, parent, parentWnd)
{
}

SelectionDialog::~SelectionDialog()
{
    ReturnPopups();
    ForgetControls();
}

QWidget* SelectionDialog::FindPopup(const QString& name)
{
    QWidget* popup = ModalDialog::FindPopup(name);
    if (!popup || !popup->isWindow() || !windowHandle())
        return popup;
    // A modal dialog blocks every window outside its own family, the main
    // panel's popups included. Made a window of the dialog for as long as
    // the dialog runs, the popup takes the user's choice again.
    popup->winId();
    QWindow* window = popup->windowHandle();
    if (window && window->transientParent() != windowHandle()) {
        m_borrowed.push_back({popup, window->transientParent()});
        window->setTransientParent(windowHandle());
    }
    return popup;
}

void SelectionDialog::done(int result)
{
    ModalDialog::done(result);
    ReturnPopups();
}

void SelectionDialog::ReturnPopups()
{
    for (const BorrowedPopup& b : m_borrowed)
        if (b.popup && b.popup->windowHandle())
            b.popup->windowHandle()->setTransientParent(b.owner);
    m_borrowed.clear();
}

ParamRecord* SelectionDialog::Record(int id)
{
    return ControlListener::GetParameter(id);
}

bool SelectionDialog::EditParameter(ParamRecord* record)
{
    if (record && Record(record->id))
        if (ControlBase* control = FindParameterControl(record->id))
            control->ParameterChanged(record);
    return true;
}

void SelectionDialog::showEvent(QShowEvent* event)
{
    // The opener has preset the results by now: the records start from them.
    if (!m_started) {
        m_started = true;
        Start();
    }
    ModalDialog::showEvent(event);
}

ParamRecord& SelectionDialog::MakeRecord(const QString& name, int id, int sourceId, int romId, int value)
{
    ParamRecord& record = m_records.at(size_t(m_recordCount++));
    const ParamRecord* source = sourceId != 0 ? GetParameter(sourceId) : nullptr;
    if (source) {
        record = *source;
    } else {
        record = ParamRecord();
        record.romId = romId;
        record.value = value;
    }
    record.name = name;
    record.id = id;
    AddParameter(&record);
    return record;
}

void SelectionDialog::AttachSelector(SelectCtrl* selector, ParamRecord* record, int kind, bool userBankOnly,
                                     bool showCategory, const QString& popupName, unsigned popupTitleId, int tooltipId)
{
    selector->SetOwner(this);
    selector->BindParameter(nullptr, 0, record);
    selector->Setup(kind, userBankOnly, showCategory, popupName, LoadResourceString(popupTitleId), tooltipId);
    AddControl(selector);
}

void SelectionDialog::AttachList(ComboCtrl* list, int tooltipId)
{
    list->SetToolTipId(tooltipId);
    AddControl(list);
}

// ------------------------------------------------------------------ SaveDlg

SaveDlg::SaveDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : SelectionDialog(title, 154, parent, parentWnd), m_ui(std::make_unique<Ui::SaveDlg>())
{
    m_ui->setupUi(this);
    InitialiseDialog();
}

SaveDlg::~SaveDlg() = default;

SelectCtrl* SaveDlg::Selector() const
{
    return m_ui->item1014;
}

void SaveDlg::Start()
{
    SetOwnTooltipId(20640);
    setWindowTitle(Name());
    // A preset is saved into the user bank: a ROM preset offers the same number there.
    ParamRecord& record = MakeRecord(QStringLiteral("SAVE_PRESET_BUTTON"), SAVE_PRESET_BUTTON, MULTIMODE_PRESET, 0,
                                     m_presetNumber);
    record.previousRomId = record.romId;
    record.romId = 0;
    AttachSelector(Selector(), &record, OBJECT_PRESET, true, true, kPresetPopup, kSelectPresetTitle, 20641);
}

void SaveDlg::OnOK()
{
    m_presetNumber = Selector()->ParameterAt(0)->value;
    SelectionDialog::OnOK();
}

// ------------------------------------------------------------------ DumpDlg

DumpDlg::DumpDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : SelectionDialog(title, 160, parent, parentWnd), m_ui(std::make_unique<Ui::DumpDlg>())
{
    m_ui->setupUi(this);
    InitialiseDialog();
}

DumpDlg::~DumpDlg() = default;

SelectCtrl* DumpDlg::Selector() const
{
    return m_ui->item1014;
}

void DumpDlg::Start()
{
    SetOwnTooltipId(20120);
    setWindowTitle(Name());
    ParamRecord& record = MakeRecord(QStringLiteral("DUMP_PRESET_BUTTON"), DUMP_PRESET_BUTTON, MULTIMODE_PRESET, m_romId,
                                     m_presetNumber);
    AttachSelector(Selector(), &record, OBJECT_PRESET, false, true, kPresetPopup, kSelectPresetTitle, 20121);
}

void DumpDlg::OnOK()
{
    const ParamRecord* chosen = Selector()->ParameterAt(0);
    m_romId = chosen->romId;
    m_presetNumber = chosen->value;
    SelectionDialog::OnOK();
}

// ------------------------------------------------------------------ CopyArpDlg

CopyArpDlg::CopyArpDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : SelectionDialog(title, 165, parent, parentWnd), m_ui(std::make_unique<Ui::CopyArpDlg>())
{
    m_ui->setupUi(this);
    InitialiseDialog();
}

CopyArpDlg::~CopyArpDlg() = default;

SelectCtrl* CopyArpDlg::Selector() const
{
    return m_ui->item1177;
}

void CopyArpDlg::Start()
{
    SetOwnTooltipId(20095);
    ParamRecord& record = MakeRecord(QStringLiteral("COPY_ARP_SRC_BUTTON"), COPY_ARP_SRC_BUTTON, ARP_PATTERN_SELECT,
                                     m_romId, m_arpNumber);
    AttachSelector(Selector(), &record, OBJECT_ARP, false, false, kArpPopup, kSelectSourceArpTitle, 20096);
}

void CopyArpDlg::OnOK()
{
    const ParamRecord* chosen = Selector()->ParameterAt(0);
    m_romId = chosen->romId;
    m_arpNumber = chosen->value;
    SelectionDialog::OnOK();
}

// ------------------------------------------------------------------ SetupSelectDlg

SetupSelectDlg::SetupSelectDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : SelectionDialog(title, 174, parent, parentWnd), m_ui(std::make_unique<Ui::SetupSelectDlg>())
{
    m_ui->setupUi(this);
    InitialiseDialog();
    // The prompt is an item of its own (its text changes), drawn like every other text.
    LabelCtrl::TakeOver(ItemAs<QLabel>(310), this);
}

SetupSelectDlg::~SetupSelectDlg() = default;

SelectCtrl* SetupSelectDlg::Selector() const
{
    return m_ui->item1223;
}

QLabel* SetupSelectDlg::Prompt() const
{
    return ItemAs<QLabel>(310);
}

void SetupSelectDlg::Start()
{
    SetOwnTooltipId(20970);
    // A record of no parameter: its value is the setup number.
    ParamRecord& record = MakeRecord(QStringLiteral("SELECT_SETUP_BUTTON"), SELECT_SETUP_BUTTON, 0, 0, 0);
    record.previousValue = record.value;
    record.value = m_setupNumber;
    AttachSelector(Selector(), &record, OBJECT_SETUP, !m_restore, true, kSetupPopup, kSelectSetupTitle, 20970);
    if (auto* prompt = qobject_cast<LabelCtrl*>(Prompt()))
        prompt->SetText(LoadResourceString(m_restore ? kRestorePrompt : kStorePrompt));
}

void SetupSelectDlg::OnOK()
{
    m_setupNumber = Selector()->ParameterAt(0)->value;
    SelectionDialog::OnOK();
}

// ------------------------------------------------------------------ ExportDataDlg

ExportDataDlg::ExportDataDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : SelectionDialog(title, 167, parent, parentWnd), m_ui(std::make_unique<Ui::ExportDataDlg>()),
      m_closedLoop(QStringLiteral("CLOSED_LOOP_BUTTON"), CLOSED_LOOP_BUTTON, 1)
{
    m_ui->setupUi(this);
    InitialiseDialog();
    m_closedLoop.minimum = 0;
    m_closedLoop.maximum = 1;
    m_closedLoop.defaultValue = 1;
    m_closedLoop.readOnly = false;
}

ExportDataDlg::~ExportDataDlg() = default;

SelectCtrl* ExportDataDlg::Selector() const { return m_ui->item1014; }
QComboBox* ExportDataDlg::SectionList() const { return m_ui->item1104; }
QComboBox* ExportDataDlg::LayerList() const { return m_ui->item1022; }
LitButtonCtrl* ExportDataDlg::ClosedLoopSwitch() const { return m_ui->item1015; }

void ExportDataDlg::Start()
{
    SetOwnTooltipId(20230);
    ParamRecord& record = MakeRecord(QStringLiteral("EXPORT_PRESET_BUTTON"), EXPORT_PRESET_BUTTON, MULTIMODE_PRESET,
                                     m_romId, m_presetNumber);
    AttachSelector(Selector(), &record, OBJECT_PRESET, false, true, kPresetPopup, kSelectSourcePresetTitle, 20232);

    AddParameter(&m_closedLoop);
    LitButtonCtrl* loop = ClosedLoopSwitch();
    loop->SetOwner(this);
    loop->BindParameter(nullptr, 0, &m_closedLoop);
    loop->Setup(2, 20234);
    AddControl(loop);

    Fill(SectionList(), kExportSections);
    Fill(LayerList(), kLayers);
    AttachList(m_ui->item1104, 20231);
    AttachList(m_ui->item1022, 20233);
    SectionList()->setCurrentIndex(0);
    LayerList()->setCurrentIndex(0);
    SectionChanged();
    m_layer = SelectedValue(LayerList());
    LayerList()->hide();
    connect(SectionList(), &QComboBox::currentIndexChanged, this, [this] { SectionChanged(); });
    connect(LayerList(), &QComboBox::currentIndexChanged, this, [this] { m_layer = SelectedValue(LayerList()); });
}

void ExportDataDlg::SectionChanged()
{
    const int section = SelectedValue(SectionList());
    LayerList()->setVisible(section >= kFirstLayerSection);
    ClosedLoopSwitch()->setVisible(section == kWholePreset);
    m_subRequest = section == kWholePreset && m_closedLoop.value == 0 ? kWholePresetOpenLoop : section;
}

bool ExportDataDlg::EditParameter(ParamRecord* record)
{
    SelectionDialog::EditParameter(record);
    if (record && record->id == CLOSED_LOOP_BUTTON)
        SectionChanged();
    return true;
}

void ExportDataDlg::OnOK()
{
    const ParamRecord* chosen = Selector()->ParameterAt(0);
    m_romId = chosen->romId;
    m_presetNumber = chosen->value;
    SelectionDialog::OnOK();
}

// ------------------------------------------------------------------ CopyPresetDlg

CopyPresetDlg::CopyPresetDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : SelectionDialog(title, 155, parent, parentWnd), m_ui(std::make_unique<Ui::CopyPresetDlg>())
{
    m_ui->setupUi(this);
    InitialiseDialog();
    // The arrow from the source down to the destination.
    const int side = m_ui->arrowPicture->height();
    m_ui->arrowPicture->setPixmap(style()->standardIcon(QStyle::SP_ArrowDown).pixmap(side, side));
    m_ui->arrowPicture->setAlignment(Qt::AlignCenter);
}

CopyPresetDlg::~CopyPresetDlg() = default;

SelectCtrl* CopyPresetDlg::SourceSelector() const { return m_ui->item1102; }
SelectCtrl* CopyPresetDlg::DestinationSelector() const { return m_ui->item1103; }
QComboBox* CopyPresetDlg::CopyList() const { return m_ui->item1104; }
QComboBox* CopyPresetDlg::SourceLayerList() const { return m_ui->item1105; }
QComboBox* CopyPresetDlg::DestinationLayerList() const { return m_ui->item1106; }

void CopyPresetDlg::Start()
{
    SetOwnTooltipId(20100);
    ParamRecord& source = MakeRecord(QStringLiteral("COPY_PRESET_SRC_BUTTON"), COPY_PRESET_SRC_BUTTON, MULTIMODE_PRESET,
                                     m_sourceRomId, m_sourcePreset);
    ParamRecord& destination = MakeRecord(QStringLiteral("COPY_PRESET_DST_BUTTON"), COPY_PRESET_DST_BUTTON,
                                          MULTIMODE_PRESET, 0, m_destinationPreset);
    // The destination is a user preset: the same number in the user bank,
    // and no further than the user bank's last preset.
    destination.previousRomId = destination.romId;
    destination.romId = 0;
    if (Proteus* proteus = GetProteus()) {
        for (const SimmSlot& slot : proteus->hardwareConfig.GetSimms())
            if (slot.simmId == 0) {
                if (slot.presets > 0 && destination.value >= slot.presets) {
                    destination.previousValue = destination.value;
                    destination.value = slot.presets - 1;
                }
                break;
            }
    }
    AttachSelector(SourceSelector(), &source, OBJECT_PRESET, false, true, kPresetPopup, kSelectSourcePresetTitle, 20102);
    AttachSelector(DestinationSelector(), &destination, OBJECT_PRESET, true, true, kPresetPopup,
                   kSelectDestinationPresetTitle, 20104);

    Fill(CopyList(), kCopyCommands);
    Fill(SourceLayerList(), {kAllLayers});
    Fill(SourceLayerList(), kLayers);
    Fill(DestinationLayerList(), kLayers);
    AttachList(m_ui->item1104, 20101);
    AttachList(m_ui->item1105, 20103);
    AttachList(m_ui->item1106, 20105);
    CopyList()->setCurrentIndex(0);
    SourceLayerList()->setCurrentIndex(0);
    DestinationLayerList()->setCurrentIndex(0);
    CopyChanged();
    // The layers shown are the layers copied: "All Layers" and "Layer 1"
    // until the user picks others, whatever the opener preset.
    m_sourceLayer = SelectedValue(SourceLayerList());
    m_destinationLayer = SelectedValue(DestinationLayerList());
    SourceLayerList()->hide();
    DestinationLayerList()->hide();
    connect(CopyList(), &QComboBox::currentIndexChanged, this, [this] { CopyChanged(); });
    connect(SourceLayerList(), &QComboBox::currentIndexChanged, this, [this] { SourceLayerChanged(); });
    connect(DestinationLayerList(), &QComboBox::currentIndexChanged, this,
            [this] { m_destinationLayer = SelectedValue(DestinationLayerList()); });
}

void CopyPresetDlg::CopyChanged()
{
    m_copyCommand = SelectedValue(CopyList());
    if (m_copyCommand < kFirstLayerCopy) {
        SourceLayerList()->hide();
        DestinationLayerList()->hide();
        return;
    }
    SourceLayerList()->show();
    DestinationLayerList()->setVisible(SourceLayerList()->currentIndex() != 0);
}

void CopyPresetDlg::SourceLayerChanged()
{
    m_sourceLayer = SelectedValue(SourceLayerList());
    DestinationLayerList()->setVisible(SourceLayerList()->currentIndex() != 0);
}

void CopyPresetDlg::OnOK()
{
    const ParamRecord* source = SourceSelector()->ParameterAt(0);
    m_sourceRomId = source->romId;
    m_sourcePreset = source->value;
    m_destinationPreset = DestinationSelector()->ParameterAt(0)->value;
    SelectionDialog::OnOK();
}
