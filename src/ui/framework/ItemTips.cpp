#include "ui/framework/ItemTips.h"

#include "core/LineEnds.h"
#include "core/Settings.h"
#include "ui/framework/ControlBase.h"
#include "ui/framework/ControlListener.h"
#include "ui/framework/ItemId.h"
#include "ui/framework/TipEditor.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

#include <algorithm>

namespace {

// The widest a tooltip grows before its text wraps, unless its item is wider.
constexpr int kMaxTipWidth = 250;

// A user's tooltip text as the tooltip shows it: plain text (no markup, no
// mnemonics), its line breaks kept, wrapped at maxWidth.
QString TipMarkup(const QString& text, int maxWidth)
{
    const QString plain = WithStoredLineEnds(text);
    QString escaped = plain.toHtmlEscaped();
    escaped.replace(u'\n', QStringLiteral("<br>"));
    const QFontMetrics metrics(QToolTip::font());
    int widest = 0;
    for (const QString& line : plain.split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest <= maxWidth)
        return QStringLiteral("<p style='white-space:pre'>") + escaped + QStringLiteral("</p>");
    return QStringLiteral("<table width='%1'><tr><td>").arg(maxWidth) + escaped + QStringLiteral("</td></tr></table>");
}

} // namespace

QWidget* ItemWidgetAt(const QWidget* window, QWidget* widget)
{
    for (; widget && widget != window; widget = widget->parentWidget()) {
        if (widget->isWindow())
            return nullptr;
        if (ItemIdOf(widget) != -1)
            return widget;
    }
    return nullptr;
}

ControlBase* ControlWidgetAt(const ControlListener& listener, const QWidget* window, QWidget* widget)
{
    for (; widget && widget != window; widget = widget->parentWidget()) {
        if (widget->isWindow())
            return nullptr;
        if (ControlBase* control = listener.FindControl(widget))
            return control;
    }
    return nullptr;
}

std::optional<QString> ControlTooltipText(const ControlListener& listener, QWidget* item)
{
    ControlBase* control = item ? listener.FindControl(item) : nullptr;
    if (!control)
        return std::nullopt;
    QString text;
    control->GetToolTipText(&text);
    return text;
}

bool ItemTips::HandleEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return false;
    auto* help = static_cast<QHelpEvent*>(event);
    m_shown.clear();
    if (GetGlobalConfigurations().GetDword(EnableTooltips) != 0) {
        QWidget* item = ItemWidgetAt(m_window, m_window->childAt(help->pos()));
        const QString text = m_textOf ? m_textOf(item ? ItemIdOf(item) : 0) : QString();
        if (!text.isEmpty()) {
            m_shown = text;
            const int maxWidth = item ? std::max(kMaxTipWidth, item->width()) : kMaxTipWidth;
            QWidget* over = item ? item : m_window;
            QToolTip::showText(help->globalPos(), TipMarkup(text, maxWidth), over, over->rect());
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

void ItemTips::EditFocusedTooltip(ControlListener* listener) const
{
    if (!listener || GetGlobalConfigurations().GetDword(EnableTooltips) != 2)
        return;
    if (ControlBase* control = ControlWidgetAt(*listener, m_window, QApplication::focusWidget()))
        EditTooltip(static_cast<unsigned>(control->GetToolTipId()), listener, m_window);
}
