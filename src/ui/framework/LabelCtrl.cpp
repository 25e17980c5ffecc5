#include "ui/framework/LabelCtrl.h"

#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "ui/framework/Caption.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlListener.h"

#include <QContextMenuEvent>
#include <QLayout>
#include <QPainter>

namespace {

QColor SlotColour(int slot)
{
    if (GlobalStyle* style = TheGlobalStyle())
        return style->Colour(slot);
    return ColorFromColorRef(GetGlobalConfigurations().GetDword(ConfigBackgroundColour + slot));
}

} // namespace

LabelCtrl::LabelCtrl(ControlListener* owner, QWidget* parent) : QLabel(parent), ControlBase(owner)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void LabelCtrl::Setup(const NameMap* names, int tooltipId)
{
    SetControlWindow(this);
    SetToolTipId(tooltipId);
    m_names = names;
}

void LabelCtrl::SetText(const QString& text)
{
    setText(text);
    setAccessibleName(AccessibleNameFromCaption(text));
    update();
}

LabelCtrl* LabelCtrl::TakeOver(QLabel* plain, ControlListener* owner)
{
    if (!plain)
        return nullptr;
    QWidget* parent = plain->parentWidget();
    auto* label = new LabelCtrl(owner, parent);
    label->setObjectName(plain->objectName());
    label->setGeometry(plain->geometry());
    label->setAlignment(plain->alignment());
    label->setWordWrap(plain->wordWrap());
    label->setFont(plain->font());
    label->setBuddy(plain->buddy());
    label->setEnabled(plain->isEnabled());
    label->setProperty("group", plain->property("group"));
    label->SetText(plain->text());
    if (parent && parent->layout())
        delete parent->layout()->replaceWidget(plain, label, Qt::FindChildrenRecursively);
    label->setVisible(!plain->isHidden());
    label->stackUnder(plain);
    delete plain;
    return label;
}

void LabelCtrl::Activate()
{
    ControlBase::Activate();
    if (!m_parameters.empty())
        ParameterChanged(m_parameters[0]);
}

void LabelCtrl::ParameterChanged(ParamRecord* record)
{
    if (!record)
        return;
    if (m_parameters.empty() || record->id != m_parameters[0]->id) {
        ControlBase::ParameterChanged(record);
        return;
    }
    ParamRecord* main = m_parameters[0];
    if (main != record && main->value != record->value) {
        main->previousValue = main->value;
        main->value = record->value;
    }
    if (m_names) {
        // A value without a name leaves the text as it was.
        auto it = m_names->find(main->value);
        if (it != m_names->end())
            SetText(it->second);
        return;
    }
    SetText(GetValueText(main));
}

QColor LabelCtrl::TextColour() const
{
    const bool ready = m_owner ? m_owner->IsDeviceReady() : true;
    if (!isEnabled() || !ready)
        return SlotColour(DisabledColour);
    if (property("group").toBool())
        return SlotColour(GroupColour);
    return SlotColour(ForegroundColour);
}

int LabelCtrl::TextFlags() const
{
    const Qt::Alignment a = alignment();
    int flags = Qt::TextShowMnemonic;
    if (a & Qt::AlignHCenter)
        flags |= Qt::AlignHCenter;
    else if (a & Qt::AlignRight)
        flags |= Qt::AlignRight;
    else
        flags |= Qt::AlignLeft;
    if ((a & Qt::AlignVCenter) && !wordWrap())
        flags |= Qt::AlignVCenter | Qt::TextSingleLine;
    else
        flags |= Qt::AlignTop | Qt::TextWordWrap;
    return flags;
}

void LabelCtrl::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (GlobalStyle* style = TheGlobalStyle()) {
        const QPoint origin = parentWidget() ? mapTo(parentWidget(), QPoint(0, 0)) : QPoint(0, 0);
        style->PaintControlBackground(&painter, origin, rect());
    }
    painter.setFont(font());
    painter.setPen(TextColour());
    painter.drawText(contentsRect(), TextFlags(), text());
}

void LabelCtrl::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        update();
}

void LabelCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
    event->accept();
}
