#pragma once
// Controls of the editor forms that have no constructor taking only a parent
// widget, which the forms' generated code calls. Each is its base control
// unchanged; the editors find and use them as that base.

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
