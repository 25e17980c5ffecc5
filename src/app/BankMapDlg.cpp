#include "app/BankMapDlg.h"

#include "ui_BankMapDlg.h"

#include "core/MessageBox.h"
#include "module/TriggerSets.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/framework/LabelCtrl.h"

namespace {
// String-table entry: the title of the preset selection.
constexpr unsigned kSelectPresetTitle = 177;
int NumberItem(int row)
{
    return 1191 + row;
}
int SelectorItem(int row)
{
    return row == 0 ? 1190 : 1206 + row;
}
} // namespace

BankMapDlg::BankMapDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : ModalDialog(title, 169, parent, parentWnd), m_ui(std::make_unique<Ui::BankMapDlg>())
{
    for (int i = 0; i < 128; ++i) {
        bankMap[size_t(i)] = std::int16_t(i);
        bankMap[size_t(128 + i)] = 0;
    }
    auto make = [this](int index, const QString& name, int id) {
        ParamRecord& r = m_records[size_t(index)];
        r = ParamRecord(name, id, 0);
        r.maximum = 1;
        r.readOnly = false;
        AddParameter(&r);
    };
    for (int row = 0; row < Rows; ++row)
        make(row, QStringLiteral("PRESET_PARAMETER%1_BUTTON").arg(row + 1), FirstRowId + row);
    make(Rows, QStringLiteral("PREV_PARAMETER_BUTTON"), PreviousId);
    make(Rows + 1, QStringLiteral("NEXT_PARAMETER_BUTTON"), NextId);

    m_ui->setupUi(this);
    InitialiseDialog();
    SetOwnTooltipId(20670);
    setWindowTitle(title);

    const TriggerSet* triggers = &GetChannelTriggerSet();
    for (int row = 0; row < Rows; ++row) {
        LabelCtrl* number = LabelCtrl::TakeOver(ItemAs<QLabel>(NumberItem(row)), this);
        number->Setup(nullptr, 0);
        m_numbers[size_t(row)] = number;
        AddControl(number);
        BankMapSelectCtrl* selector = ItemAs<BankMapSelectCtrl>(SelectorItem(row));
        m_selectors[size_t(row)] = selector;
        selector->SetOwner(this);
        selector->BindParameter(triggers, 0, &m_records[size_t(row)]);
        selector->Setup(1, false, true, QStringLiteral("PresetSelection"), LoadResourceString(kSelectPresetTitle), 20671 + row);
        AddControl(selector);
    }
    m_previous = ItemAs<ButtonCtrl>(1222);
    m_next = ItemAs<ButtonCtrl>(1223);
    m_previous->SetOwner(this);
    m_previous->BindParameter(triggers, 0, &m_records[Rows]);
    m_previous->Setup(20688);
    AddControl(m_previous);
    m_next->SetOwner(this);
    m_next->BindParameter(triggers, 0, &m_records[Rows + 1]);
    m_next->Setup(20687);
    AddControl(m_next);
}

BankMapDlg::~BankMapDlg()
{
    ForgetControls();
}

void BankMapDlg::showEvent(QShowEvent* event)
{
    if (!m_shown) {
        m_shown = true;
        ShowPage();
    }
    ModalDialog::showEvent(event);
}

void BankMapDlg::ShowPage()
{
    for (int row = 0; row < Rows; ++row) {
        const int i = Rows * m_page + row;
        m_numbers[size_t(row)]->SetText(QString::number(i + 1));
        ParamRecord& r = m_records[size_t(row)];
        r.previousValue = r.value;
        r.previousRomId = r.romId;
        r.value = bankMap[size_t(i)];
        r.romId = bankMap[size_t(128 + i)];
        m_selectors[size_t(row)]->ParameterChanged(&r);
    }
    m_previous->setEnabled(m_page != 0);
    m_next->setEnabled(m_page != Pages - 1);
}

void BankMapDlg::StorePage()
{
    for (int row = 0; row < Rows; ++row) {
        const int i = Rows * m_page + row;
        const ParamRecord& r = m_records[size_t(row)];
        if (r.value != bankMap[size_t(i)] || r.romId != bankMap[size_t(128 + i)]) {
            bankMap[size_t(i)] = std::int16_t(r.value);
            bankMap[size_t(128 + i)] = std::int16_t(r.romId);
            changed = true;
        }
    }
}

bool BankMapDlg::EditParameter(ParamRecord* record)
{
    if (!record)
        return true;
    if (record->id == PreviousId && m_page > 0) {
        StorePage();
        --m_page;
        ShowPage();
    } else if (record->id == NextId && m_page < Pages - 1) {
        StorePage();
        ++m_page;
        ShowPage();
    }
    for (ControlBase* control : Controls())
        control->ParameterChanged(record);
    return true;
}

void BankMapDlg::OnOK()
{
    StorePage();
    ModalDialog::OnOK();
}
