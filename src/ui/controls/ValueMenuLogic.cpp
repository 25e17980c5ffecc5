#include "ui/controls/ValueMenuLogic.h"

#include "module/ParameterIds.h"
#include "ui/controls/TrackerLogic.h"

#include <algorithm>

namespace {
QString DoubleAmpersands(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

void MenuLogic::Setup(bool allowOther, int iconBitmapId, const NameMap* values, int tooltipId)
{
    SetToolTipId(tooltipId);
    m_caption = m_surface ? m_surface->Caption() : QString();
    m_plainCaption = QString(m_caption).remove(QLatin1Char('&'));
    m_allowOther = allowOther;
    m_iconBitmapId = iconBitmapId;
    m_values = values;
    RefreshText();
}

void MenuLogic::RefreshText()
{
    ParamRecord* main = MainParameter();
    if (!main) {
        m_text = m_caption.isEmpty() ? QString() : m_caption + QLatin1Char(':');
        Repaint();
        return;
    }
    if (main->id == LAYER_SELECT && main->value == -1 && m_owner) {
        // "All layers" cannot stand while all-layer editing is off.
        ParamRecord* all = m_owner->GetParameter(EDIT_ALL_LAYERS);
        if (all && all->id == EDIT_ALL_LAYERS && all->value == 0) {
            main->previousValue = -1;
            main->value = 0;
            m_owner->EditParameter(main);
        }
    }
    QString name;
    if (m_values) {
        auto it = m_values->find(main->value);
        if (it != m_values->end())
            name = it->second;
    }
    if (name.isEmpty())
        name = GetValueText(main);
    name = DoubleAmpersands(name);
    m_text = m_caption.isEmpty() ? name : m_caption + QStringLiteral(": ") + name;
    Repaint();
}

std::vector<ValueMenuItem> MenuLogic::BuildMenu()
{
    std::vector<ValueMenuItem> items;
    ParamRecord* main = MainParameter();
    if (!main || !m_values)
        return items;
    bool hideAll = false;
    if (main->id == LAYER_SELECT && m_owner) {
        ParamRecord* all = m_owner->GetParameter(EDIT_ALL_LAYERS);
        hideAll = all && all->id == EDIT_ALL_LAYERS && all->value == 0;
    }
    bool anyChecked = false;
    for (const auto& [value, name] : *m_values) {
        if (value < main->minimum || value > main->maximum || (hideAll && value == -1))
            continue;
        ValueMenuItem item{value, name, value == main->value, !items.empty() && items.size() % ColumnLength == 0};
        anyChecked = anyChecked || item.checked;
        items.push_back(item);
    }
    if (m_allowOther)
        items.push_back({OtherValue, QStringLiteral("Other..."), !anyChecked,
                         !items.empty() && items.size() % ColumnLength == 0});
    return items;
}

void MenuLogic::OtherRange(int* low, int* high)
{
    ParamRecord* main = MainParameter();
    int lowest = 4096, highest = -4096;
    if (m_values)
        for (const auto& entry : *m_values) {
            lowest = std::min(lowest, entry.first);
            highest = std::max(highest, entry.first);
        }
    if (!main) {
        *low = *high = 0;
        return;
    }
    if (lowest == main->minimum) {
        *low = highest + 1;
        *high = main->maximum;
    } else {
        *low = main->minimum;
        *high = lowest - 1;
    }
}

void MenuLogic::Choose(int value)
{
    ParamRecord* main = MainParameter();
    if (!main)
        return;
    if (value != OtherValue) {
        if (value != main->value && m_owner)
            EditMain(main, value);
        return;
    }
    int low = 0, high = 0;
    OtherRange(&low, &high);
    m_trackerRecord = ParamRecord(QStringLiteral("EDIT_TRACKER"), EDIT_TRACKER, 0);
    m_trackerRecord.minimum = low;
    m_trackerRecord.maximum = high;
    m_trackerRecord.readOnly = false;
    const int start = std::max(std::min(main->value, high), low);
    m_trackerRecord.value = start;
    m_trackerRecord.defaultValue = start;
    m_trackerRecord.previousValue = 0;
    RunOtherPopup(&m_trackerRecord);
}

bool MenuLogic::EditMain(ParamRecord* main, int value)
{
    const int value0 = main->value;
    const int previous0 = main->previousValue;
    main->previousValue = main->value;
    main->value = value;
    if (m_owner->EditParameter(main))
        return true;
    // Refused: the record keeps the value the module has, and so does the caption.
    main->value = value0;
    main->previousValue = previous0;
    RefreshText();
    return false;
}

void MenuLogic::OpenMenu()
{
    if (!MainParameter() || !m_values)
        return;
    const std::vector<ValueMenuItem> items = BuildMenu();
    if (std::optional<int> chosen = RunMenu(items))
        Choose(*chosen);
}

void MenuLogic::MousePress()
{
    if (m_surface)
        m_surface->TakeFocus();
    m_captured = true;
    m_pressed = true;
    Repaint(true);
}

void MenuLogic::MouseRelease(bool inside)
{
    m_captured = false;
    m_pressed = false;
    Repaint(true);
    if (inside && (!m_surface || m_surface->IsWindowEnabled()) && DeviceReady())
        OpenMenu();
}

void MenuLogic::KeyUp(bool space)
{
    if (!space)
        return;
    m_pressed = false;
    Repaint(true);
    OpenMenu();
}

bool MenuLogic::OnTrackerEdit(ParamRecord* record)
{
    ParamRecord* main = MainParameter();
    if (!main || !record)
        return true;
    if (!m_owner)
        return false;
    if (record->id == EDIT_TRACKER)
        return EditMain(main, record->value);
    if (record->id == START_UNDO || record->id == END_UNDO)
        record->SetText(main->name);
    return m_owner->EditParameter(record);
}

void MenuLogic::Activate()
{
    PressableLogic::Activate();
    if (MainParameter())
        RefreshText();
    Repaint();
}

void MenuLogic::ParameterChanged(ParamRecord* record)
{
    ParamRecord* main = MainParameter();
    if (main && m_values && record) {
        if (record->id == main->id) {
            if (record->value != main->value) {
                main->previousValue = main->value;
                main->value = record->value;
            }
            RefreshText();
            return;
        }
        if (record->id == EDIT_ALL_LAYERS && record->value == 0)
            RefreshText();
    }
    PressableLogic::ParameterChanged(record);
}

// ------------------------------------------------------------------ effects variants

bool FXMenuLogic::EnabledByRouting()
{
    return FXControlEnabledBy(GetOwner());
}

bool MasterFXMenuLogic::EnabledByRouting()
{
    return MasterFXControlEnabledBy(GetOwner());
}

void FXMenuLogic::ApplyRule()
{
    if (m_surface)
        m_surface->SetWindowEnabled(EnabledByRouting());
}

void FXMenuLogic::Activate()
{
    MenuLogic::Activate();
    ApplyRule();
}

void FXMenuLogic::ParameterChanged(ParamRecord* record)
{
    MenuLogic::ParameterChanged(record);
    ApplyRule();
}
