#pragma once
// ParamRecord: one parameter as controls, dialogs, undo lists and the module
// protocol pass it, and the eight static name tables that give every module
// parameter its name and id. The table names are external vocabulary: they
// name the elements of the configuration cache and of preset documents.

#include "module/ParameterIds.h"

#include <QString>

#include <span>

/// One row of a parameter name table: the parameter's name and its id.
struct ParameterTableRow {
    const char16_t* name;
    ParameterId id;
};

/// One parameter with its value, range and the state an editor replaced.
/// Copy and assignment copy every field; the texts share their buffers.
class ParamRecord {
public:
    /// Empty name, id 0, every number 0, empty texts, read-only.
    ParamRecord() = default;
    /// Name, id and value as given; everything else as the default record
    /// (so the record is read-only until a range reply says otherwise).
    ParamRecord(const QString& name, ParameterId id, int value);
    /// A record for a table row: the row's name (not copied) and id.
    explicit ParamRecord(const ParameterTableRow& row, int value = 0);

    /// Stores text and keeps the text it replaces as the previous text.
    void SetText(const QString& newText);

    /// Takes over what a change carries: value, SIMM id, their previous
    /// values, text and previous text. Name, id, range and read-only stay.
    void CopyValues(const ParamRecord& from);

    /// Exchanges value with previousValue, romId with previousRomId and text
    /// with previousText: an edit record becomes the record that undoes it
    /// (and back again), and a refused edit gets its old value back.
    void SwapWithPrevious();

    QString name;            ///< the table name; empty by default
    ParameterId id = 0;
    int romId = 0;           ///< SIMM id qualifying an object value; 0 for the user bank and plain values
    int value = 0;
    QString text;            ///< free text carried with the value (object names, tooltips)
    int minimum = 0;
    int maximum = 0;
    int defaultValue = 0;
    int previousRomId = 0;
    int previousValue = 0;   ///< an editor copies value here before it changes it
    QString previousText;
    bool readOnly = true;    ///< true exactly when the module's range reply says 1
};

/// The shared placeholder handed out for an id that has no record, so that
/// callers never receive null: name "DUMMY_PARAMETER", id 0, value 0 and
/// otherwise the defaults. It is put back into that state on every call, so
/// what one caller wrote into it never reaches the next.
ParamRecord& DummyParameter();

// The eight name tables: pointer to the first row and the row count. The rows
// are in the program's order, which is not always the order of the ids.
const ParameterTableRow* GetMasterParameterTable();
int GetMasterParameterCount();
const ParameterTableRow* GetMultimodeParameterTable();
int GetMultimodeParameterCount();
const ParameterTableRow* GetMasterArpParameterTable();
int GetMasterArpParameterCount();
const ParameterTableRow* GetArpPatternParameterTable();
int GetArpPatternParameterCount();
const ParameterTableRow* GetBeatParameterTable();
int GetBeatParameterCount();
const ParameterTableRow* GetPresetParameterTable();
int GetPresetParameterCount();
const ParameterTableRow* GetPresetArpParameterTable();
int GetPresetArpParameterCount();
const ParameterTableRow* GetLayerParameterTable();
int GetLayerParameterCount();

/// The editor's pseudo-parameters and the notifiers (9000 ... 9342 and
/// 10000 ... 10002), in id order; in no module table.
const ParameterTableRow* GetPseudoParameterTable();
int GetPseudoParameterCount();

/// The eight module tables in the order the module data model fills its
/// caches: master, master arp, multimode, beat, arp pattern, preset, preset
/// arp, layer.
std::span<const std::span<const ParameterTableRow>> GetParameterTables();

/// The row of a module table or of the pseudo table with this id. An id in
/// no table (129, 139, 897 and 898 among them, which are fixed records of the
/// module connection) yields the row {"DUMMY_PARAMETER", 0}; never null.
const ParameterTableRow& FindParameterTableRow(ParameterId id);
/// True when a module table or the pseudo table has a row with this id.
bool IsKnownParameter(ParameterId id);
