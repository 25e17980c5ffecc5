#include "ui/framework/TipEditor.h"

#include "core/GlobalResources.h"
#include "ui/framework/TipEditorDlg.h"

namespace {

TipEditorRunner& InstalledRunner()
{
    static TipEditorRunner runner;
    return runner;
}

std::optional<QString> RunDialog(const QString& title, ControlListener* parent, QWidget* parentWindow,
                                 const QString& text)
{
    TipEditorDlg dialog(title, parent, parentWindow);
    dialog.SetText(text);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Text();
}

} // namespace

void SetTipEditorRunner(TipEditorRunner runner)
{
    InstalledRunner() = std::move(runner);
}

std::optional<QString> RunTipEditor(ControlListener* parent, QWidget* parentWindow, const QString& text)
{
    const QString title = QStringLiteral("Tip Editor");
    if (InstalledRunner())
        return InstalledRunner()(title, parent, parentWindow, text);
    return RunDialog(title, parent, parentWindow, text);
}

void EditTooltip(unsigned tipId, ControlListener* parent, QWidget* parentWindow)
{
    GlobalResources* resources = TheGlobalResources();
    if (tipId == 0 || !resources)
        return;
    if (std::optional<QString> edited = RunTipEditor(parent, parentWindow, resources->GetTooltipText(tipId)))
        resources->SetTooltipText(tipId, *edited);
}
