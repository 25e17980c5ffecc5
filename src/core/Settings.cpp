#include "core/Settings.h"

#include "core/Format.h"
#include "core/Logger.h"
#include "core/MessageBox.h"

#include "platform/Process.h"

#include "platform/SafeFile.h"

#include <set>
#include <vector>

namespace {

const ConfigurationRow kRows[ConfigurationCount] = {
    {0, u"InputPort", 1, u"", 0xFFFFFFFFu, false, false, u"The location of incoming data from the Proteus"},
    {1, u"OutputPort", 1, u"", 0xFFFFFFFFu, false, false, u"The location where to send outgoing data to the Proteus"},
    {2, u"DeviceId", 1, u"", 0, false, false, u"The MIDI Device Id of the Proteus used to disambiguate multiple modules on the same MIDI port"},
    {3, u"BPort", 1, u"", 0xFFFFFFFFu, false, false, u"An optional output port connected to the B side of the Proteus"},
    {4, u"ControllerPort", 1, u"", 0xFFFFFFFFu, false, false, u"A port where controller short messages (note on/off, controller, volume and pan data) are replacated to the Proteus to allow testing with a real keyboard or controller array"},
    {5, u"LongTimeout", 1, u"", 1000, false, false, u"The maximum amount of time to wait for connection or for a response to a sysex request"},
    {6, u"WriteDelay", 1, u"", 500, false, false, u"The amount of time to delay between large operations like copy preset. For these operations, the module does not like sysexes being issued until the operation is complete"},
    {7, u"SysExDelay", 1, u"", 0, false, false, u"The amount of time to delay between issuing each sysex"},
    {8, u"SkipScreenDump", 2, u"", 0, false, false, u"Whether to skip screen dumping functions (allows the software to support modules without a screen)"},
    {9, u"RepeatSpeed", 1, u"", 60, false, false, u"The rate of repeat for repeated notes on the keyboard"},
    {10, u"Diatonic", 2, u"", 0, false, false, u"Whether the keyboard is to play inn diatonic mode"},
    {11, u"ChordNote1", 1, u"", 4, false, false, u"The first additional note to play in chords"},
    {12, u"ChordNote2", 1, u"", 7, false, false, u"The second additional note to play in chords"},
    {13, u"ChordNote3", 1, u"", 0, false, false, u"The third additional note to play in chords"},
    {14, u"ChordNote4", 1, u"", 0, false, false, u"The fourth additional note to play in chords"},
    {15, u"ConfigSendClock", 2, u"", 0, false, false, u"Whether to send MIDI clocks (including start and stop)"},
    {16, u"Simulate", 1, u"", 0, false, true, u"Allows the system to simulate what happens when a particular device family member such as the P2500 is attached. The value is the device family code number"},
    {17, u"ConfigFile", 0, u"Default.xml", 0, false, false, u"The name of the initialisation file containing the ROM configurations"},
    {18, u"ROMHash", 1, u"", 0, false, true, u"During initialisation a hash of the ROMs present is calculated and stored. This is compared at startup to see if the ROMs present have changed and if so prompt the user to create a new initialisation file"},
    {19, u"ReaderFriendly", 2, u"", 0, false, false, u"If you set this option, the menus appear as standard menus rather than the self-drawn version but this works better with screen readers to support the visually impaired"},
    {20, u"LoggerOnTop", 2, u"", 0, true, false, u"If you set this option, the logger remains the topmost window"},
    {21, u"UseLCD", 2, u"", 0, false, false, u"Noramlly the software determines the current preset by dumping the set up. This flags tells it to do it using the old legacy method of dumping the LCD"},
    {22, u"TestUI", 2, u"", 0, false, false, u"Runs the program in a mode that allows testing UI functions without a module preset"},
    {23, u"EnableTooltips", 1, u"", 2, false, false, u"This value has three options: 0 - Do not show tooltips, 1 - Show short tooltips, 2 - Show long tooltips that can be edited using the tooltip editor"},
    {24, u"Capabilities", 1, u"", 0, false, true, u"This value is interpreted in the software, but is automatically determined when you first connect to the module."},
    {25, u"PresetFile", 0, u"", 0, false, false, u"The location where the last preset was saved/loaded"},
    {26, u"PresetFilter", 1, u"", 0, false, false, u"The last filter (xml or sysex) used to load a file"},
    {27, u"SysexFile", 0, u"", 0, false, false, u"The location where the last file was imported or exported"},
    {28, u"SetupFile", 0, u"", 0, false, false, u"The location where the last setup was saved/loaded"},
    {29, u"TuningFile", 0, u"", 0, false, false, u"The location where the last tuning was saved/loaded"},
    {30, u"ScalaFile", 0, u"", 0, false, false, u"The location where the last Scala file was saved/loaded"},
    {31, u"ConfigDescription", 1, u"", 0, false, true, u"The last version of the configuration description file to be written"},
    {32, u"ConfigBackgroundColour", 1, u"", 0x686159, false, true, u"The background colour"},
    {33, u"ConfigForegroundColour", 1, u"", 0xC0C0C0, false, true, u"The foreground colour"},
    {34, u"ConfigGroupColour", 1, u"", 0xFFFFFF, false, true, u"The colour used to highlight groups of controls in dialogs"},
    {35, u"ConfigHighlightColour", 1, u"", 0xABA7A3, false, true, u"The colour used for control highlights"},
    {36, u"ConfigShadowColour", 1, u"", 0x41382E, false, true, u"The colour used for control shadows"},
    {37, u"ConfigDisabledColour", 1, u"", 0x404040, false, true, u"The colour used for controls that are disabled"},
    {38, u"ConfigForegroundOnColour", 1, u"", 0xFFFFFF, false, true, u"The foreground colour used for buttons that are pressed"},
    {39, u"ConfigBackgroundOnColour", 1, u"", 0x817364, false, true, u"The background colour used for buttons that are pressed"},
    {40, u"ConfigFocusColour", 1, u"", 0xFFFFFF, false, true, u"The colour used to indicate keyboard focus"},
};

QString str(const char16_t* s)
{
    return QString::fromUtf16(s);
}

} // namespace

