#pragma once
// An ordered collection of parameter records keyed by ParameterId. The module
// data model holds nine; other parts keep pointers to the records for as long
// as the document lives, so a record, once in a cache, never moves.

#include "module/ParamRecord.h"

#include <map>

class ParameterCache {
public:
    using Map = std::map<ParameterId, ParamRecord>;

    /// The record with this id; nullptr when the cache has none.
    ParamRecord* Find(ParameterId id);
    const ParamRecord* Find(ParameterId id) const;
    bool Contains(ParameterId id) const { return m_records.count(id) != 0; }

    /// Inserts a copy of record under record.id, or, when a record with that
    /// id is held, copies every field into it (the held object stays where
    /// it is). Returns the held record.
    ParamRecord& InsertOrOverwrite(const ParamRecord& record);
    /// Inserts a copy of record unless a record with its id is held, which
    /// then stays as it is. Returns the held record.
    ParamRecord& InsertIfAbsent(const ParamRecord& record);

    int Count() const { return int(m_records.size()); }
    bool IsEmpty() const { return m_records.empty(); }

    // Records in ascending id order. A caller must not change a record's id.
    Map::iterator begin() { return m_records.begin(); }
    Map::iterator end() { return m_records.end(); }
    Map::const_iterator begin() const { return m_records.begin(); }
    Map::const_iterator end() const { return m_records.end(); }

private:
    Map m_records;
};
