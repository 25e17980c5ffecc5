#include "ui/framework/ChooseLayerDlg.h"

#include "ui_ChooseLayerDlg.h"

#include "core/MessageBox.h"
#include "dump/LayerChooser.h"
#include "ui/framework/ControlBase.h"

#include <QComboBox>
#include <QPointer>

namespace {

// String-table entries "Layer 1" to "Layer 4", in order.
constexpr unsigned kLayer1Text = 194;

// Tooltips of the dialog and of its list.
constexpr int kDialogTooltip = 20230;
constexpr int kListTooltip = 20233;
constexpr int kListItem = 1022;

} // namespace

ChooseLayerDlg::ChooseLayerDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : ModalDialog(title, 170, parent, parentWnd), m_ui(std::make_unique<Ui::ChooseLayerDlg>())
{
    m_ui->setupUi(this);
    InitialiseDialog();
}

ChooseLayerDlg::~ChooseLayerDlg()
{
    ForgetControls();
}

QComboBox* ChooseLayerDlg::LayerList() const
{
    return ItemAs<QComboBox>(kListItem);
}

void ChooseLayerDlg::showEvent(QShowEvent* event)
{
    if (!m_started) {
        m_started = true;
        Start();
    }
    ModalDialog::showEvent(event);
}

void ChooseLayerDlg::Start()
{
    SetOwnTooltipId(kDialogTooltip);
    QComboBox* list = LayerList();
    m_listControl = std::make_unique<ControlBase>(this);
    m_listControl->SetControlWindow(list);
    m_listControl->SetToolTipId(kListTooltip);
    AddControl(m_listControl.get());
    for (unsigned layer = 0; layer < 4; ++layer)
        list->addItem(LoadResourceString(kLayer1Text + layer), static_cast<int>(layer));
    // A preset layer outside 1-4 selects the first.
    const int index = list->findData(m_chosenLayer);
    list->setCurrentIndex(index >= 0 ? index : 0);
    m_chosenLayer = list->currentData().toInt();
    connect(list, &QComboBox::currentIndexChanged, this, [this, list](int index) {
        if (index >= 0)
            m_chosenLayer = list->itemData(index).toInt();
    });
}

void InstallLayerChooser(QWidget* parentWnd)
{
    QPointer<QWidget> owner(parentWnd);
    SetLayerChooser([owner](const QString& caption) -> std::optional<int> {
        ChooseLayerDlg dialog(caption, nullptr, owner.data());
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.ChosenLayer();
    });
}
