#include "ui/framework/TipEditorDlg.h"

#include "ui_TipEditorDlg.h"

TipEditorDlg::TipEditorDlg(const QString& title, ControlListener* parent, QWidget* parentWindow)
    : QDialog(parentWindow), ChainedListener(parent, false), m_ui(std::make_unique<Ui::TipEditorDlg>()), m_title(title)
{
    m_ui->setupUi(this);
    connect(m_ui->item1, &QPushButton::clicked, this, &TipEditorDlg::accept);
    connect(m_ui->item2, &QPushButton::clicked, this, &TipEditorDlg::reject);
}

TipEditorDlg::~TipEditorDlg() = default;

void TipEditorDlg::SetText(const QString& text)
{
    m_text = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_ui->item1189->setPlainText(shown);
}

void TipEditorDlg::accept()
{
    // The stored tooltips keep Windows line ends; the edit works with "\n".
    m_text = m_ui->item1189->toPlainText();
    m_text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_text.replace(u'\n', QStringLiteral("\r\n"));
    QDialog::accept();
}
