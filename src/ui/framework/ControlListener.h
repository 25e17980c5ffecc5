#pragma once
// ControlListener: what a control asks of the window that owns it. Every
// dialog, popup and the main panel is one; a window that cannot answer passes
// the question to its parent listener (ChainedListener), so a request or an
// edit climbs until it reaches a window that talks to the module. Every call
// answers synchronously on the user-interface thread.
//
// The listener also keeps three look-up tables: controls by window, controls
// by parameter id and parameter records by id. A key entered twice keeps its
// first entry. Nothing in them is owned.

#include "module/ParamRecord.h"

#include <QString>

#include <map>
#include <vector>

class ControlBase;
class MidiPort;
class Proteus;
class QWidget;

class ControlListener {
public:
    ControlListener() = default;
    virtual ~ControlListener();
    ControlListener(const ControlListener&) = delete;
    ControlListener& operator=(const ControlListener&) = delete;

    /// Fills record with the module's current value (and text); true when filled.
    virtual bool RequestParameterValues(ParamRecord* record) = 0;
    /// Fills range, default, read-only flag and the current value.
    virtual bool RequestParameterMinMax(ParamRecord* record) = 0;
    /// A control changed record (value, with previousValue holding the old
    /// one); false refuses, and the control shows the old value again.
    virtual bool EditParameter(ParamRecord* record) = 0;
    /// The cached name of a module object (ObjectKind kind).
    virtual QString GetObjectName(int kind, int romId, int index) = 0;
    /// The record of this id in the parameter table; null when absent.
    virtual ParamRecord* GetParameter(int id);
    virtual Proteus* GetProteus() = 0;
    /// The alternate MIDI port (channels 16-31); null when there is none.
    virtual MidiPort* GetAltPort() = 0;
    /// The module is connected with both ports open, or TestUI is on.
    virtual bool IsDeviceReady() = 0;
    /// The popup registry of the main panel, reached through the chain.
    virtual void AddPopup(const QString& name, QWidget* popup) = 0;
    virtual QWidget* FindPopup(const QString& name) = 0;
    virtual void RemovePopup(const QString& name) = 0;
    /// An editor drops its last recorded change without keeping it for redo.
    /// Nothing by default, and never passed to a parent.
    virtual void RevertLastEdit() {}
    /// A live slider value not yet committed. Nothing by default, and never
    /// passed to a parent.
    virtual void PreviewParameterValue(ParamRecord* record, int value) {}

    /// Enters control under its window, then under each bound id other than 0.
    /// Call it after the control's setup and binding.
    void AddControl(ControlBase* control);
    ControlBase* FindControl(const QWidget* window) const;
    ControlBase* FindParameterControl(int id) const;
    /// Enters record under its id.
    void AddParameter(ParamRecord* record);

    /// The controls of the window table, in the order they were entered.
    std::vector<ControlBase*> Controls() const { return m_controlOrder; }
    /// Empties the three tables. A window calls it before its controls are
    /// destroyed, so nothing reaches a control that is going away.
    void ForgetControls();

private:
    std::map<const QWidget*, ControlBase*> m_controlsByWindow;
    std::vector<ControlBase*> m_controlOrder;
    std::map<int, ControlBase*> m_controlsByParameter;
    std::map<int, ParamRecord*> m_parametersById;
};
