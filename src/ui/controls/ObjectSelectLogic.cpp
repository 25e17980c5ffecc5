#include "ui/controls/ObjectSelectLogic.h"

#include "core/ObjectKind.h"
#include "module/Proteus.h"
#include "ui/controls/SelectionPopups.h"

void SelectLogic::Setup(int kind, bool userBankOnly, bool showLocation, const QString& popupName,
                        const QString& popupTitle, int tooltipId)
{
    SetToolTipId(tooltipId);
    m_userBankOnly = userBankOnly;
    m_showLocation = showLocation;
    m_kind = kind;
    m_popupName = popupName;
    m_popupTitle = popupTitle;
    m_caption = m_surface ? m_surface->Caption() : QString();
    if (!simmName)
        simmName = [this](int simmId) {
            Proteus* proteus = m_owner ? m_owner->GetProteus() : nullptr;
            return proteus ? proteus->GetSimmName(simmId) : QString();
        };
    RefreshText();
}

void SelectLogic::RefreshText()
{
    ParamRecord* main = MainParameter();
    if (!main) {
        m_text = m_caption.isEmpty() ? QString() : m_caption + QLatin1Char(':');
    } else {
        QString name = m_owner ? m_owner->GetObjectName(m_kind, main->romId, main->value) : QString();
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        if (m_showLocation && !name.isEmpty() && name.compare(QStringLiteral("(not instld)"), Qt::CaseInsensitive) != 0) {
            const QString location = simmName ? simmName(main->romId) : QString();
            m_text = m_caption.isEmpty() ? QStringLiteral("%1 (%2)").arg(name, location)
                                         : QStringLiteral("%1: %2 (%3)").arg(m_caption, name, location);
        } else {
            m_text = m_caption.isEmpty() ? name : QStringLiteral("%1: %2").arg(m_caption, name);
        }
    }
    Repaint();
}

QString SelectLogic::PopupTitle() const
{
    return m_popupTitle.isEmpty() ? QStringLiteral("Select") + ObjectKindName(m_kind) : m_popupTitle;
}

bool SelectLogic::ClosePopup()
{
    if (m_popup)
        m_popup->Show(nullptr, QString());
    return true;
}

void SelectLogic::Toggle()
{
    m_open = !m_open;
    if (m_open) {
        if (!m_popup && m_owner)
            m_popup = dynamic_cast<PopupBase*>(m_owner->FindPopup(m_popupName));
        if (m_popup) {
            m_popup->Show(this, PopupTitle());
            if (auto* names = dynamic_cast<NameSelectionPopup*>(m_popup))
                names->SetUserBankOnly(m_userBankOnly);
            if (ParamRecord* main = MainParameter())
                m_popup->SetSelection(main->romId, main->value);
            m_popup->setEnabled(true);
        }
    } else if (m_popup) {
        m_popup->Show(nullptr, QString());
    }
    Repaint();
}

void SelectLogic::MousePress()
{
    if (m_surface)
        m_surface->TakeFocus();
    m_captured = true;
    Repaint();
}

void SelectLogic::MouseRelease(bool inside)
{
    if (!m_captured)
        return;
    m_captured = false;
    if (inside && (!m_surface || m_surface->IsWindowEnabled()) && DeviceReady())
        Toggle();
    Repaint();
}

void SelectLogic::KeyUp(bool space)
{
    if (space)
        Toggle();
    Repaint();
}

void SelectLogic::Activate()
{
    PressableLogic::Activate();
    if (MainParameter())
        RefreshText();
}

void SelectLogic::ParameterChanged(ParamRecord* record)
{
    ParamRecord* main = MainParameter();
    if (main && record && record->id == main->id) {
        if (record->value != main->value || record->romId != main->romId) {
            main->previousValue = main->value;
            main->value = record->value;
            main->previousRomId = main->romId;
            main->romId = record->romId;
        }
        RefreshText();
        if (m_popup)
            m_popup->SetSelection(main->romId, main->value);
        return;
    }
    PressableLogic::ParameterChanged(record);
}

void SelectLogic::Deactivate()
{
    if (m_popup)
        m_popup->Show(nullptr, QString());
    PressableLogic::Deactivate();
}

bool SelectLogic::OnPopupClosing()
{
    m_open = false;
    Repaint();
    if (m_surface)
        m_surface->TakeFocus();
    return true;
}

bool SelectLogic::OnPopupSelect(int, int romId, int value)
{
    ParamRecord* main = MainParameter();
    if (!main || (main->romId == romId && main->value == value))
        return true;
    ParamRecord copy = *main;
    copy.previousRomId = copy.romId;
    copy.romId = romId;
    copy.previousValue = copy.value;
    copy.value = value;
    if (!m_owner || !m_owner->EditParameter(&copy)) {
        RefreshText();
        return false;
    }
    main->CopyValues(copy);
    return true;
}
