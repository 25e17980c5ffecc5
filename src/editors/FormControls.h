#pragma once
// Controls of the editor forms that have no constructor taking only a parent
// widget, which the forms' generated code calls. Each is its base control
// unchanged; the editors find and use them as that base.

#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/ValueMenuCtrl.h"

class EditorMenuCtrl : public MenuCtrl {
public:
    explicit EditorMenuCtrl(QWidget* parent = nullptr) : MenuCtrl(nullptr, parent) {}
};

class EditorMasterFXMenuCtrl : public MasterFXMenuCtrl {
public:
    explicit EditorMasterFXMenuCtrl(QWidget* parent = nullptr) : MasterFXMenuCtrl(nullptr, parent) {}
};

class EditorSelectCtrl : public SelectCtrl {
public:
    explicit EditorSelectCtrl(QWidget* parent = nullptr) : SelectCtrl(nullptr, parent) {}
};

class EditorPopupSwitchCtrl : public PopupSwitchCtrl {
public:
    explicit EditorPopupSwitchCtrl(QWidget* parent = nullptr) : PopupSwitchCtrl(nullptr, parent) {}
};

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