const ConfigurationRow* GlobalConfigurations::Table()
{
    return kRows;
}

QString ConfigurationKeyPath(const QString& name)
{
    return Format(u"%s\\%s", QString::fromUtf16(kProgramRegistryKey), name);
}

namespace {

// Calls f with each code point of text; half of a surrogate pair without its
// other half is passed as it is (and has the category Other_Surrogate).
template <class F>
void ForEachCodePoint(const QString& text, F&& f)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            f(QChar::surrogateToUcs4(c, text[i + 1].unicode()));
            ++i;
        } else {
            f(char32_t(c));
        }
    }
}

bool IsControlOrInvisible(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// The name as it can be shown in a message or a log line: control and
// formatting characters replaced, cut to a readable length.
QString Printable(const QString& name)
{
    QString out;
    ForEachCodePoint(name.left(80), [&](char32_t c) {
        if (IsControlOrInvisible(c))
            out += QChar(QChar::ReplacementCharacter);
        else
            out += QString::fromUcs4(&c, 1);
    });
    return name.size() > 80 ? out + QStringLiteral("...") : out;
}

bool IsReservedDeviceName(const QString& name)
{
    // Windows refuses these as file names, with or without an extension.
    const QString stem = name.section(u'.', 0, 0).trimmed().toUpper();
    static const QStringList reserved = {
        QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL"),
    };
    if (reserved.contains(stem))
        return true;
    return stem.size() == 4 && (stem.startsWith(QStringLiteral("COM")) || stem.startsWith(QStringLiteral("LPT")))
        && stem[3] >= u'1' && stem[3] <= u'9';
}

} // namespace

