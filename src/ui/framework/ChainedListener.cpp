#include "ui/framework/ChainedListener.h"

#include "core/Logger.h"
#include "module/Proteus.h"

namespace {

// The texts and line numbers name the failure the same way in every log.
void LogFailure(int line, const char16_t* text)
{
    CurrentLogger()->Log(kLogError, "BasicDialog", line, u"%s", QString::fromUtf16(text));
}

} // namespace

bool ChainedListener::RequestParameterValues(ParamRecord* record)
{
    if (m_topLevel) {
        if (Proteus* proteus = GetProteus())
            return proteus->ParameterRequest(record);
        LogFailure(144, u"Top level Basic Dialog has no Proteus and cannot request parameter values");
        return false;
    }
    if (m_parent)
        return m_parent->RequestParameterValues(record);
    LogFailure(150, u"Basic Dialog has no listener and so cannot request parameter values");
    return false;
}

bool ChainedListener::RequestParameterMinMax(ParamRecord* record)
{
    if (m_topLevel) {
        if (Proteus* proteus = GetProteus())
            return proteus->ParameterRequestWithMinMax(record);
        LogFailure(161, u"Top level Basic Dialog has no Proteus and cannot request parameter min/max values");
        return false;
    }
    if (m_parent)
        return m_parent->RequestParameterMinMax(record);
    LogFailure(167, u"Basic Dialog has no listener and so cannot request parameter min/max values");
    return false;
}

bool ChainedListener::EditParameter(ParamRecord* record)
{
    if (m_topLevel) {
        if (Proteus* proteus = GetProteus())
            return proteus->ParameterEdit(record);
        LogFailure(178, u"Top level Basic Dialog but has no Proteus and cannot edit parameters");
        return false;
    }
    if (m_parent)
        return m_parent->EditParameter(record);
    LogFailure(184, u"Basic Dialog has no listener and so cannot edit parameters");
    return false;
}

QString ChainedListener::GetObjectName(int kind, int romId, int index)
{
    if (m_parent)
        return m_parent->GetObjectName(kind, romId, index);
    LogFailure(193, u"Basic Dialog has no listener and so cannot retrieve object names");
    return QString();
}

ParamRecord* ChainedListener::GetParameter(int id)
{
    if (ParamRecord* own = ControlListener::GetParameter(id))
        return own;
    if (m_parent)
        return m_parent->GetParameter(id);
    LogFailure(205, u"Basic Dialog has no listener and so no access to parameters");
    return nullptr;
}

Proteus* ChainedListener::GetProteus()
{
    if (m_parent)
        return m_parent->GetProteus();
    LogFailure(213, u"Basic Dialog has no listener and so no access to Proteus");
    return nullptr;
}

MidiPort* ChainedListener::GetAltPort()
{
    if (m_parent)
        return m_parent->GetAltPort();
    LogFailure(221, u"Basic Dialog has no listener and so no access to the Alt Port");
    return nullptr;
}

bool ChainedListener::IsDeviceReady()
{
    return m_parent ? m_parent->IsDeviceReady() : true;
}

void ChainedListener::AddPopup(const QString& name, QWidget* popup)
{
    if (m_parent)
        m_parent->AddPopup(name, popup);
    else
        LogFailure(230, u"Basic Dialog has no listener and so is not allowed to add popups");
}

QWidget* ChainedListener::FindPopup(const QString& name)
{
    if (m_parent)
        return m_parent->FindPopup(name);
    LogFailure(237, u"Basic Dialog has no listener and so has no access to the popup list");
    return nullptr;
}

void ChainedListener::RemovePopup(const QString& name)
{
    if (m_parent)
        m_parent->RemovePopup(name);
    else
        LogFailure(246, u"Basic Dialog has no listener and so is not allowed to remove popups");
}
