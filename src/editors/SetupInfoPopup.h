#pragma once
// The multisetup editor ("SetupInfo", "Setup Information"): the per-channel
// part of the module's current multisetup (its setup edit buffer): for every
// MIDI channel the volume, pan, preset, mix output, channel enable, receive
// program change and arpeggiator mode, and above them the setup's name. It
// shows eight channels at a time on pages (two pages for 16 channels, four
// for 32).
//
// Every channel value is read from the connection's SetupBuffer. An edit of
// the module's current basic channel goes out as an ordinary edit of the
// per-channel parameter; an edit of any other channel is written into the
// SetupBuffer and the whole setup is uploaded. A row's records name a row,
// not a channel, so page changes are undo steps of their own.
//
// Four buttons move the whole setup at once: Load (a .sysex file into the
// module), Save (the setup into a .sysex file), Store (the module's edit
// buffer into a user setup) and Restore (a stored setup into the edit buffer).
// Load and Restore stay usable whatever the buffer holds, so a bad or missing
// setup can always be replaced.
//
// A top-level editor made by the main panel: it sends its edits to the
// module itself and keeps its own undo history.

#include "ui/framework/Popup.h"
#include "ui/framework/UndoRedo.h"

#include <array>
#include <memory>
#include <vector>

class ButtonCtrl;
class ControlBase;
class LabelCtrl;
class QDialog;
class SetupBuffer;

namespace Ui {
class SetupInfoPopup;
}

class SetupInfoPopup : public Popup, public UndoRedo {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 173;
    static constexpr int kOwnTooltipId = 20950;
    static constexpr int kRows = 8;
    /// The cells of a row after its label: volume, pan, preset, mix output,
    /// channel enable, receive program change, arp.
    static constexpr int kCells = 7;
    /// "Saving information failed".
    static constexpr unsigned kSavingFailed = 298;

    SetupInfoPopup(const QString& name, bool topLevel, ControlListener* parent, QWidget* parentWnd);
    ~SetupInfoPopup() override;

    // ---- window
    void Refresh() override;
    void OnCommand(int id) override;
    void OnClose() override;

    // ---- ControlNotification
    /// The rows from the current basic channel, then the page from the setup
    /// buffer, and the enable rules.
    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;

    // ---- ControlListener
    bool RequestParameterValues(ParamRecord* record) override;
    bool EditParameter(ParamRecord* record) override;

    // ---- UndoRedo
    bool ApplyChange(ParamRecord* record) override;
    void OnUndoStackChanged() override { Refresh(); }

    /// The rows of the current page from the setup buffer.
    void LoadPage();

    // ---- the setup commands
    bool LoadSetup();
    bool SaveSetup();
    bool StoreSetup();
    bool RestoreSetup();

    // ---- state, for tests
    int Page() const { return m_page; }
    int ChannelCount();
    ParamRecord* OwnRecord(int id);
    /// The row record of a cell (0 .. kCells-1) of a row (0 .. 7).
    ParamRecord* RowRecord(int row, int cell) const { return m_rows[std::size_t(row)].records[std::size_t(cell)]; }
    ControlBase* RowControl(int row, int cell) const { return m_rows[std::size_t(row)].cells[std::size_t(cell)]; }
    QString RowLabel(int row) const;
    ButtonCtrl* Button(int itemId) const;

protected:
    /// Runs a modal selection dialog; tests answer here instead of showing it.
    virtual int RunDialog(QDialog& dialog);

private:
    struct Row {
        LabelCtrl* label = nullptr;
        std::array<ControlBase*, kCells> cells{};
        std::array<ParamRecord*, kCells> records{};
    };

    void MakeRecords();
    void BindControls();
    SetupBuffer* Buffer();
    bool BufferValid();
    /// Enables what can be used: everything with a valid setup (or in TestUI
    /// mode), else only Load and Restore; then the paging and history rules.
    void ApplyEnableRules();
    bool LoadRowRecord(int channel, ParamRecord* record);
    bool ReloadRowRecord(ParamRecord* record);
    /// handled: the record is one of the rows of the page.
    bool EditRowParameter(ParamRecord* record, bool& handled);
    void UploadSetupBuffer();
    void EditPage(int page);
    /// The setup file's path from the file dialog; empty after Cancel.
    QString ChooseSetupFile(bool open);
    /// The setup chosen in the selection dialog; -1 after Cancel.
    int ChooseSetup(bool restore);

    std::unique_ptr<Ui::SetupInfoPopup> m_ui;
    std::vector<std::unique_ptr<ParamRecord>> m_records;
    std::array<Row, kRows> m_rows;
    std::vector<ButtonCtrl*> m_buttons;
    int m_page = 0;
};
