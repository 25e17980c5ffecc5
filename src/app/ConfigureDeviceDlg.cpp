#include "app/ConfigureDeviceDlg.h"

#include "ui_ConfigureDeviceDlg.h"

#include "core/MessageBox.h"
#include "midi/MidiBackend.h"
#include "ui/controls/EditCtrls.h"

#include <QRegularExpressionValidator>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

// Items of the form.
constexpr int kInputList = 1007;
constexpr int kOutputList = 1008;
constexpr int kControllerList = 1009;
constexpr int kBPortList = 1010;
constexpr int kDeviceIdEdit = 1000;
constexpr int kTimeEdits[3] = {1189, 1190, 1191};

// Tooltips: the dialog's own, then one per item.
constexpr int kDialogTooltip = 20040;
struct ItemTooltip {
    int item;
    int tooltip;
};
constexpr ItemTooltip kItemTooltips[] = {
    {kInputList, 20041}, {kOutputList, 20042}, {kDeviceIdEdit, 20043}, {kBPortList, 20045},
    {kControllerList, 20044}, {1189, 20046}, {1190, 20047}, {1191, 20048},
};

// Texts.
constexpr unsigned kNoneText = 219;
constexpr unsigned kBothPortsNeeded = 220;
constexpr unsigned kOutputIsBPort = 221;
constexpr unsigned kInputIsController = 223;
constexpr unsigned kDeviceIdOutOfRange = 224;

// A SysEx device id is one data byte.
constexpr int kHighestDeviceId = 127;

// strtoll over the text, kept to an int: a number that does not fit gives
// INT_MAX (or INT_MIN) and false.
bool ParseWithBase(const QString& text, int base, int* value)
{
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    const long long number = std::strtoll(bytes.constData(), nullptr, base);
    if (errno == ERANGE || number < INT_MIN || number > INT_MAX) {
        *value = number < 0 ? INT_MIN : INT_MAX;
        return false;
    }
    *value = int(number);
    return true;
}

void AddEntry(QListWidget* list, const QString& text, int value)
{
    auto* item = new QListWidgetItem(text, list);
    item->setData(Qt::UserRole, value);
}

// Selects the first entry carrying value; none when no entry does.
void SelectValue(QListWidget* list, int value)
{
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->data(Qt::UserRole).toInt() == value) {
            list->setCurrentRow(row);
            return;
        }
    list->clearSelection();
}

} // namespace

bool ConfigureDeviceDlg::ParseAutomaticBase(const QString& text, int* value)
{
    return ParseWithBase(text, 0, value);
}

bool ConfigureDeviceDlg::ParseDecimal(const QString& text, int* value)
{
    return ParseWithBase(text, 10, value);
}

ConfigureDeviceDlg::ConfigureDeviceDlg(const QString& title, QWidget* parentWnd)
    : ModalDialog(title, 130, nullptr, parentWnd), m_ui(std::make_unique<Ui::ConfigureDeviceDlg>())
{
    m_ui->setupUi(this);
    setWindowTitle(title);
    InitialiseDialog();
    for (ListBoxCtrl* list : {InputList(), OutputList(), BPortList(), ControllerList()})
        list->SetOwner(this);
    DeviceIdEdit()->SetOwner(this);
    for (int i = 0; i < 3; ++i) {
        EditCtrl* edit = TimeEdit(i);
        edit->SetOwner(this);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), edit));
    }
    for (const ItemTooltip& entry : kItemTooltips)
        dynamic_cast<ControlBase*>(Item(entry.item))->SetToolTipId(entry.tooltip);
}

ConfigureDeviceDlg::~ConfigureDeviceDlg()
{
    ForgetControls();
}

ListBoxCtrl* ConfigureDeviceDlg::InputList() const { return ItemAs<ListBoxCtrl>(kInputList); }
ListBoxCtrl* ConfigureDeviceDlg::OutputList() const { return ItemAs<ListBoxCtrl>(kOutputList); }
ListBoxCtrl* ConfigureDeviceDlg::BPortList() const { return ItemAs<ListBoxCtrl>(kBPortList); }
ListBoxCtrl* ConfigureDeviceDlg::ControllerList() const { return ItemAs<ListBoxCtrl>(kControllerList); }
EditCtrl* ConfigureDeviceDlg::DeviceIdEdit() const { return ItemAs<EditCtrl>(kDeviceIdEdit); }
EditCtrl* ConfigureDeviceDlg::TimeEdit(int index) const
{
    return index >= 0 && index < 3 ? ItemAs<EditCtrl>(kTimeEdits[index]) : nullptr;
}

