#pragma once
// Controls as the editor forms build them: made with the form as their
// parent window only; the popup sets the owner when it binds them.

#include "ui/controls/NameEditCtrl.h"

class NameEditFormCtrl : public NameCtrl {
    Q_OBJECT
public:
    explicit NameEditFormCtrl(QWidget* parent = nullptr) : NameCtrl(nullptr, parent) {}
};
