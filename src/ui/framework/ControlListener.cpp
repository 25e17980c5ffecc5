#include "ui/framework/ControlListener.h"

#include "ui/framework/ControlBase.h"

ControlListener::~ControlListener() = default;

ParamRecord* ControlListener::GetParameter(int id)
{
    auto it = m_parametersById.find(id);
    return it == m_parametersById.end() ? nullptr : it->second;
}

void ControlListener::AddControl(ControlBase* control)
{
    if (!control)
        return;
    if (m_controlsByWindow.emplace(control->GetControlWindow(), control).second)
        m_controlOrder.push_back(control);
    for (unsigned i = 0; i < control->ParameterCount(); ++i) {
        const int id = control->ParameterAt(i)->id;
        if (id != 0)
            m_controlsByParameter.emplace(id, control);
    }
}

ControlBase* ControlListener::FindControl(const QWidget* window) const
{
    auto it = m_controlsByWindow.find(window);
    return it == m_controlsByWindow.end() ? nullptr : it->second;
}

ControlBase* ControlListener::FindParameterControl(int id) const
{
    auto it = m_controlsByParameter.find(id);
    return it == m_controlsByParameter.end() ? nullptr : it->second;
}

void ControlListener::AddParameter(ParamRecord* record)
{
    if (record)
        m_parametersById.emplace(record->id, record);
}

void ControlListener::ForgetControls()
{
    m_controlsByWindow.clear();
    m_controlOrder.clear();
    m_controlsByParameter.clear();
    m_parametersById.clear();
}
