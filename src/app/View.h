#pragma once
// View: the main panel. It is the module connection's listener, the root of
// every chain of controls, dialogs and popups, the router of requests and
// edits to the module, and the keeper of the named popups.
//
// The panel's layout is the form View.ui; its controls are bound in
// OnInitialUpdate from one table (item, control, parameter, triggers, value
// format, tooltip) and stay disabled until the module connects. The panel's
// own buttons are pseudo-parameters whose edits end here (EditParameter and
// ApplyChange); module parameters go to the connection and are recorded on
// the panel's undo list.
//
// The named popups: the Message Log exists with the panel; the selection
// lists and the editors are made at the first connect and kept until the
// panel goes. An editor whose class is not part of the program leaves its
// slot empty (CreatePopup), and the switch that would show it stays disabled.

#include "ui/framework/ItemTips.h"
#include "ui/framework/RootListener.h"

#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Document;
class QDialog;
class LabelCtrl;
class LoggerPopup;
class PopupBase;
class PopupSwitchCtrl;
class ProgressCtrl;
class SpinButtonCtrl;
class TrackerCtrl;
class ViewKeyboard;
class SelectCtrl;

namespace Ui {
class View;
}

/// What the panel asks of the Controllers popup, which implements it.
class ControllerPopupCalls {
public:
    virtual ~ControllerPopupCalls() = default;
    /// Whether one of its beat triggers is on.
    virtual bool AnyBeatTriggerOn() = 0;
    virtual void ReleaseTriggers() = 0;
    virtual void ResetControllers() = 0;
    /// A control change other than volume and pan was sent (status, controller, value).
    virtual void ShowControlChange(int status, int controller, int value) = 0;
    /// A note on or off was sent (status, note, velocity).
    virtual void ShowTriggerNote(int status, int note, int velocity) = 0;
};

/// What the File and Edit commands need of the preset editor ("Edit"), which
/// implements it: the title and comments stored with a file, and the
/// comments a loaded file brings.
class PresetEditorCalls {
public:
    virtual ~PresetEditorCalls() = default;
    /// The category, ":" and the name, as the editor's name fields show them.
    virtual QString GetTitleText() = 0;
    /// The preset's tooltip text; empty when the editor has none.
    virtual QString GetTooltipText() = 0;
    /// Sets the preset's tooltip text as an edit of the editor.
    virtual void SetTooltipText(const QString& text) = 0;
};

class View : public QWidget, public RootListener {
    Q_OBJECT
public:
    /// The named popups, in the order they are made and deleted.
    enum PopupSlot {
        PresetSelectionPopup,
        InstrumentSelectionPopup,
        ArpSelectionPopup,
        SetupSelectionPopup,
        DemoSelectionPopup,
        RiffSelectionPopup,
        MasterPopup,
        EditPopup,
        ControllersPopup,
        ArpEditPopup,
        SetupInfoPopup,
        PopupSlotCount
    };
    /// The registry name of a slot ("PresetSelection" ... "SetupInfo").
    static QString PopupSlotName(int slot);

    /// Makes the editor of a slot (Master, Edit, Controllers, ArpEdit,
    /// SetupInfo) with the view as its parent listener and window, or null
    /// when the program has no such editor. The editors live in a layer above
    /// this one, so the program hands their maker in.
    using EditorFactory = std::function<std::unique_ptr<PopupBase>(int slot, View& view)>;
    void SetEditorFactory(EditorFactory factory) { m_editorFactory = std::move(factory); }

    /// The panel's tooltip, shown over points that belong to no control.
    static constexpr int PanelTooltipId = 20400;
    /// The panel's items.
    enum Item : int {
        PanItem = 1050,
        ChannelItem = 1015,
        VolumeItem = 1020,
        SoundsOffItem = 1105,
        MixItem = 1055,
        ArpItem = 1052,
        EditArpItem = 1053,
        ProgChangeItem = 1054,
        OctaveSpinItem = 1185,
        KeyboardItem = 1011,
        LatchItem = 1106,
        RepeatItem = 1107,
        ChordItem = 1109,
        ClearItem = 1108,
        EnabledItem = 1010,
        PresetItem = 1014,
        AuditionItem = 1016,
        ControllersItem = 1017,
        EditPresetItem = 1012,
        MasterItem = 1048,
        SetupItem = 1284,
        ProgressTextItem = 1051,
        ProgressBarItem = 1002,
        OutPortItem = 1140,
        LowNoteItem = 1141,
        InPortItem = 1142,
        HighNoteItem = 1143,
    };

    explicit View(Document& document, QWidget* parent = nullptr);
    ~View() override;

