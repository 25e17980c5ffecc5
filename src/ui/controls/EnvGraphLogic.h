#pragma once
// The envelope graph's logic: six break points (attack 1 and 2, decay 1 and 2,
// release 1 and 2) from twelve bound parameters (0-5 the times, 6-11 the
// levels), the mapping between them and the graph's pixels, dragging a point
// (committed as one undo step "Envelope Change") and nudging the selected
// point with keys. EnvGraphCtrl.h draws it.

#include "ui/controls/ButtonLogic.h"

#include <QPoint>
#include <QRect>

#include <array>

class EnvGraphLogic : public PressableLogic {
public:
    /// Time units across the graph at zoom 1.
    static constexpr int TimeSpan = 762;

    explicit EnvGraphLogic(ControlListener* owner) : PressableLogic(owner) {}

    void Setup(int tooltipId);
    /// Places the caption row, the zoom boxes and the graph in the client area; repaints.
    void LayOut();

    void MousePress(int x, int y);
    void MouseMove(int x, int y);
    void MouseRelease(int x, int y);
    enum Key { KeyLeft, KeyRight, KeyUp, KeyDown, KeyPageUp, KeyPageDown, KeyHome, KeyEnd, KeyPlus, KeyMinus, KeyOther };
    /// Answers whether the key was taken.
    bool KeyPress(Key key, bool shift, bool ctrl, bool alt);
    /// Esc ends a drag without sending anything; F5 lays out again.
    void KeyRelease(bool escape, bool f5);

    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;

    /// The twelve values shown: the drag values while dragging, else the bound ones.
    std::array<int, 12> ShownValues() const;
    /// The device point of break point i of values.
    QPoint PointPosition(const std::array<int, 12>& values, int i) const;
    /// The (time, level) of the drag point for a device point.
    std::pair<int, int> PositionAt(int x, int y) const;
    bool HasGraph() const { return ParameterCount() >= 11; }

    int Zoom() const { return m_zoom; }
    bool IsDragging() const { return m_dragging; }
    int DragPoint() const { return m_dragPoint; }
    int SelectedPoint() const { return m_selected; }
    const QRect& CaptionRect() const { return m_captionRect; }
    const QRect& GraphRect() const { return m_graphRect; }
    const QRect& PlusBox() const { return m_plusBox; }
    const QRect& MinusBox() const { return m_minusBox; }
    /// "Atk 1", "Atk 2", "Dcy 1", "Dcy 2", "Rel 1", "Rel 2".
    static QString PointName(int i);
    /// "name (time,level)" of the dragged or selected point.
    QString PointLabel() const;
    bool Usable() const;

private:
    int Value(int index) const;
    int Minimum(int index) const;
    int Maximum(int index) const;
    /// Adds amount to parameter index, clamped, and sends a differing result.
    void Change(int index, int amount);

    QRect m_captionRect;
    QRect m_graphRect;
    QRect m_plusBox;
    QRect m_minusBox;
    int m_zoom = 1;
    std::array<int, 12> m_drag{};
    bool m_dragging = false;
    int m_dragPoint = 0;
    QPoint m_dragOffset;
    int m_selected = 0;
};
