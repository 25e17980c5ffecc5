#include "ui/framework/BasicDialog.h"

#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "core/resources/GuiFont.h"
#include "ui/framework/ConfiguredColours.h"
#include "ui/framework/ItemTips.h"
#include "ui/framework/LabelCtrl.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>

namespace {
// String-table entries: the tooltips of the OK and Cancel buttons.
constexpr unsigned kOkTooltip = 129;
constexpr unsigned kCancelTooltip = 130;

// The dialog keys come before the focused control's own handling of them
// (a line edit takes Ctrl+Z and Ctrl+Y for its text): the dialog's Undo and
// Redo win, as the dialog key table always did. One filter serves every dialog.
class DialogKeyPriority : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride || !receiver->isWidgetType())
            return false;
        auto* dialog = qobject_cast<BasicDialog*>(static_cast<QWidget*>(receiver)->window());
        if (!dialog)
            return false;
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* action : dialog->DialogKeyActions())
            if (action->shortcut() == pressed) {
                event->ignore(); // not taken by the control: the shortcut runs
                return true;
            }
        return false;
    }
};

void InstallDialogKeyPriority()
{
    static DialogKeyPriority* filter = nullptr;
    if (!filter && QCoreApplication::instance()) {
        filter = new DialogKeyPriority;
        filter->setParent(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(filter);
    }
}

} // namespace

// ------------------------------------------------------------------ BasicDialog

BasicDialog::BasicDialog(const QString& name, int templateId, bool topLevel, ControlListener* parent,
                         QWidget* parentWnd)
    : QDialog(parentWnd), ChainedListener(parent, topLevel), m_name(name), m_templateId(templateId),
      m_tips(this, [this](int controlId) { return GetToolTipText(controlId); })
{
    setFont(GuiFont());
    InstallDialogKeyPriority();
    setAttribute(Qt::WA_StyledBackground, false);
    ApplyColours();
    AddDialogKeys();
}

BasicDialog::~BasicDialog()
{
    DeleteLabels();
}

void BasicDialog::AddDialogKeys()
{
    // The dialog key table. Undo and Redo are named explicitly: the platform's
    // standard Redo key is Ctrl+Shift+Z on X11, which would lose Ctrl+Y and take
    // the keyboard control's test-note key.
    static const struct {
        const char* key;
        int command;
    } kKeys[] = {
        {"Shift+F1", cmd::About},   {"Ctrl+Y", cmd::Redo},
        {"Shift+F2", cmd::TipEditor}, {"Ctrl+Z", cmd::Undo},
        {"Ctrl+Tab", cmd::NextPopup}, {"Ctrl+M", cmd::MessageLog},
    };
    for (const auto& k : kKeys) {
        auto* action = new QAction(this);
        action->setObjectName(QStringLiteral("command%1").arg(k.command));
        action->setShortcut(QKeySequence(QString::fromLatin1(k.key)));
        // Only while the focus is in this window: a popup opened from this
        // dialog has keys of its own.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        const int command = k.command;
        connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
        addAction(action);
        m_keyActions.push_back(action);
    }
}

void BasicDialog::ApplyColours()
{
    ApplyWindowColours(this);
}

void BasicDialog::InitialiseDialog()
{
    // Plain texts of the form (no item id, showing text rather than a
    // picture) become self-drawn labels over the skin.
    const QList<QLabel*> texts = findChildren<QLabel*>();
    for (QLabel* text : texts) {
        if (text->window() != this || qobject_cast<LabelCtrl*>(text) || ItemIdOf(text) != -1 ||
            !text->pixmap().isNull() || text->text().isEmpty())
            continue;
        m_labels.push_back(LabelCtrl::TakeOver(text, this));
    }
    // OK and Cancel buttons end in the commands Enter and Esc give.
    for (int id : {cmd::IdOk, cmd::IdCancel})
        if (auto* button = ItemAs<QAbstractButton>(id))
            connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
}

void BasicDialog::DeleteLabels()
{
    for (LabelCtrl* label : m_labels)
        delete label;
    m_labels.clear();
}

// ------------------------------------------------------------------ commands

void BasicDialog::OnCommand(int id)
{
    switch (id) {
    case cmd::IdOk:
        OnOK();
        break;
    case cmd::IdCancel:
        OnCancel();
        break;
    case cmd::TipEditor:
        RunTipEditorCommand();
        break;
    default:
        break;
    }
}

void BasicDialog::OnOK()
{
    QDialog::accept();
}

void BasicDialog::OnCancel()
{
    QDialog::reject();
}

void BasicDialog::reject()
{
    OnCommand(cmd::IdCancel);
}

void BasicDialog::RunTipEditorCommand()
{
    m_tips.EditFocusedTooltip(this);
}

void BasicDialog::keyPressEvent(QKeyEvent* event)
{
    // Enter and Esc are OK and Cancel even without a default button.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            OnCommand(cmd::IdOk);
            event->accept();
            return;
        case Qt::Key_Escape:
            OnCommand(cmd::IdCancel);
            event->accept();
            return;
        default:
            break;
        }
    }
    QDialog::keyPressEvent(event);
}

// ------------------------------------------------------------------ painting and tooltips

void BasicDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (const GlobalStyle* style = TheGlobalStyle())
        style->PaintDialogBackground(&painter, rect(), 0, 0);
    else
        painter.fillRect(rect(), palette().window());
    // A one-pixel bevel at the window's own edges: light top and left, dark
    // bottom and right, whatever the window's size.
    const QRect r = rect();
    painter.setPen(QColor(255, 255, 255, 40));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(QColor(0, 0, 0, 110));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

QString BasicDialog::GetToolTipText(int controlId)
{
    if (controlId != 0)
        if (std::optional<QString> own = ControlTooltipText(*this, Item(controlId)))
            return *own;
    if (controlId == cmd::IdOk)
        return LoadResourceString(kOkTooltip);
    if (controlId == cmd::IdCancel)
        return LoadResourceString(kCancelTooltip);
    if (m_ownTooltipId != 0 && TheGlobalResources())
        return TheGlobalResources()->GetTooltipText(static_cast<unsigned>(m_ownTooltipId));
    return {};
}

bool BasicDialog::event(QEvent* event)
{
    if (m_tips.HandleEvent(event))
        return true;
    return QDialog::event(event);
}

// ------------------------------------------------------------------ ModalDialog

ModalDialog::ModalDialog(const QString& title, int templateId, ControlListener* parent, QWidget* parentWnd)
    : BasicDialog(title, templateId, false, parent, parentWnd)
{
}

// The controls are not told here: the derived dialog that holds them is
// already gone. A dialog ends through done(), which tells them.
ModalDialog::~ModalDialog() = default;

void ModalDialog::showEvent(QShowEvent* event)
{
    BasicDialog::showEvent(event);
    // Once, when the dialog is up and the event loop is idle again: the
    // controls may then ask the module for their values.
    if (!m_activationPending && !m_active) {
        m_activationPending = true;
        QTimer::singleShot(0, this, &ModalDialog::ActivateOnce);
    }
}

void ModalDialog::ActivateOnce()
{
    if (!m_activationPending)
        return;
    m_activationPending = false;
    if (isVisible())
        Activate();
}

void ModalDialog::Activate()
{
    m_active = true;
    for (ControlBase* control : Controls())
        control->Activate();
}

void ModalDialog::Deactivate()
{
    m_active = false;
    for (ControlBase* control : Controls())
        control->Deactivate();
}

void ModalDialog::done(int result)
{
    m_activationPending = false;
    if (m_active)
        Deactivate();
    BasicDialog::done(result);
}