    /// Binds and sets up the panel's controls; the panel stays disabled until the module connects.
    void OnInitialUpdate();
    /// The ports changed: shows their names again and repaints.
    void OnUpdate();
    /// Sends ANY_PARAMETER so an editor with unsaved changes may ask and veto; true to go on.
    bool QueryClose();
    /// The channel tracker's range: 32 channels on a 32-channel module with its B port open, else 16.
    void UpdateChannelRange();
    /// The preset on the panel's channel.
    void GetCurrentPreset(int& romId, int& presetNumber);

    Document& GetDocument() const { return m_document; }
    /// The panel's size: the form's.
    QSize sizeHint() const override { return m_formSize; }

    // ---- Panel ---------------------------------------------------------------------------

    /// The widget of a panel item; null when the form has none.
    QWidget* Item(int id) const;
    template <class T> T* ItemAs(int id) const { return qobject_cast<T*>(Item(id)); }
    /// The panel's tooltip id: 20400 once the panel is bound, 0 before.
    int GetPanelTooltipId() const { return m_panelTooltipId; }
    /// The tooltip of an item: a registered control's own text, else the
    /// panel's; empty when neither has one.
    QString GetToolTipText(int itemId);
    /// Command 127 (long tooltips only): edits the tooltip of the focused panel control.
    void OnTipEditor();
    /// The shared enable rule of the commands that need the module.
    bool OnUpdateNeedsDevice() { return IsDeviceReady(); }
    /// A step of the octave spin; false (and nothing changes) outside its range.
    bool OnOctaveDeltaPos(int delta);
    /// The keyboard's octave and the range labels under it.
    void SetOctave(int position);
    /// The keyboard's lowest note, as the range label shows it.
    int KeyboardOctave() const;

    /// A named popup; null before the first connect or when its editor is not part of the program.
    PopupBase* GetPopup(int slot) const { return m_popups[size_t(slot)].get(); }
    LoggerPopup* GetMessageLog() const { return m_messageLog; }
    bool IsProgressActive() const { return m_progressActive; }
    /// The last preset file and file type of the file commands (settings PresetFile and PresetFilter).
    const QString& GetPresetFile() const { return m_presetFile; }
    void SetPresetFile(const QString& path) { m_presetFile = path; }
    int GetPresetFilter() const { return m_presetFilter; }
    void SetPresetFilter(int filter) { m_presetFilter = filter; }

    // ---- File and Edit commands: documents and transfers (ViewDocumentCommands.cpp) --------

    /// Load: a .sysex file is sent into the edit buffer, a preset document is
    /// loaded into the preset editor (as one undo step).
    void OnFileLoad();
    /// Save: to the current preset file, as a SysEx dump or a preset document
    /// by its type (a file named .sysex or .syx is always written as SysEx).
    void OnFileSave();
    /// Save As: asks for the file and its type, then saves.
    void OnFileSaveAsPreset();
    /// Copy Data: copies a preset or a layer on the module.
    void OnEditCopyData();
    /// Import Data: a .sysex file sent into the edit buffer.
    void OnEditImportData();
    /// Export Data: a preset or a section of one written to a .sysex file.
    void OnEditExportData();
    /// Send Data: a .sysex file sent as it is (stored where the file says).
    void OnEditSendData();
    /// Enable rules: Load, Save, Save As, Copy Data and Import Data need the
    /// module ready; Export Data and Send Data a module that takes SysEx dumps.
    bool CanLoadOrSave() { return IsDeviceReady(); }
    bool CanCopyOrImportData() { return IsDeviceReady(); }
    bool CanExportOrSendData();
    /// Whether a file is a SysEx file: its suffix is .sysex or .syx, in any case.
    static bool IsSysExPath(const QString& path);
    /// The preset editor's calls, when the editor exists.
    PresetEditorCalls* PresetEditor() const;
    /// Downloads a preset (or the edit buffer: ROM 0, preset -1) and writes it
    /// to path with its title and comments; false when either step failed.
    bool DumpToFile(int subRequest, int romId, int preset, const QString& path);
    /// Import Data (renumber) and Send Data (as it is).
    void TransferSysExFile(bool renumber);

