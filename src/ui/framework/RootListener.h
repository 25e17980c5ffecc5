#pragma once
// RootListener: the root of every chain of windows. It talks to the module
// connection (Proteus) for requests and edits, keeps the popup registry and
// the panel's undo history, and passes the module's events on to its
// controls. The main panel builds on it; until then it serves the framework
// and its tests on its own.
//
// - GetParameter: its own table first, then Proteus::FindParameter, so a
//   record is always found while there is a connection object.
// - EditParameter: SHORT_MIDI_MSG goes straight to the module, is not
//   recorded and answers true; the START_UNDO / END_UNDO markers and the
//   pseudo-parameters of its own table are recorded; module parameters go to
//   Proteus::ParameterEdit and are recorded when it takes them.
// - IsDeviceReady: connected with both ports open, or the setting TestUI on.
// - ApplyChange (Undo/Redo): module parameters go to the module with a
//   running audition paused around the edit.
// - Module events: connect activates every control, disconnect deactivates
//   them, a change reaches every control, a change in the confirm set is
//   refused when any control asks to keep an unfinished edit.

#include "module/ProteusEvents.h"
#include "ui/framework/ControlListener.h"
#include "ui/framework/UndoRedo.h"

#include <QString>

#include <map>

class RootListener : public ControlListener, public ProteusEvents, public UndoRedo {
public:
    /// proteus may be null (no module: requests and module edits fail). The
    /// listener registers itself with proteus and removes itself at the end.
    explicit RootListener(Proteus* proteus);
    ~RootListener() override;

    bool RequestParameterValues(ParamRecord* record) override;
    bool RequestParameterMinMax(ParamRecord* record) override;
    bool EditParameter(ParamRecord* record) override;
    QString GetObjectName(int kind, int romId, int index) override;
    ParamRecord* GetParameter(int id) override;
    Proteus* GetProteus() override { return m_proteus; }
    MidiPort* GetAltPort() override;
    bool IsDeviceReady() override;
    void AddPopup(const QString& name, QWidget* popup) override;
    QWidget* FindPopup(const QString& name) override;
    void RemovePopup(const QString& name) override;
    void RevertLastEdit() override { Undo(false); }

    // ProteusEvents
    void OnDeviceConnected() override;
    bool OnParameterChanging(ParamRecord* record) override;
    void OnParameterChanged(ParamRecord* record) override;
    void OnDeviceDisconnected() override;
    void OnBeginProgress(int lower, int upper, const QString& text) override {}
    void OnProgressText(const QString& text) override {}
    void OnProgressStep() override {}
    void OnEndProgress() override {}
    void OnSysExSent(const std::uint8_t* data, unsigned length) override {}
    void OnShortMessageSent(const std::uint8_t packed[4]) override {}

    // UndoRedo
    void OnUndoStackChanged() override {}
    bool ApplyChange(ParamRecord* record) override;

protected:
    /// A pseudo-parameter other than the two markers and SHORT_MIDI_MSG:
    /// accepted and recorded when the record is in this listener's own table,
    /// refused otherwise. The main panel handles its buttons here.
    virtual bool EditPseudoParameter(ParamRecord* record);

private:
    Proteus* m_proteus;
    ParamRecord m_startUndo;
    ParamRecord m_endUndo;
    std::map<QString, QWidget*> m_popups;
};
