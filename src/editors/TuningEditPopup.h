#pragma once
// The tuning editor ("Tuning"): edits the user tuning the current preset
// plays (the module parameter PRESET_KBD_TUNE, 923: 0-11 are the factory
// tunings, which cannot be edited, 12-23 the user tunings 1-12, which the
// module knows as MIDI Tuning Standard programs 0-11).
//
// It shows twelve keys at a time, laid out like an octave of a keyboard, each
// with the note it sounds ("Key") and its fine offset ("Coarse" and "Fine",
// the upper and lower 7 bits of 1/16384 semitones). Every change is sent at
// once as a single-note tuning change, so it is heard, and recorded on the
// editor's own undo history; Apply sends the whole table as a bulk tuning dump
// for the module to keep. "Replicate" (on at first) applies a key's change to
// the same key of every octave. Tables are loaded from and saved to .sysex
// files, and Scala scales are imported (ScalaScale.h).
//
// It is a child popup of the preset editor: made with that editor's listener
// as parent, so the name label and PRESET_KBD_TUNE are asked of it, while the
// editor's own pseudo-parameters (9007-9011, 9014, 9280-9319) are answered here.
// Its parent enters it as a control (AddControl) so that activation and
// parameter changes reach it, and shows it with Show(owner, title).

#include "dump/ByteBlock.h"
#include "editors/TuningSet.h"
#include "ui/framework/Popup.h"
#include "ui/framework/UndoRedo.h"

#include <array>
#include <memory>
#include <vector>

class ButtonCtrl;
class LabelCtrl;
class LitButtonCtrl;
class TrackerCtrl;

namespace Ui {
class TuningEditPopup;
}

class TuningEditPopup : public Popup, public UndoRedo {
    Q_OBJECT
public:
    using TuningSet = ::TuningSet;
    using Tuning = ::Tuning;

    static constexpr int kTemplateId = 178;
    /// The popup's own tooltip, shown over points that belong to no control.
    static constexpr int kOwnTooltipId = 21027;
    /// String-table id of the message for a file that holds no tuning dump.
    static constexpr unsigned kNotATuningFile = 330;

    TuningEditPopup(ControlListener* parent, QWidget* parentWnd);
    ~TuningEditPopup() override;

    // ---- window
    /// Showing: the tuning number from the module, then the table (from the
    /// module for a user tuning, equal temperament for a factory one).
    void Show(PopupListener* owner, const QString& title) override;
    /// The enable rules and the Undo and Redo captions.
    void Refresh() override;
    void OnCommand(int id) override;

    // ---- ControlListener
    bool RequestParameterValues(ParamRecord* record) override;
    bool EditParameter(ParamRecord* record) override;
    void PreviewParameterValue(ParamRecord* record, int value) override;

    // ---- ControlBase
    void ParameterChanged(ParamRecord* record) override;
    bool AllowParameterChange(ParamRecord* record) override;

    // ---- UndoRedo
    bool ApplyChange(ParamRecord* record) override;
    void OnUndoStackChanged() override { Refresh(); }

    /// Every control reloads its value; the cents and note labels are written.
    void UpdateKeyLabels();
    /// With unapplied changes, asks whether to save them: Yes applies, No
    /// takes every change back (sending each key's old tuning); Cancel (only
    /// withCancel) answers false. True otherwise.
    bool AskToSaveChanges(bool withCancel);

    // ---- the table and its dumps
    /// Fills the table for the current tuning number: from the module for a
    /// user tuning, equal temperament for a factory one. False (table kept)
    /// without tuning dumps, a ready device or the module's reply.
    bool DownloadTuningSet();
    /// Appends the table as one bulk tuning dump.
    bool ReadTuningSet(ByteBlockList& blocks);
    /// Replaces name and keys from a list of one bulk tuning dump; false (table kept) otherwise.
    bool WriteTuningSet(const ByteBlockList& blocks);
    /// Sends the table to the module; the histories are emptied.
    bool ApplyTuning();
    /// Asks for a .sysex file and turns its tuning into edits.
    bool LoadTuning();
    /// Asks for a .sysex file and writes the table into it.
    bool SaveTuning();
    /// The first block's keys as edits of the editor, one undo step "Tuning
    /// Changes". A list whose first block is no readable tuning dump is
    /// refused (false) with nothing changed or sent.
    bool ApplyTuningDump(const ByteBlockList& blocks);
    /// Asks for a Scala file and imports its scale.
    void ImportScalaScale();
    /// Reads a Scala file's pitches; false after showing why not.
    bool ReadScalaFile(const QString& path, std::vector<double>& pitches);

    // ---- state, for the preset editor and tests
    const TuningSet& Table() const { return m_table; }
    int TuningNumber() const { return m_tuningNumber; }
    int Octave() const { return m_octave; }
    bool IsUserTuning() const { return m_tuningNumber > 11; }
    /// One of the editor's own records (9007-9011, 9014, 9280-9319).
    ParamRecord* OwnRecord(int id);
    TrackerCtrl* KeySlider(int k) const { return m_keys[std::size_t(k)].key; }
    TrackerCtrl* CoarseSlider(int k) const { return m_keys[std::size_t(k)].coarse; }
    TrackerCtrl* FineSlider(int k) const { return m_keys[std::size_t(k)].fine; }
    LabelCtrl* CentsLabel(int k) const { return m_keys[std::size_t(k)].cents; }
    LabelCtrl* NoteLabel(int k) const { return m_keys[std::size_t(k)].note; }
    LabelCtrl* NameLabel() const { return m_name; }
    LitButtonCtrl* ReplicateSwitch() const { return m_replicate; }
    /// The header's and the bottom row's buttons by item id.
    ButtonCtrl* Button(int itemId) const;

private:
    struct KeyGroup {
        int baseId = 0, coarseId = 0, fineId = 0;
        TrackerCtrl* key = nullptr;
        TrackerCtrl* coarse = nullptr;
        TrackerCtrl* fine = nullptr;
        LabelCtrl* cents = nullptr;
        LabelCtrl* note = nullptr;
    };

    void MakeRecords();
    void BindControls();
    /// The key (0..11) a key record belongs to, or -1.
    static int KeyOfRecord(int id);
    bool Replicating() const;
    /// Edits one of the editor's records as the user would: previous value,
    /// new value, then EditParameter.
    void EditOwnRecord(int id, int value);
    void ClearHistories();
    void DoUndo();
    void DoRedo();
    /// Enables Apply iff the table has unapplied changes.
    void UpdateApplyButton();

    std::unique_ptr<Ui::TuningEditPopup> m_ui;
    TuningSet m_table;
    int m_tuningNumber = 0;
    int m_octave = 2;

    LabelCtrl* m_name = nullptr;
    LitButtonCtrl* m_replicate = nullptr;
    std::vector<ButtonCtrl*> m_buttons;
    std::array<KeyGroup, 12> m_keys;
    std::vector<std::unique_ptr<ParamRecord>> m_records;
};