QString ConfigurationNameProblem(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("it is empty");
    if (name.size() > kConfigurationNameMax)
        return Format(u"it is longer than %d characters", kConfigurationNameMax);
    if (name.contains(u'/') || name.contains(u'\\'))
        return QStringLiteral("it holds a path separator");
    if (name.contains(QStringLiteral("..")))
        return QStringLiteral("it holds \"..\"");
    // Character by character, not by UTF-16 unit: a character outside the
    // Basic Multilingual Plane (an emoji) is two units, neither a character.
    QString problem;
    ForEachCodePoint(name, [&](char32_t c) {
        if (!problem.isEmpty())
            return;
        if (IsControlOrInvisible(c))
            problem = QStringLiteral("it holds a control or invisible character");
        else if (c < 0x80 && QStringView(u"<>:\"|?*").contains(QChar(char16_t(c))))
            problem = Format(u"it holds the character %c, which file names cannot hold", QChar(char16_t(c)));
    });
    if (!problem.isEmpty())
        return problem;
    if (name.front().isSpace() || name.back().isSpace())
        return QStringLiteral("it starts or ends with a blank");
    if (name.back() == u'.')
        return QStringLiteral("it ends with a dot");
    if (IsReservedDeviceName(name))
        return QStringLiteral("it is a reserved device name");
    if (name.compare(QStringLiteral("Trace"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("the log settings use that key");
    return QString();
}

bool IsValidConfigurationName(const QString& name)
{
    return ConfigurationNameProblem(name).isEmpty();
}

ConfigurationChoice ChooseConfiguration(const QString& commandLine)
{
    ConfigurationChoice choice{QString::fromUtf16(kDefaultConfigurationName),
                               QString::fromUtf16(kDefaultConfigurationFile), QString()};
    const QString name = commandLine.trimmed();
    if (name.isEmpty())
        return choice;
    const QString problem = ConfigurationNameProblem(name);
    if (!problem.isEmpty()) {
        choice.warning = Format(u"The configuration name \"%s\" cannot be used (%s); using \"%s\" instead",
                                Printable(name), problem, choice.name);
        TLOG(kLogError, u"%s", choice.warning);
        return choice;
    }
    choice.name = name;
    choice.fileName = name + QStringLiteral(".xml");
    return choice;
}

QString ChooseConfigurationName(const QString& commandLine, QString* warning)
{
    ConfigurationChoice choice = ChooseConfiguration(commandLine);
    if (warning)
        *warning = choice.warning;
    return choice.name;
}

GlobalConfigurations::GlobalConfigurations()
{
    for (const ConfigurationRow& row : kRows)
        m_rows.emplace(row.id, row);
    m_path = ConfigurationKeyPath(QString::fromUtf16(kDefaultConfigurationName));
    RegistryKey(m_path, true);
}

void GlobalConfigurations::SetKeyName(const QString& name)
{
    const QString problem = ConfigurationNameProblem(name);
    const QString path = problem.isEmpty() ? ConfigurationKeyPath(name) : QString();
    {
        std::lock_guard l(m_lock);
        m_name = name;
        m_path = path;
    }
    if (!problem.isEmpty()) {
        TLOG(kLogError, u"Configuration \"%s\" not opened: %s", Printable(name), problem);
        return;
    }
    // A key that cannot be created now (the store is locked by another
    // process, or cannot be written) is created by the first change that
    // can; until then its settings read as the defaults.
    if (!RegistryKey(path, true).IsOpen())
        TLOG(kLogError, u"The settings of configuration \"%s\" cannot be stored at present", Printable(name));
}

QString GlobalConfigurations::KeyName() const
{
    std::lock_guard l(m_lock);
    return m_name;
}

QString GlobalConfigurations::KeyPath() const
{
    std::lock_guard l(m_lock);
    return m_path;
}

RegistryKey GlobalConfigurations::Key() const
{
    // Reading needs a key that exists, not one that can be written.
    const QString path = KeyPath();
    RegistryKey key;
    if (!path.isEmpty())
        key.Open(path, false);
    return key;
}

RegistryKey GlobalConfigurations::WritableKey()
{
    const QString path = KeyPath();
    RegistryKey key;
    if (!path.isEmpty())
        key.Open(path, true);
    return key;
}

const ConfigurationRow* GlobalConfigurations::FindConfiguration(int id) const
{
    auto it = m_rows.find(id);
    return it == m_rows.end() ? nullptr : &it->second;
}

QString GlobalConfigurations::GetString(int id) const
{
    const ConfigurationRow* row = FindConfiguration(id);
    if (!row)
        return QString();
    return Key().ReadString(str(row->name), str(row->textDefault), true);
}

void GlobalConfigurations::SetString(int id, const QString& text)
{
    const ConfigurationRow* row = FindConfiguration(id);
    if (!row)
        return;
    if (text == str(row->textDefault))
        Key().DeleteValue(str(row->name));
    else
        WritableKey().WriteString(str(row->name), text);
}

std::uint32_t GlobalConfigurations::GetDword(int id) const
{
    const ConfigurationRow* row = FindConfiguration(id);
    if (!row)
        return 0;
    return Key().ReadDword(str(row->name), row->numberDefault);
}

void GlobalConfigurations::SetDword(int id, std::uint32_t value)
{
    const ConfigurationRow* row = FindConfiguration(id);
    if (!row)
        return;
    if (value == row->numberDefault)
        Key().DeleteValue(str(row->name));
    else
        WritableKey().WriteDword(str(row->name), value);
}

bool GlobalConfigurations::GetBool(int id) const
{
    const ConfigurationRow* row = FindConfiguration(id);
    if (!row)
        return false;
    return Key().ReadDword(str(row->name), row->boolDefault ? 1u : 0u) != 0;
}

void GlobalConfigurations::SetBool(int id, bool value)
{
    const ConfigurationRow* row = FindConfiguration(id);
    if (!row)
        return;
    if (value == row->boolDefault)
        Key().DeleteValue(str(row->name));
    else
        WritableKey().WriteDword(str(row->name), value ? 1u : 0u);
}

QString GlobalConfigurations::ReadString(const QString& valueName, const QString& def) const
{
    return Key().ReadString(valueName, def, true);
}

void GlobalConfigurations::WriteString(const QString& valueName, const QString& text)
{
    WritableKey().WriteString(valueName, text);
}

QString GlobalConfigurations::DumpToText() const
{
    QString out = QStringLiteral("Configurations\n==============\n\n");
    for (const auto& [id, row] : m_rows) {
        const QString name = str(row.name);
        switch (row.type) {
        case ConfigurationRow::Text:
            out += Format(u"Configuration: %s - %s\n", name, GetString(id));
            break;
        case ConfigurationRow::Number:
            out += Format(row.showHex ? u"Configuration: %s - 0x%x\n" : u"Configuration: %s - %d\n", name, GetDword(id));
            break;
        default:
            out += Format(u"Configuration: %s - %s\n", name, GetBool(id) ? u"True" : u"False");
            break;
        }
    }
    return out;
}

bool GlobalConfigurations::WriteDescriptionFile(const QString& path) const
{
    QString text = QStringLiteral("Configurations File\n===================\n\n");
    text += Format(u"Tabrine Version %d.%d\n\n", kProgramVersionMajor, kProgramVersionMinor);
    for (const auto& [id, row] : m_rows) {
        const QString name = str(row.name);
        const QString description = str(row.description);
        switch (row.type) {
        case ConfigurationRow::Text:
            text += Format(u"Configuration: %s\nDefault: %s\nDescription:%s\n\n", name, str(row.textDefault), description);
            break;
        case ConfigurationRow::Number:
            text += Format(u"Configuration: %s\nDefault: %d\nDescription:%s\n\n", name, row.numberDefault, description);
            break;
        default:
            text += Format(u"Configuration: %s\nDefault: %s\nDescription:%s\n\n", name,
                           row.boolDefault ? u"True(1)" : u"False(0)", description);
            break;
        }
    }
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return bool(platform::WriteFileWhole(path, text.toLatin1()));
}

namespace {

// Problems of the settings file, each shown to the user once.
struct SettingsProblems {
    std::mutex lock;
    std::set<QString> seen;
    std::vector<QString> waiting;
    bool showing = false; ///< start-up is done: show at once on the main thread
};

SettingsProblems& Problems()
{
    static SettingsProblems* problems = new SettingsProblems;
    return *problems;
}

void ShowSettingsProblem(const QString& text)
{
    ShowMessage(nullptr, msgbox::Ok | msgbox::IconWarning, true, kPlainText, text);
}

} // namespace

void CollectSettingsProblems()
{
    platform::SetSettingsProblemHandler([](const QString& text) {
        SettingsProblems& p = Problems();
        {
            std::lock_guard l(p.lock);
            if (!p.seen.insert(text).second)
                return;
            // Before start-up is done the logger may not even exist yet.
            if (!p.showing || !platform::IsMainThread()) {
                p.waiting.push_back(text);
                return;
            }
        }
        ShowSettingsProblem(text);
    });
}

void ShowSettingsProblems()
{
    std::vector<QString> texts;
    {
        SettingsProblems& p = Problems();
        std::lock_guard l(p.lock);
        p.showing = true;
        if (!platform::IsMainThread())
            return;
        texts.swap(p.waiting);
    }
    for (const QString& text : texts)
        ShowSettingsProblem(text);
}

void ForgetSettingsProblems()
{
    SettingsProblems& p = Problems();
    std::lock_guard l(p.lock);
    p.seen.clear();
    p.waiting.clear();
    p.showing = false;
}

GlobalConfigurations& GetGlobalConfigurations()
{
    // Never destroyed: code that runs at exit may still read a setting.
    static GlobalConfigurations* instance = new GlobalConfigurations;
    return *instance;
}
