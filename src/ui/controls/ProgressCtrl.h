#pragma once
// ProgressCtrl: a progress bar in the skin's colours, drawn as square blocks
// inside a 3D frame. The position is kept within the range, as a standard
// progress control keeps it.

#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlBase.h"
#include "ui/framework/ControlListener.h"

#include <QWidget>

class ProgressCtrl : public QWidget, public ControlBase {
    Q_OBJECT
public:
    explicit ProgressCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    explicit ProgressCtrl(QWidget* parent) : ProgressCtrl(nullptr, parent) {}
    /// The owner of a bar a form built (forms build controls without one).
    void SetOwner(ControlListener* owner) { m_owner = owner; }

    void SetRange(int lower, int upper);
    /// Held within the range.
    void SetPos(int position);
    int GetPos() const { return m_position; }
    int Lower() const { return m_lower; }
    int Upper() const { return m_upper; }

protected:
    void paintEvent(QPaintEvent*) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    int m_lower = 0;
    int m_upper = 100;
    int m_position = 0;
};
