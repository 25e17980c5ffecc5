#pragma once
// What one simulated module is: identity, device id, channels, capabilities, ROM
// SIMMs, parameter table, timings and the answers it gives to what it cannot serve.
// Profiles come from the simulator's data file (data/profiles.json, built in as a
// resource) or from a literal JSON text in a test that names a base profile and
// overrides a few keys.
#include "sim/Clock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace sim {

/// Routes of the messages the module understands. A module message
/// (F0 18 0F dd 55 cmd ...) routes by its command byte; universal messages
/// (F0 7E/7F dd sub1 sub2 ...) by 0x7E0000 | sub1 << 8 | sub2 (or 0x7F0000 | ...).
inline constexpr int kAnyRoute = -1;
inline constexpr int kRouteIdentityRequest = 0x7E0601;
/// Short and system messages (everything but SysEx) share one route; they get no reply.
inline constexpr int kRouteShortMessage = 0x800000;
inline constexpr int UniversalRoute(int type, int sub1, int sub2) { return (type << 16) | (sub1 << 8) | sub2; }

/// How the module treats a request it cannot serve.
enum class Refusal { ErrorReply, Silence };
/// How the module treats an edit outside the parameter's range.
enum class OutOfRange { Clamp, Ignore, ErrorReply };
/// How the module treats an edit of a read-only parameter.
enum class ReadOnlyEdit { Ignore, ErrorReply };

// Every value below comes from the data file; the members start empty or zero.

struct Identity {
    int manufacturer = 0;
    int family = 0;
    int member = 0;
    QByteArray revision; ///< exactly 4 characters on the wire
};

/// One selector of a scope: the parameter whose value picks the stored value.
struct ScopeSelector {
    int selector = 0;
    int count = 1;                   ///< number of places the selector chooses from
    std::optional<int> all;          ///< selector value meaning "every place" (edits all, reads place 0)
};

struct ParameterDef {
    int id = 0;
    int minimum = 0;
    int maximum = 0;
    int defaultValue = 0;
    int startValue = 0;              ///< value before any edit (the default unless "values" says otherwise)
    bool readOnly = false;
    QString scope = QStringLiteral("global");
};

struct SimmDef {
    int id = 0;
    QString name;
    QString tag;                     ///< short text used in generated object names
    int presets = 0;
    int instruments = 0;
    int arps = 0;
    int demos = 0;
    int setups = 0;
    int riffs = 0;
};

struct LcdDef {
    int columns = 0;
    QByteArray characterTable;       ///< the user-defined characters for codes 0-7
    QByteArray rows[2];
};

struct Timing {
    int baud = 1;
    int bitsPerByte = 0;
    SimTime defaultProcessing{0};
    std::map<int, SimTime> processingByRoute;

    /// Time one byte takes on the serial line (320 us at 31250 baud, 10 bits a byte).
    SimTime byteTime() const { return SimTime(std::int64_t(bitsPerByte) * 1000000 / baud); }
    SimTime processing(int route) const;
};

struct ErrorSubCodes {
    int unknownCommand = 0;
    int unknownParameter = 0;
    int malformed = 0;
    int readOnly = 0;
    int outOfRange = 0;
};

struct Policies {
    Refusal unknownCommand = Refusal::ErrorReply;
    Refusal unknownParameter = Refusal::ErrorReply;
    Refusal malformed = Refusal::ErrorReply;
    OutOfRange outOfRangeEdit = OutOfRange::Clamp;
    ReadOnlyEdit readOnlyEdit = ReadOnlyEdit::Ignore;
};

struct Profile {
    QString name;
    Identity identity;
    int deviceId = 0;
    int channels = 0;
    std::map<QString, bool> capabilities;
    int userPresets = 0;
    int userArps = 0;
    int userSetups = 0;
    int userTunings = 0;
    QString userBankTag;                           ///< the user bank's tag in generated names
    int hardwareConfigUnusedByte = 0;
    int simmRecordLength = 0;
    std::vector<SimmDef> simms;
    std::map<QString, QString> objectNamePatterns; ///< kind ("preset", ...) -> pattern with %1 tag, %2 index
    LcdDef lcd;
    Timing timing;
    ErrorSubCodes errorSubCodes;
    Policies policies;
    std::map<QString, std::vector<ScopeSelector>> scopes;
    std::map<int, ParameterDef> parameters;       ///< only the parameters this module has
    QJsonObject raw;                               ///< the merged profile, for keys read by later handlers

    bool has(const QString& capability) const;
    const ParameterDef* parameter(int id) const;

    /// A profile of the data file by name ("full", "minimal", ...); nullopt and *error when unknown or bad.
    static std::optional<Profile> load(const QString& name, QString* error = nullptr);
    /// A profile from a literal JSON object: "base" names the data-file profile it starts from
    /// ("common" when absent), every other key overrides as in the data file.
    static std::optional<Profile> fromJson(QByteArrayView json, QString* error = nullptr);
    /// Names of the profiles in the data file, "common" included.
    static QStringList names();
};

} // namespace sim
