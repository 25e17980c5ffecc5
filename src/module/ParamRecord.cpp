#include "module/ParamRecord.h"

#include <utility>

#include <array>
#include <unordered_map>

namespace {

QString TableName(const char16_t* name)
{
    // The rows live for the whole run, so the record can point at them
    // instead of copying every name into a buffer of its own.
    if (!name)
        return QString();
    return QString::fromRawData(reinterpret_cast<const QChar*>(name),
                                qsizetype(std::char_traits<char16_t>::length(name)));
}

constexpr ParameterTableRow kDummyRow{u"DUMMY_PARAMETER", 0};

// One index over every table, built on first use: the tables are searched
// by id from many places and a linear walk of 643 rows each time adds up.
const std::unordered_map<ParameterId, const ParameterTableRow*>& RowIndex()
{
    static const auto index = [] {
        std::unordered_map<ParameterId, const ParameterTableRow*> map;
        auto add = [&map](std::span<const ParameterTableRow> rows) {
            for (const ParameterTableRow& row : rows)
                map.emplace(row.id, &row);
        };
        for (std::span<const ParameterTableRow> table : GetParameterTables())
            add(table);
        add({GetPseudoParameterTable(), size_t(GetPseudoParameterCount())});
        return map;
    }();
    return index;
}

} // namespace

ParamRecord::ParamRecord(const QString& name, ParameterId id, int value)
    : name(name), id(id), value(value)
{
}

ParamRecord::ParamRecord(const ParameterTableRow& row, int value)
    : name(TableName(row.name)), id(row.id), value(value)
{
}

void ParamRecord::SetText(const QString& newText)
{
    previousText = text;
    text = newText;
}

void ParamRecord::CopyValues(const ParamRecord& from)
{
    value = from.value;
    romId = from.romId;
    previousValue = from.previousValue;
    previousRomId = from.previousRomId;
    text = from.text;
    previousText = from.previousText;
}

void ParamRecord::SwapWithPrevious()
{
    std::swap(value, previousValue);
    std::swap(romId, previousRomId);
    std::swap(text, previousText);
}

ParamRecord& DummyParameter()
{
    static ParamRecord dummy;
    // Callers write into what they are given (a request stores its reply,
    // an edit its previous value); reset so every caller starts from the
    // same defined record.
    dummy = ParamRecord(kDummyRow);
    return dummy;
}

std::span<const std::span<const ParameterTableRow>> GetParameterTables()
{
    static const std::array<std::span<const ParameterTableRow>, 8> tables{{
        {GetMasterParameterTable(), size_t(GetMasterParameterCount())},
        {GetMasterArpParameterTable(), size_t(GetMasterArpParameterCount())},
        {GetMultimodeParameterTable(), size_t(GetMultimodeParameterCount())},
        {GetBeatParameterTable(), size_t(GetBeatParameterCount())},
        {GetArpPatternParameterTable(), size_t(GetArpPatternParameterCount())},
        {GetPresetParameterTable(), size_t(GetPresetParameterCount())},
        {GetPresetArpParameterTable(), size_t(GetPresetArpParameterCount())},
        {GetLayerParameterTable(), size_t(GetLayerParameterCount())},
    }};
    return tables;
}

const ParameterTableRow& FindParameterTableRow(ParameterId id)
{
    const auto& index = RowIndex();
    const auto it = index.find(id);
    return it == index.end() ? kDummyRow : *it->second;
}

bool IsKnownParameter(ParameterId id)
{
    return RowIndex().count(id) != 0;
}
