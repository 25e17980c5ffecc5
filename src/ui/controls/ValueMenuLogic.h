#pragma once
// The value menu's logic: the caption "caption: value name", the menu of the
// parameter's named values (sixteen to a column, the current one checked,
// "Other..." for the unnamed ones), the choice, and the slider popup's edits
// routed to the parameter. ValueMenuCtrl.h draws it and runs the menus.

#include "module/NameLists.h"
#include "ui/controls/ButtonLogic.h"
#include "ui/controls/PopupTrackerLogic.h"

#include <vector>

/// One item of the drop-down menu.
struct ValueMenuItem {
    int value = 0;
    QString text;
    bool checked = false;
    bool newColumn = false; ///< the item begins a new column
    bool operator==(const ValueMenuItem&) const = default;
};

class MenuLogic : public PressableLogic, public PopupTrackerListener {
public:
    /// The value of the "Other..." item.
    static constexpr int OtherValue = -32767;
    /// Items in one column of the menu.
    static constexpr int ColumnLength = 16;

    explicit MenuLogic(ControlListener* owner) : PressableLogic(owner) {}

    /// Caption := the window's text; then the text refresh.
    void Setup(bool allowOther, int iconBitmapId, const NameMap* values, int tooltipId);
    /// "caption: value name" (ampersands of the name doubled), or "caption:" with nothing bound.
    void RefreshText();
    const QString& Text() const { return m_text; }
    const QString& PlainCaption() const { return m_plainCaption; }
    bool IsPressed() const { return m_pressed; }
    int IconBitmapId() const { return m_iconBitmapId; }

    /// The menu as it would drop down now; empty without a parameter or values.
    std::vector<ValueMenuItem> BuildMenu();
    /// The slider range of "Other...": the unnamed values above the names when
    /// the names start at the minimum, else those below them.
    void OtherRange(int* low, int* high);
    /// A choice from the menu: a listed value is sent when it differs; Other
    /// opens the slider popup. A refused edit leaves the parameter as it was.
    void Choose(int value);

    void MousePress();
    void MouseRelease(bool inside);
    void KeyUp(bool space);

    bool OnTrackerEdit(ParamRecord* record) override;
    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;

protected:
    /// Shows the menu and returns the chosen value, or nothing.
    virtual std::optional<int> RunMenu(const std::vector<ValueMenuItem>& items) { return std::nullopt; }
    /// Runs the slider popup over record (its range set) until Esc.
    virtual void RunOtherPopup(ParamRecord* record) {}
    bool ShowsPressed() const override { return m_pressed || m_captured; }
    void OpenMenu();
    /// Offers value as main's new value to the owner; refused, main keeps its values.
    bool EditMain(ParamRecord* main, int value);

    const NameMap* m_values = nullptr;
    bool m_allowOther = false;
    bool m_pressed = false;
    int m_iconBitmapId = 0;
    QString m_caption;
    QString m_plainCaption;
    QString m_text;
    ParamRecord m_trackerRecord;
};

/// A value menu for an effects parameter, enabled by the effects routing.
class FXMenuLogic : public MenuLogic {
public:
    explicit FXMenuLogic(ControlListener* owner) : MenuLogic(owner) {}
    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;
    virtual bool EnabledByRouting();

protected:
    void ApplyRule();
};

class MasterFXMenuLogic : public FXMenuLogic {
public:
    explicit MasterFXMenuLogic(ControlListener* owner) : FXMenuLogic(owner) {}
    bool EnabledByRouting() override;
};
