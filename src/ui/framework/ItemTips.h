#pragma once
// ItemTips: the tooltips of a window built of items (every dialog and popup,
// and the main panel). Children without a tooltip of their own pass the
// request up to the window, which shows the text of the item under the
// pointer: the item's own text when it is a registered control, else the
// text the window gives for it (the window's own tooltip over a point that
// belongs to no item). The texts are the user's plain text, line breaks kept,
// wrapped at a width. Shift+F2 edits the tooltip of the focused control.

#include <QString>

#include <functional>
#include <optional>

class ControlBase;
class ControlListener;
class QEvent;
class QWidget;

/// The widget at or above widget, below window, that carries an item id;
/// null when none, or when another window lies between.
QWidget* ItemWidgetAt(const QWidget* window, QWidget* widget);
/// The control registered with listener at or above widget, below window;
/// null when none, or when another window lies between.
ControlBase* ControlWidgetAt(const ControlListener& listener, const QWidget* window, QWidget* widget);
/// The tooltip text of item when it is a control registered with listener
/// (perhaps empty); nullopt when it is not.
std::optional<QString> ControlTooltipText(const ControlListener& listener, QWidget* item);

class ItemTips {
public:
    /// The window's text for an item id (0 for a point outside every item).
    using TextOf = std::function<QString(int itemId)>;

    ItemTips(QWidget* window, TextOf textOf) : m_window(window), m_textOf(std::move(textOf)) {}

    /// Answers a tooltip request of the window: the item's text when tooltips
    /// are on and it has one, else no tooltip (the request is ignored). False
    /// for any other event, which the window handles itself.
    bool HandleEvent(QEvent* event);
    /// The text shown by the latest request; empty when none was shown.
    const QString& ShownText() const { return m_shown; }

    /// Shift+F2: the tip editor on the focused control's tooltip, when
    /// tooltips are editable (setting 2) and the focus is on a control of
    /// listener inside the window.
    void EditFocusedTooltip(ControlListener* listener) const;

private:
    QWidget* m_window;
    TextOf m_textOf;
    QString m_shown;
};
