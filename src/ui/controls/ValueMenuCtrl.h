#pragma once
// The value menu buttons: MenuCtrl and the effects variants FXMenuCtrl and
// MasterFXMenuCtrl. The logic is MenuLogic; these widgets paint the button,
// drop the menu down at the button (its first item highlighted, in the skin's
// colours unless ReaderFriendly asks for the plain system menu) and run the
// slider popup for "Other...".

#include "ui/controls/SelfDrawnControl.h"
#include "ui/controls/ValueMenuLogic.h"

class QMenu;

template <class Logic>
class MenuWidget : public SelfDrawnControl, public Logic {
public:
    explicit MenuWidget(ControlListener* owner, QWidget* parent) : SelfDrawnControl(parent), Logic(owner)
    {
        Logic::SetSurface(this);
        Logic::SetControlWindow(this);
        setFocusPolicy(Qt::StrongFocus);
    }
    /// The menu while it is open (tests drive it with keys); null otherwise.
    QMenu* OpenMenuWidget() const { return m_menu; }

protected:
    std::optional<int> RunMenu(const std::vector<ValueMenuItem>& items) override;
    void RunOtherPopup(ParamRecord* record) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    QMenu* m_menu = nullptr;
};

class MenuCtrl : public MenuWidget<MenuLogic> {
    Q_OBJECT
public:
    explicit MenuCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr) : MenuWidget(owner, parent) {}
    // As a form builds it; the owner is set when the control is bound.
    explicit MenuCtrl(QWidget* parent) : MenuCtrl(nullptr, parent) {}
};

class FXMenuCtrl : public MenuWidget<FXMenuLogic> {
    Q_OBJECT
public:
    explicit FXMenuCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr) : MenuWidget(owner, parent) {}
    // As a form builds it; the owner is set when the control is bound.
    explicit FXMenuCtrl(QWidget* parent) : FXMenuCtrl(nullptr, parent) {}
};

class MasterFXMenuCtrl : public MenuWidget<MasterFXMenuLogic> {
    Q_OBJECT
public:
    explicit MasterFXMenuCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr) : MenuWidget(owner, parent) {}
    // As a form builds it; the owner is set when the control is bound.
    explicit MasterFXMenuCtrl(QWidget* parent) : MasterFXMenuCtrl(nullptr, parent) {}
};
