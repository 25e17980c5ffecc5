#include "ui/framework/RootListener.h"

#include "core/Settings.h"
#include "module/Proteus.h"
#include "ui/framework/ControlBase.h"
#include "ui/framework/RestoreAudition.h"

RootListener::RootListener(Proteus* proteus)
    : UndoRedo(this), m_proteus(proteus), m_startUndo(FindParameterTableRow(START_UNDO)),
      m_endUndo(FindParameterTableRow(END_UNDO))
{
    AddParameter(&m_startUndo);
    AddParameter(&m_endUndo);
    if (m_proteus)
        m_proteus->AddListener(this);
}

RootListener::~RootListener()
{
    if (m_proteus)
        m_proteus->RemoveListener(this);
}

bool RootListener::RequestParameterValues(ParamRecord* record)
{
    return m_proteus && record && m_proteus->ParameterRequest(record);
}

bool RootListener::RequestParameterMinMax(ParamRecord* record)
{
    return m_proteus && record && m_proteus->ParameterRequestWithMinMax(record);
}

bool RootListener::EditParameter(ParamRecord* record)
{
    if (!record)
        return false;
    if (record->id == SHORT_MIDI_MSG) {
        if (m_proteus)
            m_proteus->ParameterEdit(record);
        return true;
    }
    if (record->id == START_UNDO || record->id == END_UNDO) {
        RecordChange(record);
        return true;
    }
    if (record->id >= SHORT_MIDI_MSG)
        return EditPseudoParameter(record);
    if (!m_proteus || !m_proteus->ParameterEdit(record))
        return false;
    RecordChange(record);
    return true;
}

bool RootListener::EditPseudoParameter(ParamRecord* record)
{
    if (ControlListener::GetParameter(record->id) != record)
        return false;
    RecordChange(record);
    return true;
}

QString RootListener::GetObjectName(int kind, int romId, int index)
{
    return m_proteus ? m_proteus->GetSimmObjectName(ObjectKind(kind), romId, index) : QString();
}

ParamRecord* RootListener::GetParameter(int id)
{
    if (ParamRecord* own = ControlListener::GetParameter(id))
        return own;
    return m_proteus ? m_proteus->FindParameter(id) : nullptr;
}

MidiPort* RootListener::GetAltPort()
{
    return m_proteus ? m_proteus->GetAlternatePort() : nullptr;
}

bool RootListener::IsDeviceReady()
{
    if (m_proteus && m_proteus->IsConnected() && m_proteus->IsInputOpen() && m_proteus->IsOutputOpen())
        return true;
    return GetGlobalConfigurations().GetBool(TestUI);
}

void RootListener::AddPopup(const QString& name, QWidget* popup)
{
    m_popups.emplace(name, popup);
}

QWidget* RootListener::FindPopup(const QString& name)
{
    auto it = m_popups.find(name);
    return it == m_popups.end() ? nullptr : it->second;
}

void RootListener::RemovePopup(const QString& name)
{
    m_popups.erase(name);
}

void RootListener::OnDeviceConnected()
{
    for (ControlBase* c : Controls())
        c->Activate();
}

bool RootListener::OnParameterChanging(ParamRecord* record)
{
    for (ControlBase* c : Controls()) {
        if (!c->AllowParameterChange(record))
            return false;
    }
    return true;
}

void RootListener::OnParameterChanged(ParamRecord* record)
{
    for (ControlBase* c : Controls())
        c->ParameterChanged(record);
}

void RootListener::OnDeviceDisconnected()
{
    for (ControlBase* c : Controls())
        c->Deactivate();
}

bool RootListener::ApplyChange(ParamRecord* record)
{
    if (!record || record->id <= 0 || record->id >= SHORT_MIDI_MSG || !m_proteus)
        return true;
    RestoreAudition guard(m_proteus, GetParameter(AUDITION_BUTTON));
    return m_proteus->ParameterEdit(record);
}
