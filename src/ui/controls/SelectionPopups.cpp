#include "ui/controls/SelectionPopups.h"

#include "ui_NameSelectionPopup.h"
#include "ui_PopupTrackerDlg.h"

#include "module/ParameterIds.h"
#include "ui/framework/ItemId.h"
#include "ui/framework/StackWaitCursor.h"

#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>

// ------------------------------------------------------------------ name selection

NameSelectionPopup::NameSelectionPopup(int selectionType, const QString& name, bool topLevel,
                                       ControlListener* parent, QWidget* parentWnd)
    : ResizingPopup(name, 145, topLevel, parent, parentWnd), m_ui(std::make_unique<Ui::NameSelectionPopup>()),
      m_selectionType(selectionType)
{
    m_ui->setupUi(this);
    setWindowTitle(name);
    m_filter = ItemAs<EditCtrl>(FilterItem);
    m_filter->SetOwner(this);
    m_list = ItemAs<ItemListCtrl>(ListItem);
    m_list->Attach(selectionType, this, this);
    // The filter and list keep the form's margins as the popup is resized.
    const QRect list = m_list->geometry();
    m_listMargins = QMargins(list.left(), list.top(), width() - list.right() - 1, height() - list.bottom() - 1);
    InitialisePopup();
    SetOwnTooltipId(20540);
    m_filter->SetControlWindow(m_filter);
    m_filter->SetToolTipId(20541);
    AddControl(m_filter);
    m_list->Setup(20542);
    AddControl(m_list);
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) { m_list->SetFilter(text); });
}

NameSelectionPopup::~NameSelectionPopup()
{
    DestroyPopup();
    ForgetControls();
}

QSize NameSelectionPopup::GetMaxTrackSize() const
{
    QSize most = ResizingPopup::GetMaxTrackSize();
    // The list may grow to the full height of the desktop's work area.
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen())
        most.setHeight(s->availableGeometry().height());
    return most;
}

void NameSelectionPopup::Show(PopupListener* owner, const QString& title)
{
    if (owner && !m_filled) {
        m_list->Populate();
        m_filled = true;
    }
    ResizingPopup::Show(owner, title);
}

void NameSelectionPopup::SetSelection(int romId, int value)
{
    m_list->SelectItem(romId, value);
}

void NameSelectionPopup::SetUserBankOnly(bool on)
{
    m_list->SetUserBankOnly(on);
}

bool NameSelectionPopup::OnPopupSelect(int, int romId, int value)
{
    PopupListener* owner = Owner();
    return !owner || owner->OnPopupSelect(m_selectionType, romId, value);
}

void NameSelectionPopup::resizeEvent(QResizeEvent* event)
{
    ResizingPopup::resizeEvent(event);
    const QRect client = rect().marginsRemoved(m_listMargins);
    m_filter->setGeometry(client.left(), m_filter->y(), client.width(), m_filter->height());
    m_list->setGeometry(client.left(), client.top(), client.width(), std::max(0, client.height()));
    // The chosen name stays in sight, else the row that was at the top.
    const QModelIndex top = m_list->indexAt(QPoint(1, 1));
    const int row = m_list->SelectedRow() >= 0 ? m_list->SelectedRow() : top.row();
    if (row >= 0)
        m_list->scrollTo(m_list->model()->index(row, 0));
}

// ------------------------------------------------------------------ slider popup

PopupTrackerDlg::PopupTrackerDlg(const QString& name, bool topLevel, ControlListener* parent,
                                 PopupTrackerListener* client, QPoint at, QWidget* parentWnd)
    : Popup(name, 153, topLevel, parent, parentWnd), m_ui(std::make_unique<Ui::PopupTrackerDlg>()), m_logic(this, client),
      m_at(at)
{
    m_ui->setupUi(this);
    setWindowTitle(name);
    setModal(true);
    m_slider = ItemAs<TrackerCtrl>(SliderItem);
    m_slider->SetOwner(this);
    InitialisePopup();
}

PopupTrackerDlg::~PopupTrackerDlg()
{
    DestroyPopup();
    ForgetControls();
}

void PopupTrackerDlg::Configure(const QString& title, ParamRecord* record, int valueFormat, bool showTicks,
                                int tickLength)
{
    m_record = record;
    m_slider->SetCaption(title.isEmpty() ? windowTitle() : title);
    m_slider->BindParameter(nullptr, valueFormat, record);
    m_slider->Setup(0, false, false, showTicks, tickLength);
    if (record) {
        m_slider->SetRange(record->minimum, record->maximum);
        m_slider->SetPosition(record->value);
    }
    AddControl(m_slider);
    m_slider->Activate();
    move(m_at);
}

bool PopupTrackerDlg::EditParameter(ParamRecord* record)
{
    return m_logic.Edit(record);
}

void PopupTrackerDlg::OnOK()
{
    m_logic.Ok(m_record, m_slider->Value());
}

void PopupTrackerDlg::OnCancel()
{
    m_logic.Cancel();
    RevertLastEdit();
    Popup::OnCancel();
}

// ------------------------------------------------------------------ popup switch

PopupSwitchCtrl::PopupSwitchCtrl(ControlListener* owner, QWidget* parent) : SwitchCtrl(owner, parent) {}

PopupSwitchCtrl::~PopupSwitchCtrl()
{
    // A popup still shown for this switch must not call back into it.
    if (m_popup && IsOn())
        if (auto* popup = dynamic_cast<Popup*>(m_popup); popup && popup->Owner() == this)
            popup->Show(nullptr, QString());
}

void PopupSwitchCtrl::Setup(const QString& popupName, int tooltipId)
{
    Setup(tooltipId);
    m_popupName = popupName;
    update();
}

void PopupSwitchCtrl::OnToggled()
{
    StackWaitCursor wait;
    if (IsOn()) {
        if (!m_popup && !m_popupName.isEmpty() && GetOwner())
            m_popup = dynamic_cast<PopupBase*>(GetOwner()->FindPopup(m_popupName));
        if (m_popup)
            m_popup->Show(this, QString());
    } else if (m_popup) {
        m_popup->Show(nullptr, QString());
    }
    SwitchCtrl::OnToggled();
}

bool PopupSwitchCtrl::OnPopupClosing()
{
    bool answer = true;
    ParamRecord* p = MainParameter();
    if (p && p->value != 0 && GetOwner()) {
        p->previousValue = p->value;
        p->value = 0;
        if (GetOwner()->EditParameter(p)) {
            TakeFocus();
        } else {
            p->previousValue = 0;
            p->value = 1;
            answer = false;
        }
    }
    if (answer)
        SetState(false);
    update();
    return answer;
}

void PopupSwitchCtrl::ClosePopup()
{
    SetState(false);
    if (m_popup)
        m_popup->Show(nullptr, QString());
    update();
}
