#include "ui/framework/RestoreAudition.h"

#include "module/Proteus.h"

RestoreAudition::RestoreAudition(Proteus* proteus, const ParamRecord* audition)
    : m_proteus(proteus), m_kept(audition ? audition->value : 0)
{
    // Playing the audition toggles it: once now stops it, once at the end
    // starts it again.
    if (m_kept == 1 && m_proteus)
        m_proteus->PlayAudition();
}

RestoreAudition::~RestoreAudition()
{
    if (m_kept == 1 && m_proteus)
        m_proteus->PlayAudition();
}
