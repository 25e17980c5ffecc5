#pragma once
// ControlNotification: what a window tells each of its controls. The owner
// calls these on the user-interface thread; the control answers at once.

class ParamRecord;

class ControlNotification {
public:
    virtual ~ControlNotification() = default;
    /// The owner is live: the module connected, a modal dialog finished
    /// starting up, or a popup was shown.
    virtual void Activate() = 0;
    /// A parameter value arrived or changed; the control decides whether it cares.
    virtual void ParameterChanged(ParamRecord* record) = 0;
    /// The owner goes down: the module disconnected or the dialog is closing.
    virtual void Deactivate() = 0;
};