void ConfigureDeviceDlg::showEvent(QShowEvent* event)
{
    // The fields are the caller's from here on: the lists and edits show them.
    if (!m_started) {
        m_started = true;
        Start();
    }
    ModalDialog::showEvent(event);
}

void ConfigureDeviceDlg::Start()
{
    SetOwnTooltipId(kDialogTooltip);
    for (const ItemTooltip& entry : kItemTooltips)
        AddControl(dynamic_cast<ControlBase*>(Item(entry.item)));
    FillLists();

    DeviceIdEdit()->setText(QString::number(m_deviceId));
    TimeEdit(0)->setText(QString::number(m_longTimeout));
    TimeEdit(1)->setText(QString::number(m_writeDelay));
    TimeEdit(2)->setText(QString::number(m_sysExDelay));

    // A list stores its choice as soon as the user selects an entry. The
    // selection, not the current row, counts: a list that only takes the
    // focus moves its current row without anything being chosen.
    auto follow = [this](ListBoxCtrl* list, int* field) {
        connect(list, &QListWidget::itemSelectionChanged, this, [list, field] {
            const QList<QListWidgetItem*> chosen = list->selectedItems();
            if (!chosen.isEmpty())
                *field = chosen.first()->data(Qt::UserRole).toInt();
        });
    };
    follow(InputList(), &m_inputPort);
    follow(OutputList(), &m_outputPort);
    follow(ControllerList(), &m_controllerPort);
    follow(BPortList(), &m_bPort);
}

void ConfigureDeviceDlg::FillLists()
{
    // The ports the MIDI system offers now; none when it cannot be reached.
    std::vector<MidiPortInfo> outputs;
    std::vector<MidiPortInfo> inputs;
    if (const std::shared_ptr<MidiBackend> backend = CurrentMidiBackend()) {
        outputs = backend->OutputPorts();
        inputs = backend->InputPorts();
    }
    const QString none = LoadResourceString(kNoneText);

    AddEntry(BPortList(), none, -1);
    for (const MidiPortInfo& port : outputs) {
        AddEntry(OutputList(), port.name, port.number);
        AddEntry(BPortList(), port.name, port.number);
    }
    SelectValue(OutputList(), m_outputPort);
    SelectValue(BPortList(), m_bPort);

    AddEntry(ControllerList(), none, -1);
    for (const MidiPortInfo& port : inputs) {
        AddEntry(InputList(), port.name, port.number);
        AddEntry(ControllerList(), port.name, port.number);
    }
    SelectValue(InputList(), m_inputPort);
    SelectValue(ControllerList(), m_controllerPort);
}

void ConfigureDeviceDlg::OnOK()
{
    // The device id may be written in any base; a device id that does not
    // fit in a SysEx data byte is refused below. The times are decimal:
    // "0100" is 100 ms, not an octal 64.
    const bool deviceIdFits = ParseAutomaticBase(DeviceIdEdit()->text(), &m_deviceId);
    ParseDecimal(TimeEdit(0)->text(), &m_longTimeout);
    ParseDecimal(TimeEdit(1)->text(), &m_writeDelay);
    ParseDecimal(TimeEdit(2)->text(), &m_sysExDelay);

    unsigned refusal = 0;
    if (m_inputPort == -1 || m_outputPort == -1)
        refusal = kBothPortsNeeded;
    else if (m_inputPort == m_controllerPort)
        refusal = kInputIsController;
    else if (m_outputPort == m_bPort)
        refusal = kOutputIsBPort;
    else if (!deviceIdFits || m_deviceId < 0 || m_deviceId > kHighestDeviceId)
        refusal = kDeviceIdOutOfRange;
    if (refusal != 0) {
        ShowMessage(this, msgbox::Ok, true, refusal);
        return;
    }
    ModalDialog::OnOK();
}
