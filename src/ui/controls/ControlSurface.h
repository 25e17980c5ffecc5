#pragma once
// ControlSurface: what a control's logic asks of the window that shows it.
// The self-drawn widgets implement it; tests give the logic a recording
// surface (or none: a control without a window lays nothing out, repaints
// nothing and counts as enabled).

#include <QSize>
#include <QString>

class ControlSurface {
public:
    virtual ~ControlSurface() = default;

    /// Asks for a repaint: at once (a drag follows the pointer) or at the next paint.
    virtual void Repaint(bool now) = 0;
    /// Takes the keyboard focus.
    virtual void TakeFocus() = 0;
    virtual bool HasKeyboardFocus() const = 0;
    virtual bool IsWindowEnabled() const = 0;
    virtual void SetWindowEnabled(bool enabled) = 0;
    /// Tells the window's parent that the control was used (the command notification).
    virtual void SendCommand() = 0;
    /// The client area's size.
    virtual QSize ClientSize() const = 0;
    /// The size of a single line of text in the control's font.
    virtual QSize TextSize(const QString& text) const = 0;
    /// The caption (window text).
    virtual QString Caption() const = 0;
};
