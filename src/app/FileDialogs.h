#pragma once
// The program's file dialogs: FileDlg (preset files, XML or SysEx),
// SysexFileDlg (.sysex files), ScalaFileDlg (Scala scales, open only) and
// SonarFileDlg (instrument definition files, save only). Each is Qt's own
// file dialog (never the desktop's native one, which cannot carry extra
// widgets) with a small panel below the standard controls: a read-only
// description of the selected file type, or the options of the instrument
// definition export.
//
//     FileDlg dlg(false, currentFile, this);        // false: save
//     if (dlg.DoModal() == QDialog::Accepted) {
//         path = dlg.GetPathName();                  // full path
//         type = dlg.GetFilterIndex();               // 1-based file type
//     }
//
// Tests never show a dialog: SetFileDialogScript installs a function that is
// given the dialog, fully set up, in place of running it, and answers for the
// user (FileDialogBase::Choose, then QDialog::Accepted; or QDialog::Rejected).

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QPlainTextEdit;
class QCheckBox;
class QLineEdit;
class QWidget;

namespace Ui {
class FileDescriptionPanel;
class SonarOptionsPanel;
} // namespace Ui

/// Turns a file-type string ("Name (*.a)|*.a|All Files (*.*)|*.*||") into
/// the dialog's name filters, one per type in order. The pattern "*.*" means
/// every file, as it does where the strings come from: it becomes "*", so
/// files without an extension are listed too.
QStringList NameFiltersFromTypeString(const QString& types);

class FileDialogBase : public QFileDialog {
    Q_OBJECT
public:
    /// open: an open dialog (the file must exist), else a save dialog that
    /// asks before overwriting. typesStringId: the string-table entry of the
    /// file types; defaultExtension: added to a typed name without one when
    /// the chosen type has no single extension of its own.
    FileDialogBase(bool open, const QString& initialName, QWidget* owner, unsigned typesStringId,
                   const QString& defaultExtension);
    ~FileDialogBase() override;

    bool IsOpenDialog() const { return m_open; }
    /// Runs the dialog modally (or the installed script); QDialog::Accepted on OK.
    int DoModal();
    /// The full path chosen; empty before OK.
    QString GetPathName() const;
    /// The file type chosen, counted from 1.
    int GetFilterIndex() const;

    /// For scripts: picks file type index (1-based; 0 keeps the current
    /// one) as the user would, then the path (a name without extension gets
    /// the type's extension in a save dialog).
    void Choose(const QString& path, int typeIndex = 0);
    /// Picks a file type as the user would (1-based).
    void SelectFileType(int typeIndex);

    /// The description panel's text now; empty for a dialog without one.
    QString DescriptionText() const;
    /// The suffix a typed name without one gets now.
    QString CurrentDefaultSuffix() const { return defaultSuffix(); }

    void done(int result) override;

protected:
    /// The panel's text for a file-type text (the list's entry); empty: no panel.
    virtual QString DescriptionFor(const QString& typeText) const { return {}; }
    /// The panel's text before any type is picked.
    virtual QString StartDescription() const { return {}; }
    /// When the dialog has finished initialising (before it shows or its script runs), once.
    virtual void OnInitialised() {}
    /// When the dialog ends (OK or Cancel alike), once.
    virtual void OnDialogEnd() {}
    void showEvent(QShowEvent* event) override;

    /// Puts panel below the standard controls, across the whole dialog.
    void AddPanel(QWidget* panel);
    /// Shows the description panel (layout 159) with the start text.
    void AddDescriptionPanel();

private:
    void OnTypeChange(const QString& typeText);
    void InitialiseOnce();
    void EndOnce();

    bool m_open;
    QString m_defaultExtension;
    QString m_chosenPath;
    bool m_scripted = false;
    bool m_ended = false;
    bool m_initialised = false;
    QWidget* m_descriptionPanel = nullptr;
    Ui::FileDescriptionPanel* m_descriptionUi = nullptr;
};

/// Preset files: XML documents or .sysex dumps.
class FileDlg : public FileDialogBase {
    Q_OBJECT
public:
    FileDlg(bool open, const QString& initialName, QWidget* owner);

protected:
    QString DescriptionFor(const QString& typeText) const override;
    QString StartDescription() const override;
};

/// .sysex files (presets, setups, tunings).
class SysexFileDlg : public FileDialogBase {
    Q_OBJECT
public:
    SysexFileDlg(bool open, const QString& initialName, QWidget* owner);

protected:
    QString DescriptionFor(const QString& typeText) const override;
    QString StartDescription() const override;
};

/// Scala scale files, for opening.
class ScalaFileDlg : public FileDialogBase {
    Q_OBJECT
public:
    ScalaFileDlg(const QString& initialName, QWidget* owner);

protected:
    QString DescriptionFor(const QString& typeText) const override;
    QString StartDescription() const override;
};

/// Instrument definition files, for saving, with the export's options.
class SonarFileDlg : public FileDialogBase {
    Q_OBJECT
public:
    SonarFileDlg(const QString& initialName, bool arpsAndBeats, bool sysexDumps, QWidget* owner);
    ~SonarFileDlg() override;

    // The options; read back from the panel when the dialog ends, OK or Cancel alike.
    unsigned char arpsAndBeats;          ///< the module has arps and beats
    unsigned char sysexDumps;            ///< the module has SysEx dumps
    bool insertKeyMap = false;           ///< "Insert Keymap Data"
    bool includeBeatsTriggers = false;   ///< "Include Beats Triggers in Keymaps"
    bool onlyUniqueUserPresets = true;   ///< "Only Include User Presets with Unique Names"
    bool includeNoCategory = false;      ///< "Include Presets with No Category Name"
    QString deviceName;                  ///< set by the caller before DoModal

    QCheckBox* InsertKeyMapBox() const;
    QCheckBox* BeatsTriggersBox() const;
    QCheckBox* UniqueNamesBox() const;
    QCheckBox* NoCategoryBox() const;
    QLineEdit* DeviceNameEdit() const;

    /// The enable rules of the options (also run when "Insert Keymap Data" is clicked).
    void ApplyEnableRules();

protected:
    /// The option fields into the panel, then the enable rules.
    void OnInitialised() override;
    /// The panel back into the option fields.
    void OnDialogEnd() override;

private:
    QWidget* m_panel = nullptr;
    Ui::SonarOptionsPanel* m_ui = nullptr;
};

/// Answers a file dialog for the user: QDialog::Accepted (after Choose) or
/// QDialog::Rejected.
using FileDialogScript = std::function<int(FileDialogBase&)>;
/// Installs script for every file dialog from now on; an empty one restores
/// the real dialogs.
void SetFileDialogScript(FileDialogScript script);
