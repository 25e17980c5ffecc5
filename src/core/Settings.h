#pragma once
// The program's 41 named settings, kept per named configuration under
// "Software\Brimcote Limited\Tabrine\<name>". Never cached: every get reads
// the store and every set writes it at once; a value equal to its default is
// removed rather than stored.

#include "core/RegistryKey.h"

#include <QString>

#include <cstdint>
#include <map>
#include <mutex>

enum ConfigurationId : int {
    InputPort = 0,
    OutputPort = 1,
    DeviceId = 2,
    BPort = 3,
    ControllerPort = 4,
    LongTimeout = 5,
    WriteDelay = 6,
    SysExDelay = 7,
    SkipScreenDump = 8,
    RepeatSpeed = 9,
    Diatonic = 10,
    ChordNote1 = 11,
    ChordNote2 = 12,
    ChordNote3 = 13,
    ChordNote4 = 14,
    ConfigSendClock = 15,
    Simulate = 16,
    ConfigFile = 17,
    ROMHash = 18,
    ReaderFriendly = 19,
    LoggerOnTop = 20,
    UseLCD = 21,
    TestUI = 22,
    EnableTooltips = 23,
    Capabilities = 24,
    PresetFile = 25,
    PresetFilter = 26,
    SysexFile = 27,
    SetupFile = 28,
    TuningFile = 29,
    ScalaFile = 30,
    ConfigDescription = 31,
    ConfigBackgroundColour = 32,
    ConfigForegroundColour = 33,
    ConfigGroupColour = 34,
    ConfigHighlightColour = 35,
    ConfigShadowColour = 36,
    ConfigDisabledColour = 37,
    ConfigForegroundOnColour = 38,
    ConfigBackgroundOnColour = 39,
    ConfigFocusColour = 40,
    ConfigurationCount = 41,
};

/// One row of the settings table.
struct ConfigurationRow {
    enum Type { Text = 0, Number = 1, Bool = 2 };
    int id;
    const char16_t* name;
    int type;
    const char16_t* textDefault;
    std::uint32_t numberDefault;
    bool boolDefault;
    bool showHex;
    const char16_t* description;
};

/// The program version printed in the description file, and the profile
/// version whose description file is current.
inline constexpr int kProgramVersionMajor = 1;
inline constexpr int kProgramVersionMinor = 34;
inline constexpr std::uint32_t kProfileVersion = 0x10022;

/// The settings of one named configuration. Any thread may read and write
/// them; nothing is cached, so two program instances (two configurations, or
/// the same one) never see stale values.
class GlobalConfigurations {
public:
    /// Opens (creating) the "Settings" configuration.
    GlobalConfigurations();
    virtual ~GlobalConfigurations() = default;

    /// Points the store at the named configuration (creating its key), in
    /// place of the open one. A name that IsValidConfigurationName refuses
    /// opens nothing (logged): reads then give the defaults and writes do
    /// nothing. A key that cannot be created at once (the store is locked
    /// or cannot be written) is logged, read wherever it exists, and created
    /// by the first write that can.
    void SetKeyName(const QString& name);
    QString KeyName() const;
    /// The configuration's key path; empty when a refused name opened none.
    QString KeyPath() const;

    const ConfigurationRow* FindConfiguration(int id) const;

    QString GetString(int id) const;
    void SetString(int id, const QString& text);
    std::uint32_t GetDword(int id) const;
    void SetDword(int id, std::uint32_t value);
    bool GetBool(int id) const;
    void SetBool(int id, bool value);

    /// Any text value of the configuration key outside the table (window
    /// positions), read with %VAR% expansion and written with no default handling.
    QString ReadString(const QString& valueName, const QString& def) const;
    void WriteString(const QString& valueName, const QString& text);

    /// "Configurations\n==============\n\n" then one line per setting.
    QString DumpToText() const;
    /// Writes the settings description file (narrow text, CR LF); false when it cannot be written.
    bool WriteDescriptionFile(const QString& path) const;

    /// The 41 rows of the table, in id order.
    static const ConfigurationRow* Table();

private:
    /// The configuration's key for reading (not open when it does not exist).
    RegistryKey Key() const;
    /// The configuration's key, created when missing, for a change.
    RegistryKey WritableKey();

    mutable std::mutex m_lock; ///< guards m_name and m_path
    QString m_name;
    std::map<int, ConfigurationRow> m_rows;
    QString m_path; ///< the configuration's key; empty when none is open
};

/// From now on every distinct problem of the settings file (a damaged line, a
/// change that could not be saved) is shown to the user once, in a message
/// box with no owner window, since it may come before any window exists.
/// Start-up calls it before anything reads a setting; problems found until
/// ShowSettingsProblems, or off the main thread, wait.
void CollectSettingsProblems();
/// Shows the waiting problems (on the main thread); later ones are shown as
/// they are found.
void ShowSettingsProblems();
/// Forgets what was shown and waits again (tests).
void ForgetSettingsProblems();

/// The single instance, built on first use with the "Settings" configuration
/// and kept until the process ends (code running at exit may still read it).
GlobalConfigurations& GetGlobalConfigurations();

/// "Software\Brimcote Limited\Tabrine\%s" for a configuration name.
QString ConfigurationKeyPath(const QString& name);

/// The configuration used when the command line names none.
inline constexpr char16_t kDefaultConfigurationName[] = u"Settings";
/// The configuration file of the default configuration.
inline constexpr char16_t kDefaultConfigurationFile[] = u"Default.xml";
/// The longest configuration name accepted.
inline constexpr int kConfigurationNameMax = 64;

/// Why name cannot name a configuration, or the empty text when it can. A
/// name becomes a key of the settings store, a file name and part of the
/// single-instance lock, so it must be 1 to 64 characters without path
/// separators, "..", control or invisible formatting characters, characters
/// that file names cannot hold on every platform (< > : " | ? *), blanks at
/// either end or a dot at the end, must not be a reserved device name (CON,
/// NUL, COM1 ...), and must not be "Trace", the key of the log settings.
QString ConfigurationNameProblem(const QString& name);
bool IsValidConfigurationName(const QString& name);

/// The configuration the program starts with, from its whole command line.
struct ConfigurationChoice {
    QString name;     ///< the configuration name; "Settings" when none or refused
    QString fileName; ///< the configuration file: name + ".xml", "Default.xml" when none or refused
    QString warning;  ///< why the command line was refused; empty when it was not
};
/// The command line is trimmed; an empty one chooses the default configuration;
/// a refused one chooses it too, logs the warning at level -2 and returns it
/// for the caller to show.
ConfigurationChoice ChooseConfiguration(const QString& commandLine);
/// The name part of ChooseConfiguration; *warning (when given) receives its warning.
QString ChooseConfigurationName(const QString& commandLine, QString* warning = nullptr);
