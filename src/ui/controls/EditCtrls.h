#pragma once
// The standard controls under the control framework: each wraps Qt's own
// widget and adds the ControlBase part, so that it can be registered with its
// owner, carry a tooltip id and open the control context menu. Only the
// numeric edit binds a parameter.

#include "ui/controls/EditLogic.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlBase.h"
#include "ui/framework/ControlListener.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTreeView>
#include <QTreeWidget>

class EditCtrl : public QLineEdit, public ControlBase {
    Q_OBJECT
public:
    explicit EditCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    explicit EditCtrl(QWidget* parent) : EditCtrl(nullptr, parent) {}
    /// The owner of a control a form built (forms build controls without one).
    void SetOwner(ControlListener* owner) { m_owner = owner; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

/// Shows its bound parameter as a decimal number and sends the typed number
/// when it loses the focus.
class NumericEditCtrl : public QLineEdit, public NumericEditLogic {
    Q_OBJECT
public:
    explicit NumericEditCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    explicit NumericEditCtrl(QWidget* parent) : NumericEditCtrl(nullptr, parent) {}

protected:
    void ShowText(const QString& text) override { setText(text); }
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

/// A drop-down list; built without an owner (it carries no parameters).
class ComboCtrl : public QComboBox, public ControlBase {
    Q_OBJECT
public:
    explicit ComboCtrl(QWidget* parent = nullptr);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

/// A report list (the base of the item list).
class ListCtrl : public QTreeView, public ControlBase {
    Q_OBJECT
public:
    explicit ListCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    explicit ListCtrl(QWidget* parent) : ListCtrl(nullptr, parent) {}
    /// The owner of a control a form built (forms build controls without one).
    void SetOwner(ControlListener* owner) { m_owner = owner; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

class TreeCtrl : public QTreeWidget, public ControlBase {
    Q_OBJECT
public:
    explicit TreeCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    explicit TreeCtrl(QWidget* parent) : TreeCtrl(nullptr, parent) {}
    /// The owner of a control a form built (forms build controls without one).
    void SetOwner(ControlListener* owner) { m_owner = owner; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

class ListBoxCtrl : public QListWidget, public ControlBase {
    Q_OBJECT
public:
    explicit ListBoxCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    explicit ListBoxCtrl(QWidget* parent) : ListBoxCtrl(nullptr, parent) {}
    /// The owner of a control a form built (forms build controls without one).
    void SetOwner(ControlListener* owner) { m_owner = owner; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

/// Up/down arrows; built without an owner. The skin shows through around them.
class SpinButtonCtrl : public QSpinBox, public ControlBase {
    Q_OBJECT
public:
    explicit SpinButtonCtrl(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

/// Gives a standard control the shared style's colours: text in the
/// foreground colour on the background colour, in the disabled colour while
/// the control is disabled.
void ApplyControlColours(QWidget* widget);
