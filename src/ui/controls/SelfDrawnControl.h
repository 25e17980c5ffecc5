#pragma once
// SelfDrawnControl: the widget half every self-drawn control shares. It is
// the ControlSurface of the control's logic (repaint, focus, enabled state,
// text measures, the command notification to the parent), keeps the caption
// and gives it, without its mnemonic ampersands, to screen readers as the
// control's accessible name.

#include "ui/controls/ControlSurface.h"

#include <QWidget>

#include <functional>

class GlobalStyle;
class QPainter;
struct ButtonFace;
struct FaceState;

/// Paints a control's content (texts and marks, not the skin behind them)
/// inside area in the shared style's look for a usable or a disabled control
/// (GlobalStyle::PaintContent); straight on without a style.
void PaintControlContent(QPainter& painter, const QRect& area, bool disabled,
                         const std::function<void(QPainter&)>& paint);

class SelfDrawnControl : public QWidget, public ControlSurface {
    Q_OBJECT
    Q_PROPERTY(QString text READ Caption WRITE SetCaption)
public:
    explicit SelfDrawnControl(QWidget* parent = nullptr);

    /// The caption; it also becomes the accessible name (ampersands removed).
    void SetCaption(const QString& caption);
    QString Caption() const override { return m_caption; }
    /// The item id the command notification carries: the one set here, else
    /// the one the form's object name carries ("item1355"), else -1.
    void SetControlId(int id) { m_controlId = id; }
    int ControlId() const;
    /// What the command notification does; by default the nearest dialog
    /// around the control gets OnCommand(ControlId()).
    void SetCommandHandler(std::function<void(int controlId)> handler) { m_commandHandler = std::move(handler); }

    // ControlSurface
    void Repaint(bool now) override;
    void TakeFocus() override;
    bool HasKeyboardFocus() const override;
    bool IsWindowEnabled() const override;
    void SetWindowEnabled(bool enabled) override;
    void SendCommand() override;
    QSize ClientSize() const override;
    QSize TextSize(const QString& text) const override;

protected:
    /// The shared style, null before the application built one.
    static const GlobalStyle* Style();
    /// Where this control sits in its parent's client area (where the skin shows).
    QPoint OriginInParent() const;
    /// A button face over the whole control in the given state, its text
    /// centred both ways.
    ButtonFace CentredFace(QPainter* painter, const FaceState& state) const;
    /// The skin under the control (the background colour without a style).
    void PaintBackground(QPainter& painter, const QRect& rect) const;
    /// Hook for caption changes (the slider lays out again).
    virtual void CaptionChanged() {}

private:
    QString m_caption;
    int m_controlId = -1;
    std::function<void(int)> m_commandHandler;
};
