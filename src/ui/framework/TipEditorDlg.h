#pragma once
// TipEditorDlg: the modal editor of one tooltip text ("Edit the Tooltip"): a
// multi-line edit that takes Enter as a line break, OK and Cancel. The opener
// puts the text in, runs the dialog and reads the text back after OK; after
// Cancel the text it gave is unchanged. Edits of its parameters are accepted
// and do nothing. The layout is TipEditorDlg.ui (item 1189 the edit, 1 OK,
// 2 Cancel).

#include "ui/framework/BasicDialog.h"

#include <QString>

#include <memory>

namespace Ui {
class TipEditorDlg;
}

class TipEditorDlg : public ModalDialog {
    Q_OBJECT
public:
    /// title: the opener's name for the editor ("Tip Editor"); the window
    /// keeps its own caption.
    TipEditorDlg(const QString& title, ControlListener* parent, QWidget* parentWindow);
    ~TipEditorDlg() override;

    /// The text to edit; line ends may be "\r\n" or "\n".
    void SetText(const QString& text);
    /// The text: as given, or after OK the edited text with "\r\n" line ends.
    const QString& Text() const { return m_text; }

    bool EditParameter(ParamRecord* record) override { return true; }

protected:
    void OnOK() override;

private:
    std::unique_ptr<Ui::TipEditorDlg> m_ui;
    QString m_text;
};