    // ---- Module operations, view and options commands (ViewModuleCommands.cpp) -------------
    /// Runs a modal dialog of these commands (and of the preset document and
    /// transfer commands above) and answers its result; tests install one that
    /// answers for the user instead of showing the dialog.
    using DialogRunner = std::function<int(QDialog& dialog)>;
    void SetDialogRunner(DialogRunner runner) { m_dialogRunner = std::move(runner); }
    /// Edits the module's bank map and sends it back when changed.
    void OnEditBankMap();
    /// Shows or hides the Message Log.
    void OnViewMessageLog();
    /// Stores the tooltip mode of command (TooltipsNone, TooltipsShort, TooltipsLong).
    void OnViewTooltips(int command);
    /// Writes the module's instrument definition file for Sonar.
    void OnSaveInstrumentDefinition();
    /// Writes the current effects settings to a SysEx file.
    void OnExportFxBank();
    void OnBackupModule();
    void OnRestoreBackup();
    void OnOptions();
    /// Enable rules: the bank map needs bank map dumps.
    bool OnUpdateBankMap();
    /// Export FX Bank: device ready, effects not bypassed in multi mode with an effects channel.
    bool OnUpdateExportFxBank();
    /// Backup and Restore: the module takes at least one kind of dump.
    bool OnUpdateBackupRestore();
    /// The command whose radio mark shows the stored tooltip mode.
    static int TooltipCommand();

    // ---- ControlListener -------------------------------------------------------------------

    bool EditParameter(ParamRecord* record) override;
    /// The module's name of an object; none while no module is ready.
    QString GetObjectName(int kind, int romId, int index) override;
    MidiPort* GetAltPort() override;
    bool IsDeviceReady() override;
    /// Nothing: the panel keeps every edit it recorded.
    void RevertLastEdit() override {}
    /// A popup entered under a name already present replaces the earlier one.
    void AddPopup(const QString& name, QWidget* popup) override;

    // ---- ProteusEvents ------------------------------------------------------------------------

    void OnDeviceConnected() override;
    void OnParameterChanged(ParamRecord* record) override;
    void OnDeviceDisconnected() override;
    void OnWaiting() override;
    void OnBeginProgress(int lower, int upper, const QString& text) override;
    void OnProgressText(const QString& text) override;
    void OnProgressStep() override;
    void OnEndProgress() override;
    void OnSysExSent(const std::uint8_t* data, unsigned length) override;
    void OnShortMessageSent(const std::uint8_t packed[4]) override;

    // ---- UndoRedo ------------------------------------------------------------------------------

    void OnUndoStackChanged() override;
    bool ApplyChange(ParamRecord* record) override;

protected:
    /// Makes the popup of a slot, not yet registered as a control; null for
    /// an editor whose class is not part of the program.
    virtual std::unique_ptr<PopupBase> CreatePopup(int slot);

    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    /// The effect of a panel button other than the recorded ones (9016, 9018,
    /// 9019, 9020, 9024, 9025).
    void PanelButtonEdit(ParamRecord* record);
    /// Audition, latch, repeat and chord: their effect, then the edit.
    bool PanelSwitchEdit(ParamRecord* record);
    void SoundsOff(ParamRecord* record);
    /// Switches a panel switch off through EditParameter (so it is recorded).
    void SwitchOff(int id);
    /// The Controllers popup's calls, when it exists.
    ControllerPopupCalls* Controllers() const;

    /// The channel maximum (31 or 15) and the channel tracker's value format.
    void SetChannelRange();
    void ShowPortNames();
    /// Enables or disables every registered control but the Message Log.
    void EnablePanel(bool enable);
    /// A popup switch stays disabled while its popup does not exist.
    void UpdatePopupSwitches();
    void RefreshFrameTitle();
    /// Makes the record show value without sending or recording anything.
    void EchoToTracker(int item, int value);
    void ShortMessageEcho(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    /// The preset on the panel's channel; false (and the outputs untouched)
    /// when it could not be found.
    bool LookUpCurrentPreset(int& romId, int& presetNumber);
    void ApplyColours();
    void TakeOverLabels();

    Document& m_document;
    EditorFactory m_editorFactory;
    DialogRunner m_dialogRunner;
    std::unique_ptr<Ui::View> m_ui;
    QSize m_formSize;

    LoggerPopup* m_messageLog = nullptr;
    std::array<std::unique_ptr<PopupBase>, PopupSlotCount> m_popups;

    SpinButtonCtrl* m_octaveSpin = nullptr;
    LabelCtrl* m_progressText = nullptr;
    ProgressCtrl* m_progressBar = nullptr;
    TrackerCtrl* m_pan = nullptr;
    TrackerCtrl* m_channel = nullptr;
    TrackerCtrl* m_volume = nullptr;
    ViewKeyboard* m_keyboard = nullptr;
    SelectCtrl* m_preset = nullptr;
    std::vector<PopupSwitchCtrl*> m_popupSwitches;
    std::vector<LabelCtrl*> m_labels;

    std::array<ParamRecord, 13> m_panelRecords;
    bool m_progressActive = false;
    int m_progressWaitCursors = 0;
    bool m_connected = false;
    QString m_presetFile;
    int m_presetFilter = 0;
    int m_panelTooltipId = 0;
    ItemTips m_tips{this, [this](int itemId) { return GetToolTipText(itemId); }};
    QElapsedTimer m_lastWaitRepaint;
};
