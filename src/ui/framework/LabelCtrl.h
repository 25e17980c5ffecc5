#pragma once
// LabelCtrl: the program's static text, painted transparently over the skin
// in the configured colours. A dialog's plain static texts become labels;
// editors also bind labels to a parameter, shown either through a value-name
// map or as the formatted value.
//
// The text's placement follows the label's QLabel settings: horizontal
// alignment (left, centred or right); vertically centred alignment without
// word wrap is one centred line, anything else wraps at word boundaries from
// the top. The property "group" (bool) marks a group heading, painted in the
// group colour.

#include "module/NameLists.h"
#include "ui/framework/Caption.h"
#include "ui/framework/ControlBase.h"

#include <QColor>
#include <QLabel>

class LabelCtrl : public QLabel, public ControlBase {
    Q_OBJECT
public:
    explicit LabelCtrl(ControlListener* owner, QWidget* parent = nullptr);

    /// Stores this widget as the control's window, the tooltip id and the
    /// name map (may be null; not owned).
    void Setup(const NameMap* names, int tooltipId);
    /// Sets the text (its accessible name too, without the mnemonic "&") and repaints.
    void SetText(const QString& text);

    /// Puts a label in place of a plain QLabel of a form: same parent, place,
    /// object name, text, alignment, wrap, font, buddy and "group" property,
    /// and the same place in a layout. The plain label is deleted. owner gets
    /// no setup call, so the label has no tooltip and no parameter.
    static LabelCtrl* TakeOver(QLabel* plain, ControlListener* owner);

    // ControlNotification
    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;

    /// The text colour now: disabled while the widget is disabled or the
    /// module is not ready, else the group or the foreground colour.
    QColor TextColour() const;
    /// The drawing flags of the text (alignment, one line or word wrap).
    int TextFlags() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    const NameMap* m_names = nullptr;
};
