#include "ui/controls/PopupTrackerLogic.h"

#include "module/ParameterIds.h"
#include "ui/framework/ControlListener.h"

bool PopupTrackerLogic::Edit(ParamRecord* record)
{
    if (!m_client)
        return false;
    if (!m_groupOpen) {
        if (ParamRecord* start = m_chain ? m_chain->GetParameter(START_UNDO) : nullptr)
            m_client->OnTrackerEdit(start);
        m_groupOpen = true;
    }
    return m_client->OnTrackerEdit(record);
}

void PopupTrackerLogic::Ok(ParamRecord* record, int sliderValue)
{
    if (record) {
        record->previousValue = record->value;
        record->value = sliderValue;
    }
    CloseGroup();
}

void PopupTrackerLogic::Cancel()
{
    CloseGroup();
}

void PopupTrackerLogic::CloseGroup()
{
    if (!m_groupOpen)
        return;
    m_groupOpen = false;
    if (ParamRecord* end = m_chain ? m_chain->GetParameter(END_UNDO) : nullptr)
        if (m_client)
            m_client->OnTrackerEdit(end);
}
