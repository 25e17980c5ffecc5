#pragma once
// Controls of the editor forms that add behaviour to a shared control.

#include "ui/controls/ButtonCtrl.h"

/// The Clear trigger of the controller popup: a push button that can also be
/// shown held down while the module plays its note, without any edit.
class EditorTriggerButtonCtrl : public ButtonCtrl {
public:
    explicit EditorTriggerButtonCtrl(QWidget* parent = nullptr) : ButtonCtrl(nullptr, parent) {}
    void ShowHeld(bool held)
    {
        m_pressed = held;
        update();
    }
    bool IsShownHeld() const { return m_pressed; }
};
