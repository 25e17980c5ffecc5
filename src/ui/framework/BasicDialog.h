#pragma once
// BasicDialog: the root of every dialog and popup window. It paints the skin
// behind its controls and gives standard controls the configured colours,
// writes in the program's dialog font, carries the dialog keys (Undo, Redo,
// Tip Editor, next popup, Message Log, About) as window-scoped actions that
// end in OnCommand, turns plain texts into self-drawn labels, answers
// tooltips, and forwards the ControlListener operations up its parent chain.
//
// Layouts are Qt Designer forms: a derived dialog calls its form's setupUi
// on itself and then InitialiseDialog. Each widget of a form that stands for
// a dialog item carries the item id in its object name ("item1022", see
// ItemId.h); Item(id) finds it, and a widget without such a name has no id.
//
// The commands of the dialog keys and of OK and Cancel are those of
// CommandIds.h. StackWaitCursor (StackWaitCursor.h) is the hourglass for
// long operations of every window.
//
// ModalDialog: a dialog run with exec() whose controls are activated once the
// dialog is up (at the first idle moment after it is shown) and deactivated
// once when it closes (done(), which exec, accept and reject end in).

#include "ui/framework/ChainedListener.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlNotification.h"
#include "ui/framework/ItemId.h"
#include "ui/framework/ItemTips.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

class QAction;
class LabelCtrl;

class BasicDialog : public QDialog, public ChainedListener {
    Q_OBJECT
public:
    /// name: the window's name (a popup's registry and settings name);
    /// templateId: the dialog layout it shows; topLevel: the end of the
    /// parameter chain (top-level editors); parent: where requests climb to
    /// (null for none); parentWnd: the owner window.
    BasicDialog(const QString& name, int templateId, bool topLevel, ControlListener* parent, QWidget* parentWnd);
    ~BasicDialog() override;

    const QString& Name() const { return m_name; }
    int TemplateId() const { return m_templateId; }
    /// The tooltip shown over points of the dialog that belong to no control.
    int OwnTooltipId() const { return m_ownTooltipId; }
    void SetOwnTooltipId(int id) { m_ownTooltipId = id; }

    /// The widget of the form whose object name carries this item id; null when none.
    QWidget* Item(int id) const { return FindItem<QWidget>(this, id); }
    template <class T> T* ItemAs(int id) const { return FindItem<T>(this, id); }

    /// Reloads the window's controls; nothing here (popups call it when they
    /// are shown, editors after an undo).
    virtual void Refresh() {}
    /// The tooltip of an item: a registered control's own text; the fixed
    /// texts of OK and Cancel; else the dialog's own tooltip; else empty.
    virtual QString GetToolTipText(int controlId);
    /// A command: a dialog key, a button of the form, a menu. OK and Cancel
    /// end in OnOK and OnCancel, 127 opens the tip editor; others do nothing here.
    virtual void OnCommand(int id);

    /// The six dialog-key actions, in table order.
    const std::vector<QAction*>& DialogKeyActions() const { return m_keyActions; }
    /// The labels made for plain texts, in form order.
    const std::vector<LabelCtrl*>& Labels() const { return m_labels; }

    /// Cancel (Esc, the window's close button) goes through OnCommand(Cancel).
    void reject() override;

protected:
    /// After setupUi: labels for plain texts, OK and Cancel wired to OnCommand.
    void InitialiseDialog();
    /// OK: accept(); Cancel: QDialog::reject().
    virtual void OnOK();
    virtual void OnCancel();
    /// Deletes the labels (first to last).
    void DeleteLabels();
    /// Applies the configured colours to the dialog's standard controls.
    void ApplyColours();

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void AddDialogKeys();
    void RunTipEditorCommand();

    QString m_name;
    int m_templateId = 0;
    ItemTips m_tips;
    int m_ownTooltipId = 0;
    std::vector<LabelCtrl*> m_labels;
    std::vector<QAction*> m_keyActions;
};

class ModalDialog : public BasicDialog, public ControlNotification {
    Q_OBJECT
public:
    ModalDialog(const QString& title, int templateId, ControlListener* parent, QWidget* parentWnd);
    ~ModalDialog() override;

    virtual bool IsModal() const { return true; }

    /// Activate or deactivate every control of the dialog, in the order they were added.
    void Activate() override;
    void ParameterChanged(ParamRecord*) override {}
    void Deactivate() override;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ActivateOnce();

    bool m_activationPending = false;
    bool m_active = false;
};
