#include "ui/framework/Popup.h"

#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "module/ParamRecord.h"
#include "module/ParameterIds.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

#include <limits>

namespace {

// One decimal integer as "%d" reads it: blanks, a sign, at least one digit.
// False (nothing read) when there is no number or it does not fit an int.
bool ReadInt(QStringView text, qsizetype* pos, int* out)
{
    qsizetype i = *pos;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    const qsizetype digits = i;
    long long value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1)
            return false;
        ++i;
    }
    if (i == digits)
        return false;
    value = negative ? -value : value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        return false;
    *out = static_cast<int>(value);
    *pos = i;
    return true;
}

// The frame margins of a window, when its window manager has told them: the
// popup's own once it was shown, else those of the window it belongs to.
QSize FrameExtra(const QWidget* popup)
{
    const QWidget* owner = popup->parentWidget() ? popup->parentWidget()->window() : nullptr;
    for (const QWidget* w : {popup, owner}) {
        if (w && w->isVisible()) {
            const QSize extra = w->frameGeometry().size() - w->geometry().size();
            if (!extra.isEmpty())
                return extra;
        }
    }
    return QSize(0, 0);
}

} // namespace

// ------------------------------------------------------------------ PopupBase

PopupBase::PopupBase(const QString& name, int templateId, bool topLevel, ControlListener* parent,
                     QWidget* parentWnd)
    : BasicDialog(name, templateId, topLevel, parent, parentWnd), ControlBase(parent)
{
    setModal(false);
}

// ------------------------------------------------------------------ Popup

Popup::Popup(const QString& name, int templateId, bool topLevel, ControlListener* parent, QWidget* parentWnd)
    : PopupBase(name, templateId, topLevel, parent, parentWnd)
{
}

Popup::~Popup()
{
    DestroyPopup();
}

std::optional<QRect> Popup::ParseSavedRect(const QString& text, const QRect& current)
{
    if (text.isEmpty())
        return std::nullopt;
    int fields[4] = {current.left(), current.top(), current.left() + current.width(),
                     current.top() + current.height()};
    qsizetype pos = 0;
    for (int& field : fields)
        if (!ReadInt(text, &pos, &field))
            break;
    // A rectangle without area would make the popup vanish (a hand-edited or
    // damaged value): keep the template's.
    if (fields[2] <= fields[0] || fields[3] <= fields[1])
        return std::nullopt;
    return QRect(QPoint(fields[0], fields[1]), QSize(fields[2] - fields[0], fields[3] - fields[1]));
}

QString Popup::FormatSavedRect(const QRect& frame)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(frame.left())
        .arg(frame.top())
        .arg(frame.left() + frame.width())
        .arg(frame.top() + frame.height());
}

void Popup::InitialisePopup()
{
    InitialiseDialog();
    SetControlWindow(this);
    SetToolTipId(0);

    ApplyTrackLimits();
    const QRect current = frameGeometry();
    const QString saved = GetGlobalConfigurations().ReadString(Name(), QString());
    if (std::optional<QRect> rect = ParseSavedRect(saved, current)) {
        GlobalStyle::KeepRectOnScreen(&*rect);
        move(rect->topLeft());
        if (IsResizable())
            resize(rect->size() - FrameExtra(this));
    }
    AddPopup(Name(), this);
}

void Popup::DestroyPopup()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    RemovePopup(Name());
    GetGlobalConfigurations().WriteString(Name(), FormatSavedRect(frameGeometry()));
}

void Popup::Show(PopupListener* owner, const QString& title)
{
    if (owner == m_owner)
        return;
    if (m_owner)
        m_owner->OnPopupClosing();
    m_owner = owner;
    if (owner) {
        if (!title.isEmpty())
            setWindowTitle(title);
        ParamRecord reload(QStringLiteral("POPUP_RELOAD_NOTIFIER"), POPUP_RELOAD_NOTIFIER, 1);
        ParameterChanged(&reload);
        show();
        raise();
        activateWindow();
    } else {
        hide();
    }
}

void Popup::OnCancel()
{
    if (m_owner) {
        if (!m_owner->OnPopupClosing())
            return;
        m_owner = nullptr;
    }
    OnClose();
    PopupBase::OnCancel();
}

void Popup::Activate()
{
    ControlBase::Activate();
    for (ControlBase* control : Controls())
        control->Activate();
}

void Popup::Deactivate()
{
    for (ControlBase* control : Controls())
        control->Deactivate();
    ControlBase::Deactivate();
}

void Popup::ParameterChanged(ParamRecord* record)
{
    if (!m_owner)
        return;
    for (ControlBase* control : Controls())
        control->ParameterChanged(record);
    if (record->id == POPUP_RELOAD_NOTIFIER)
        Refresh();
}

bool Popup::AllowParameterChange(ParamRecord* record)
{
    for (ControlBase* control : Controls())
        if (!control->AllowParameterChange(record))
            return false;
    return true;
}

// ------------------------------------------------------------------ ResizingPopup

ResizingPopup::ResizingPopup(const QString& name, int templateId, bool topLevel, ControlListener* parent,
                             QWidget* parentWnd)
    : Popup(name, templateId, topLevel, parent, parentWnd)
{
}

QSize ResizingPopup::MaxTrackSize(const QSize& templateUnits, const DialogBaseUnits& base, const QSize& screen)
{
    if (templateUnits.isEmpty())
        return screen;
    return screen.boundedTo(DialogUnitsToPixels(templateUnits, base));
}

QSize ResizingPopup::GetMaxTrackSize() const
{
    QSize screen(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (const QScreen* s = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        screen = s->availableGeometry().size();
    return MaxTrackSize(property("dialogRect").toRect().size(), GuiBaseUnits(), screen);
}

void ResizingPopup::ApplyTrackLimits()
{
    const QSize most = GetMaxTrackSize();
    setMinimumWidth(most.width());
    setMaximumSize(most);
}
