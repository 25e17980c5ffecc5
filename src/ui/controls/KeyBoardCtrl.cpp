#include "ui/controls/KeyBoardCtrl.h"

#include "ui/controls/ConfigureKeyboardDlg.h"
#include "ui/framework/CommandIds.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace {

/// Takes the test-note keys for the whole program. It watches the top-level
/// windows only, where each key event arrives once before any widget sees it.
class KeyboardHookFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            // Asked of the focus widget before any shortcut runs: a key the
            // hook will take is claimed, so no action's shortcut fires for it.
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat() && KeyboardLogic::HookWants(key->key())) {
                event->accept();
                return true;
            }
            return false;
        }
        if (!watched->isWindowType())
            return false;
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        return KeyboardLogic::HookKeyEvent(event->type() == QEvent::KeyPress, key->key(), key->isAutoRepeat());
    }
};

KeyboardHookFilter* g_hook = nullptr;
int g_keyboards = 0;

void InstallHook()
{
    if (g_keyboards++ == 0 && qApp) {
        g_hook = new KeyboardHookFilter;
        qApp->installEventFilter(g_hook);
    }
}

void RemoveHook()
{
    if (--g_keyboards == 0 && g_hook) {
        if (qApp)
            qApp->removeEventFilter(g_hook);
        delete g_hook;
        g_hook = nullptr;
    }
}


} // namespace

KeyBoardCtrl::KeyBoardCtrl(ControlListener* owner, QWidget* parent) : SelfDrawnControl(parent), KeyboardLogic(owner)
{
    SetSurface(this);
    SetControlWindow(this);
    setFixedSize(PictureWidth, PictureHeight);
    InstallHook();
    // The test-note keys, entered as the keyboard's own actions so that a check
    // of a window's keys sees them. They never run: the hook takes the keys
    // at the window, before any shortcut.
    static const char* const names[] = {"Play Test Note", "Test Note Octave Up", "Test Note Octave Down",
                                        "Test Note Louder", "Test Note Softer"};
    const std::vector<QKeySequence> keys = HookKeys();
    for (size_t i = 0; i < keys.size(); ++i) {
        auto* action = new QAction(QString::fromLatin1(names[i]), this);
        action->setShortcut(keys[i]);
        action->setShortcutContext(Qt::WidgetShortcut);
        addAction(action);
    }
}

KeyBoardCtrl::~KeyBoardCtrl()
{
    SetSurface(nullptr);
    RemoveHook();
}

QPixmap KeyBoardCtrl::Picture()
{
    QPixmap picture(PictureWidth, PictureHeight);
    picture.fill(QColor(40, 40, 40));
    QPainter p(&picture);
    const int top = 3;
    const int bottom = PictureHeight - 5;
    // White keys: ten pixels each, seven to the octave, from x 4.
    for (int x = 4, i = 0; x < PictureWidth; x += 10, ++i) {
        p.fillRect(QRect(x, top, 9, bottom - top), QColor(236, 236, 230));
        p.setPen(QColor(150, 150, 150));
        p.drawLine(x + 9, top, x + 9, bottom - 1);
        if (i % 7 == 0) {
            p.setPen(QColor(120, 120, 120));
            p.setFont(QFont(p.font().family(), 6));
            p.drawText(QRect(x, bottom - 10, 10, 10), Qt::AlignCenter, QStringLiteral("C"));
        }
    }
    // Black keys over the upper zone, on their own columns.
    const int blackStart[5] = {7, 17, 37, 47, 57};
    const int blackWidth[5] = {6, 7, 6, 7, 7};
    for (int octave = 0; octave < 7; ++octave)
        for (int k = 0; k < 5; ++k) {
            const int x = 4 + octave * OctaveWidth + blackStart[k];
            if (x < PictureWidth)
                p.fillRect(QRect(x, top, blackWidth[k], 46), QColor(20, 20, 24));
        }
    return picture;
}

void KeyBoardCtrl::paintEvent(QPaintEvent*)
{
    static const QPixmap picture = Picture();
    QPainter painter(this);
    // A disabled keyboard shows its keys in the disabled look, over the skin.
    const bool disabled = !isEnabled();
    if (disabled)
        PaintBackground(painter, rect());
    PaintControlContent(painter, rect(), disabled, [&](QPainter& q) {
        q.drawPixmap(0, 0, picture);
        // The sounding keys' markers, inverted like a highlight on the strip above the keys.
        for (int note : Marked())
            q.fillRect(MarkerRect(note, OctaveOffset()), QColor(255, 255, 255));
    });
}

void KeyBoardCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    MousePress(at.x(), at.y());
}

void KeyBoardCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    MouseMove(at.x(), at.y());
}

void KeyBoardCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        MouseRelease();
}

void KeyBoardCtrl::changeEvent(QEvent* event)
{
    // A window that loses the pointer grab (it is hidden, or another takes it) ends a press.
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        CaptureLost();
    SelfDrawnControl::changeEvent(event);
}

void KeyBoardCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::KeyboardContext);
}

std::optional<KeyboardSettings> KeyBoardCtrl::RunConfigureDialog(QWidget* parent, const KeyboardSettings& settings)
{
    ConfigureKeyboardDlg dialog(QStringLiteral("Configure Keyboard"), GetOwner(), parent ? parent : this);
    dialog.values = settings;
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.values;
}
