#include "ui/framework/ControlBase.h"

#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/Settings.h"
#include "module/Proteus.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlListener.h"
#include "ui/framework/TipEditor.h"

#include <QAction>
#include <QMenu>

namespace {

struct MenuItem {
    int command;
    const char16_t* text;
    const char16_t* statusTip;
};

// The two control context menus, both titled "Control Context".
const std::vector<MenuItem>* ContextMenuItems(int menuId)
{
    static const std::vector<MenuItem> control = {
        {cmd::EditTooltip, u"Edit Tooltip...\tShift+F2", u""},
        {cmd::DefaultValue, u"Default Value", u"Reverts to the default value"},
    };
    static const std::vector<MenuItem> keyboard = {
        {cmd::ConfigureKeyboard, u"Configure Keyboard...", u""},
        {cmd::EditTooltip, u"Edit Tooltip...\tShift+F2", u""},
    };
    if (menuId == menuid::ControlContext)
        return &control;
    if (menuId == menuid::KeyboardContext)
        return &keyboard;
    return nullptr;
}

void RemoveCommand(QMenu* menu, int command)
{
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator() && a->data().toInt() == command) {
            menu->removeAction(a);
            delete a;
        }
    }
}

// A group label on the owner's undo marker record, when the chain holds one.
void SendUndoMarker(ControlListener* owner, int id, const QString& label)
{
    ParamRecord* marker = owner->GetParameter(id);
    if (!marker || marker->id != id)
        return;
    marker->SetText(label);
    owner->EditParameter(marker);
}

} // namespace

ControlBase::ControlBase(ControlListener* owner) : m_owner(owner) {}

ControlBase::~ControlBase() = default;

void ControlBase::ParameterChanged(ParamRecord* record)
{
    if (m_parameters.empty() || !record || !IsTriggeredBy(record))
        return;
    if (record->id == m_parameters[0]->id)
        return;
    if (m_refreshing)
        return;
    m_refreshing = true;
    // Walk a copy: showing a value may bind more (the vector only grows).
    const std::vector<ParamRecord*> bound = m_parameters;
    for (ParamRecord* p : bound) {
        if (p->id == 0 || p->id == record->id)
            continue;
        if (m_owner && m_owner->RequestParameterValues(p))
            ParameterChanged(p);
    }
    m_refreshing = false;
    UpdateDisplay();
}

void ControlBase::GetToolTipText(QString* out)
{
    if (!out)
        return;
    out->clear();
    if (m_tooltipId == 0)
        return;
    if (GlobalResources* resources = TheGlobalResources())
        *out = resources->GetTooltipText(unsigned(m_tooltipId));
}

void ControlBase::BindParameter(const TriggerSet* triggers, int format, ParamRecord* record)
{
    m_triggers = triggers;
    m_valueFormat = format;
    if (record)
        m_parameters.push_back(record);
}

void ControlBase::BindParameters(const TriggerSet* triggers, int format, std::initializer_list<ParamRecord*> records)
{
    m_triggers = triggers;
    m_valueFormat = format;
    for (ParamRecord* r : records) {
        if (r)
            m_parameters.push_back(r);
    }
}

ParamRecord* ControlBase::ParameterAt(unsigned index) const
{
    if (index >= m_parameters.size()) {
        CurrentLogger()->Log(kLogError, "Routing", 148, u"Invalid parameter reference");
        return nullptr;
    }
    return m_parameters[index];
}

bool ControlBase::IsTriggeredBy(const ParamRecord* record) const
{
    if (!m_triggers || !record)
        return false;
    if (record->id == POPUP_RELOAD_NOTIFIER)
        return true;
    return m_triggers->count(record->id) != 0;
}

QString ControlBase::GetValueText(const ParamRecord* record) const
{
    if (!record)
        return QString();
    if (m_owner) {
        if (Proteus* proteus = m_owner->GetProteus()) {
            if (ValueFormatter f = proteus->GetFormatter(GetValueFormat()))
                return f(record->value);
        }
    }
    return QString::number(record->value);
}

std::unique_ptr<QMenu> ControlBase::MakeContextMenu(QWidget* parent, int menuId)
{
    if (GetGlobalConfigurations().GetDword(EnableTooltips) != 2)
        return nullptr;
    const std::vector<MenuItem>* items = ContextMenuItems(menuId);
    if (!items)
        return nullptr;
    auto menu = std::make_unique<QMenu>(QStringLiteral("Control Context"), parent);
    for (const MenuItem& item : *items) {
        QAction* a = menu->addAction(QString::fromUtf16(item.text));
        a->setData(item.command);
        a->setStatusTip(QString::fromUtf16(item.statusTip));
    }
    if (m_tooltipId == 0)
        RemoveCommand(menu.get(), cmd::EditTooltip);
    if (m_parameters.empty())
        RemoveCommand(menu.get(), cmd::DefaultValue);
    PrepareContextMenu(menu.get());
    if (TrimMenuSeparators(menu.get()) == 0)
        return nullptr;
    return menu;
}

void ControlBase::ShowContextMenu(QWidget* parent, QPoint point, int menuId)
{
    std::unique_ptr<QMenu> menu = MakeContextMenu(parent, menuId);
    if (!menu)
        return;
    QAction* chosen = menu->exec(point);
    const int command = chosen ? chosen->data().toInt() : 0;
    menu.reset();
    if (command != 0)
        OnContextMenuCommand(parent, &point, command);
}

int ControlBase::TrimMenuSeparators(QMenu* menu)
{
    if (!menu)
        return 0;
    auto drop = [menu](QAction* a) {
        menu->removeAction(a);
        delete a;
    };
    while (!menu->actions().isEmpty() && menu->actions().first()->isSeparator())
        drop(menu->actions().first());
    while (!menu->actions().isEmpty() && menu->actions().last()->isSeparator())
        drop(menu->actions().last());
    for (int i = 0; i + 1 < menu->actions().size();) {
        const QList<QAction*> actions = menu->actions();
        if (actions[i]->isSeparator() && actions[i + 1]->isSeparator())
            drop(actions[i + 1]);
        else
            ++i;
    }
    return int(menu->actions().size());
}

void ControlBase::OnContextMenuCommand(QWidget* parent, QPoint* point, int command)
{
    if (command == cmd::EditTooltip) {
        EditTooltip(unsigned(m_tooltipId), m_owner, parent);
        return;
    }
    if (command != cmd::DefaultValue || !m_owner)
        return;
    const QString label = QStringLiteral("Change to Default");
    const bool grouped = m_parameters.size() >= 2;
    if (grouped)
        SendUndoMarker(m_owner, START_UNDO, label);
    const std::vector<ParamRecord*> bound = m_parameters;
    for (ParamRecord* p : bound) {
        p->previousValue = p->value;
        p->value = p->defaultValue;
        if (!m_owner->EditParameter(p))
            p->SwapWithPrevious();
    }
    if (grouped)
        SendUndoMarker(m_owner, END_UNDO, label);
}
