#pragma once
// ControlBase: a control's link to the window that owns it and to the
// parameter records it shows. Every control (a widget class plus this one)
// and every popup derives from it, so the owner can tell all of them the same
// things through ControlNotification.
//
// How an owner sets a control up, in this order:
//     auto* c = new SomeCtrl(this);                   // owner = this listener
//     c->Setup(widget, tooltipId);                     // stores window and tooltip id
//     c->BindParameter(&GetLayerTriggerSet(), fmt, record);
//     AddParameter(record);
//     AddControl(c);
//
// A user change: previousValue := value, value := new, owner->EditParameter;
// when that answers false the control calls SwapWithPrevious and shows the
// old value again. A group of changes that one Undo reverts is bracketed by
// the owner's START_UNDO and END_UNDO records (SetText gives the group label).

#include "module/ParamRecord.h"
#include "module/TriggerSets.h"
#include "ui/framework/ControlNotification.h"

#include <QPoint>
#include <QString>

#include <initializer_list>
#include <memory>
#include <vector>

class ControlListener;
class QMenu;
class QWidget;

class ControlBase : public ControlNotification {
public:
    explicit ControlBase(ControlListener* owner);
    ~ControlBase() override;
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;

    // ControlNotification, with the defaults every control starts from.
    void Activate() override {}
    /// The trigger refresh: when record's id is in the trigger set (or is
    /// POPUP_RELOAD_NOTIFIER) and is not the main parameter's, every other
    /// bound parameter is asked of the owner again and shown through this
    /// control's own ParameterChanged; then UpdateDisplay. A refresh started
    /// while this control is already refreshing returns at once, so two bound
    /// parameters that are triggers of each other cannot recurse.
    void ParameterChanged(ParamRecord* record) override;
    void Deactivate() override {}

    /// The value-format id the control's values are shown with.
    virtual int GetValueFormat() const { return m_valueFormat; }
    /// False keeps an unfinished edit from being overrun by a parameter change.
    virtual bool AllowParameterChange(ParamRecord* record) { return true; }
    /// Called at the end of every trigger refresh.
    virtual void UpdateDisplay() {}
    /// Lets the control add or remove context-menu items before the menu shows.
    virtual void PrepareContextMenu(QMenu* menu) {}
    /// Runs a context-menu command: Edit Tooltip opens the tip editor for the
    /// control's tooltip id, Default Value sets every bound parameter to its
    /// default (bracketed as "Change to Default" when there are two or more);
    /// other commands do nothing. Controls that add items override this and
    /// pass the rest on.
    virtual void OnContextMenuCommand(QWidget* parent, QPoint* point, int command);
    /// The tooltip document's text for the tooltip id; empty for id 0.
    virtual void GetToolTipText(QString* out);

    /// Stores the value-format id.
    void SetValueFormat(int format) { m_valueFormat = format; }
    /// Replaces the trigger set and value format; appends record when not null.
    void BindParameter(const TriggerSet* triggers, int format, ParamRecord* record);
    /// The same for several records, appended in the order given (nulls skipped).
    void BindParameters(const TriggerSet* triggers, int format, std::initializer_list<ParamRecord*> records);
    /// The bound parameter at index (0 is the main parameter); an index past
    /// the end is logged ("Invalid parameter reference") and gives null.
    ParamRecord* ParameterAt(unsigned index) const;
    unsigned ParameterCount() const { return unsigned(m_parameters.size()); }
    /// False without a trigger set; true for POPUP_RELOAD_NOTIFIER; otherwise
    /// whether record's id is in the trigger set.
    bool IsTriggeredBy(const ParamRecord* record) const;
    /// record's value through the formatter of the value format, when an owner
    /// leads to a module connection; otherwise the value in decimal.
    QString GetValueText(const ParamRecord* record) const;

    /// The control's context menu at a screen point: only while tooltips are
    /// long (EnableTooltips 2); the chosen command goes to OnContextMenuCommand.
    void ShowContextMenu(QWidget* parent, QPoint point, int menuId);
    /// What ShowContextMenu would show: menu menuId without Edit Tooltip when
    /// the tooltip id is 0 and without Default Value when nothing is bound,
    /// then PrepareContextMenu and TrimMenuSeparators. Null when tooltips are
    /// not long, the menu id is unknown, or no item is left. Each action's
    /// data is its command id.
    std::unique_ptr<QMenu> MakeContextMenu(QWidget* parent, int menuId);
    /// Removes leading, trailing and doubled separators; the item count left.
    static int TrimMenuSeparators(QMenu* menu);

    ControlListener* GetOwner() const { return m_owner; }
    /// For controls a form builds before their owner is known.
    void SetOwner(ControlListener* owner) { m_owner = owner; }
    const TriggerSet* GetTriggerSet() const { return m_triggers; }
    QWidget* GetControlWindow() const { return m_window; }
    int GetToolTipId() const { return m_tooltipId; }
    /// What a control's setup stores: its window and its tooltip id.
    void SetControlWindow(QWidget* window) { m_window = window; }
    void SetToolTipId(int id) { m_tooltipId = id; }

protected:
    ControlListener* m_owner;
    std::vector<ParamRecord*> m_parameters;
    const TriggerSet* m_triggers = nullptr;
    int m_valueFormat = 0;
    QWidget* m_window = nullptr;
    int m_tooltipId = 0;

private:
    bool m_refreshing = false;
};
