#pragma once
// Form-built versions of the controls the preset editor's form places: a
// Designer form makes each widget with its parent window only, so these take
// just that and get their listener when the editor binds them (SetOwner).

#include "ui/controls/EnvGraphCtrl.h"
#include "ui/controls/NameEditCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/ValueMenuCtrl.h"

class EditMenuCtrl : public MenuCtrl {
    Q_OBJECT
public:
    explicit EditMenuCtrl(QWidget* parent = nullptr) : MenuCtrl(nullptr, parent) {}
};

class EditFXMenuCtrl : public FXMenuCtrl {
    Q_OBJECT
public:
    explicit EditFXMenuCtrl(QWidget* parent = nullptr) : FXMenuCtrl(nullptr, parent) {}
};

class EditPopupSwitchCtrl : public PopupSwitchCtrl {
    Q_OBJECT
public:
    explicit EditPopupSwitchCtrl(QWidget* parent = nullptr) : PopupSwitchCtrl(nullptr, parent) {}
};

class EditEnvGraphCtrl : public EnvGraphCtrl {
    Q_OBJECT
public:
    explicit EditEnvGraphCtrl(QWidget* parent = nullptr) : EnvGraphCtrl(nullptr, parent) {}
};

class EditSelectCtrl : public SelectCtrl {
    Q_OBJECT
public:
    explicit EditSelectCtrl(QWidget* parent = nullptr) : SelectCtrl(nullptr, parent) {}
};

class EditNameCtrl : public NameCtrl {
    Q_OBJECT
public:
    explicit EditNameCtrl(QWidget* parent = nullptr) : NameCtrl(nullptr, parent) {}
};
