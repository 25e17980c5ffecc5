#pragma once
// CAboutDlg: the About box. Besides the program's version it names the
// connected module with its operating-system revision and lists what the
// program found the module can do when it probed it.

#include "ui/framework/BasicDialog.h"

#include <QStringList>

#include <cstdint>
#include <memory>

namespace Ui {
class AboutDlg;
}
class LabelCtrl;
class QLabel;
class ListBoxCtrl;
class Proteus;

class CAboutDlg : public ModalDialog {
    Q_OBJECT
public:
    /// name: the dialog's name ("About Box"; the caption is the form's);
    /// proteus: the module connection, not owned, may be null.
    CAboutDlg(const QString& name, Proteus* proteus, QWidget* parentWnd);
    ~CAboutDlg() override;

    /// The module line: "Module Emu <model>, OS Version <revision>".
    static QString ModuleLine(const QString& modelName, const QString& revision);
    /// One line per capability flag, in the order the box lists them, or the
    /// single "untested" line while the module has not been probed.
    static QStringList CapabilityLines(std::uint32_t capabilities);

    /// The dialog's items, for tests.
    QLabel* ModuleText() const;
    ListBoxCtrl* CapabilityList() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Start();

    std::unique_ptr<Ui::AboutDlg> m_ui;
    Proteus* m_proteus;
    bool m_started = false;
};
