#include "module/ParameterCache.h"

ParamRecord* ParameterCache::Find(ParameterId id)
{
    const auto it = m_records.find(id);
    return it == m_records.end() ? nullptr : &it->second;
}

const ParamRecord* ParameterCache::Find(ParameterId id) const
{
    const auto it = m_records.find(id);
    return it == m_records.end() ? nullptr : &it->second;
}

ParamRecord& ParameterCache::InsertOrOverwrite(const ParamRecord& record)
{
    // Assign into the held record rather than replace the map node, so the
    // pointers controls and dialogs hold keep pointing at the current values.
    auto [it, inserted] = m_records.try_emplace(record.id, record);
    if (!inserted)
        it->second = record;
    return it->second;
}

ParamRecord& ParameterCache::InsertIfAbsent(const ParamRecord& record)
{
    return m_records.try_emplace(record.id, record).first->second;
}
