#include "ui/framework/TipEditorDlg.h"

#include "ui_TipEditorDlg.h"

#include "core/LineEnds.h"

TipEditorDlg::TipEditorDlg(const QString& title, ControlListener* parent, QWidget* parentWindow)
    : ModalDialog(title, 168, parent, parentWindow), m_ui(std::make_unique<Ui::TipEditorDlg>())
{
    m_ui->setupUi(this);
    InitialiseDialog();
}

TipEditorDlg::~TipEditorDlg() = default;

void TipEditorDlg::SetText(const QString& text)
{
    m_text = text;
    m_ui->item1189->setPlainText(WithStoredLineEnds(text));
}

void TipEditorDlg::OnOK()
{
    // The tooltips are shown and handed back with "\r\n" line ends; the edit
    // works with "\n".
    m_text = WithShownLineEnds(m_ui->item1189->toPlainText());
    ModalDialog::OnOK();
}
