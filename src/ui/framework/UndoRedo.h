#pragma once
// UndoRedo: the edit history of one top-level window (the main panel and each
// editor popup). The window records every edit that went through, the
// START_UNDO / END_UNDO markers included; Undo and Redo replay the stored
// records through the window's ApplyChange. Records between a START_UNDO and
// an END_UNDO are one step under the label the control put on the markers.
// A randomise or an upload is a barrier: nothing older can be undone.
//
// Each stored record is the edit with SwapWithPrevious applied: its value,
// romId and text are what the parameter returns to.

#include "module/ParamRecord.h"

#include <QString>

#include <deque>

class ControlListener;

class UndoRedo {
public:
    /// owner: the window whose live records take the restored values.
    explicit UndoRedo(ControlListener* owner) : m_owner(owner) {}
    virtual ~UndoRedo() = default;
    UndoRedo(const UndoRedo&) = delete;
    UndoRedo& operator=(const UndoRedo&) = delete;

    /// True when the history holds a change other than a layer choice, a
    /// marker, paging or the editor's own buttons.
    virtual bool IsModified() const;
    /// The histories changed: refresh the Undo and Redo buttons and texts.
    virtual void OnUndoStackChanged() = 0;
    /// Applies one record during Undo or Redo. False (refused): the step
    /// stays where it was in the histories and the window's record keeps the
    /// value it had.
    virtual bool ApplyChange(ParamRecord* record) = 0;

    /// Stores the undo record of an edit that went through and clears the
    /// redo history. EDIT_TRACKER records are not kept.
    void RecordChange(const ParamRecord* record);
    /// Undoes the newest step (a whole group at once). keepForRedo false
    /// drops it without making Redo possible. A step the window refuses stays
    /// the newest (see ApplyChange).
    void Undo(bool keepForRedo = true);
    void Redo();
    /// Empties both histories (a new preset, pattern or setup replaces what
    /// they could return to), then OnUndoStackChanged.
    void ClearHistory();
    /// Something to undo, and the newest record is no barrier.
    bool CanUndo() const;
    bool CanRedo() const { return !m_redo.empty(); }
    /// The parameter's name, or a group's label ("Sequence of Commands" when
    /// it has none); empty when there is nothing.
    QString GetUndoText() const;
    QString GetRedoText() const;

    const std::deque<ParamRecord>& UndoHistory() const { return m_undo; }
    const std::deque<ParamRecord>& RedoHistory() const { return m_redo; }

private:
    bool Apply(ParamRecord record);
    static QString StepText(const std::deque<ParamRecord>& history);

    ControlListener* m_owner;
    std::deque<ParamRecord> m_undo;
    std::deque<ParamRecord> m_redo;
};

/// Runs the Undo or Redo command of a window's keys and buttons on its history
/// (Undo keeps the step for Redo); does nothing when there is nothing to undo
/// or redo. False when id is another command, which the caller then runs.
bool RunUndoRedoCommand(UndoRedo& history, int id);

