#include "ui/controls/NameEditLogic.h"

#include "core/Settings.h"
#include "module/ParameterIds.h"
#include "ui/framework/ControlListener.h"

namespace {
const QString kNameChange = QStringLiteral("Name Change");
} // namespace

QString NameEditLogic::NameText()
{
    const bool testUi = GetGlobalConfigurations().GetBool(TestUI);
    QString text;
    for (ParamRecord* p : m_parameters) {
        const bool known = (m_owner && m_owner->RequestParameterValues(p)) || testUi;
        text += known ? QChar(char16_t(p->value)) : QLatin1Char(' ');
    }
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

void NameEditLogic::Fill()
{
    const QString text = NameText();
    m_filling = true;
    ShowText(text, int(text.size()), int(text.size()));
    m_filling = false;
}

void NameEditLogic::Commit(const QString& typed)
{
    if (m_filling || m_committing)
        return;
    m_committing = true;
    QString text = typed.left(MaxChars);
    const int count = int(m_parameters.size());
    if (text.size() < count)
        text = text.leftJustified(count, QLatin1Char(' '));
    bool any = false;
    for (int i = 0; i < count; ++i) {
        ParamRecord* p = m_parameters[size_t(i)];
        const int code = text[i].unicode();
        if (!p || p->value == code)
            continue;
        if (!any && m_owner) {
            if (ParamRecord* start = m_owner->GetParameter(START_UNDO)) {
                start->SetText(kNameChange);
                m_owner->EditParameter(start);
            }
        }
        any = true;
        p->previousValue = p->value;
        p->value = code;
        if (m_owner)
            m_owner->EditParameter(p);
    }
    if (any && m_owner)
        if (ParamRecord* end = m_owner->GetParameter(END_UNDO)) {
            end->SetText(kNameChange);
            m_owner->EditParameter(end);
        }
    m_committing = false;
}

void NameEditLogic::Activate()
{
    ControlBase::Activate();
    if (!m_parameters.empty())
        Fill();
}

void NameEditLogic::ParameterChanged(ParamRecord* record)
{
    if (m_committing || !record)
        return;
    const bool triggered = IsTriggeredBy(record);
    bool matched = false;
    int first = -1, last = -1;
    for (size_t i = 0; i < m_parameters.size(); ++i) {
        ParamRecord* p = m_parameters[i];
        if (!p || p->id != record->id)
            continue;
        matched = true;
        if (p->value != record->value) {
            p->previousValue = p->value;
            p->value = record->value;
            if (first < 0)
                first = int(i);
            last = int(i);
        }
    }
    if (triggered || matched) {
        const QString text = NameText();
        m_filling = true;
        if (first >= 0)
            ShowText(text, first, last);
        else
            ShowText(text, int(text.size()), int(text.size()));
        m_filling = false;
    }
    ControlBase::ParameterChanged(record);
}
