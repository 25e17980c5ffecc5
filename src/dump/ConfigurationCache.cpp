// The configuration cache file: where it lives, how it is built from the
// module and how a connection reads it back.
#include "dump/ConfigurationCache.h"

#include "dump/ParameterElements.h"
#include "dump/RomDataCache.h"

#include "core/Format.h"
#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "core/XMLDocument.h"
#include "dump/ConfigurationCache.h"
#include "module/Capabilities.h"
#include "module/StackedProgress.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <vector>

namespace {

constexpr char16_t kTestUiText[] = u"Tabrine is being run in TestUI mode and has no cache configuration file.\r\n";
constexpr char16_t kFirstRunText[] =
    u"This is the first time Tabrine has been run under this configuration.\r\nTo start, we need to download the "
    u"current ROM configuration for your module.\r\nThis operation will take a few minutes to complete, but will "
    u"speed startup in future.\r\n";
constexpr char16_t kRomsChangedText[] =
    u"It appears that the current set of ROMs in your module has changed \r\nsince you created the configuration "
    u"file. If you configuration file \r\ndoes not match the ROMs installed you will see strange effects such "
    u"\r\nas missing instrument and preset names. It is best to update the \r\ninitialisation file. However, this "
    u"operation will take a few minutes \r\nto complete. Do you wish to recreate the file?\r\n";

/// The object kinds in the order their lists appear under a SIMM element.
constexpr std::array<int, 6> kKinds = {OBJECT_PRESET, OBJECT_INSTRUMENT, OBJECT_ARP,
                                       OBJECT_SETUP,  OBJECT_DEMO,       OBJECT_RIFF};

QString Text(const char16_t* text)
{
    return QString::fromUtf16(text);
}

/// The locations the data folder and the program's files are taken from.
DataLocations Locations()
{
    GlobalResources* resources = TheGlobalResources();
    return resources ? resources->GetDataLocations() : DataLocations::Default();
}

/// An attribute written as a decimal integer; false when it is missing or
/// holds anything else, so a damaged element is never read as zeros.
bool ReadIntAttribute(const XMLElement& element, const char16_t* name, int& out)
{
    bool ok = false;
    const int value = element.GetAttribute(QStringView(name)).trimmed().toInt(&ok);
    if (ok)
        out = value;
    return ok;
}

/// "Failed to convert PRESET names in configuration document" and its kin.
QString ConvertNamesFailure(int kind)
{
    return Format(u"Failed to convert %s names in configuration document", cachedoc::ObjectElementName(kind));
}

} // namespace

QString cachedoc::ObjectElementName(int kind)
{
    switch (kind) {
    case OBJECT_PRESET: return QStringLiteral("PRESET");
    case OBJECT_INSTRUMENT: return QStringLiteral("INSTRUMENT");
    case OBJECT_ARP: return QStringLiteral("ARP");
    case OBJECT_SETUP: return QStringLiteral("SETUP");
    case OBJECT_DEMO: return QStringLiteral("DEMO");
    case OBJECT_RIFF: return QStringLiteral("RIFF");
    default: return QString();
    }
}

QString GetConfigurationCacheFileName()
{
    const QString name = GetGlobalConfigurations().GetString(ConfigFile);
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') || name == u"." || name == u".."
        || name.contains(QChar(0))) {
        TLOG(kLogError, u"The ConfigFile setting \"%s\" is not a file name; using \"%s\"", name, kDefaultConfigurationFile);
        return Text(kDefaultConfigurationFile);
    }
    return name;
}

QString GetProgramConfigurationPath()
{
    const QString folder = Locations().programFolder;
    return folder.isEmpty() ? QString() : folder + u'/' + GetConfigurationCacheFileName();
}

// ---- location --------------------------------------------------------------------------

QString ConfigurationCacheFile::GetCacheConfigurationPath()
{
    const QString fileName = GetConfigurationCacheFileName();
    const DataLocations locations = Locations();
    if (locations.documentsFolder.isEmpty())
        return GetProgramConfigurationPath();

    QString path;
    if (GlobalResources* resources = TheGlobalResources()) {
        path = resources->GetDataFilePath(true, fileName);
    } else {
        const QString folder = locations.documentsFolder + u'/' + Text(kDataFolderName);
        QDir().mkpath(folder); // a folder that cannot be made shows as a failed save
        path = folder + u'/' + fileName;
    }
    if (path.isEmpty())
        return GetProgramConfigurationPath();
    if (QFileInfo::exists(path))
        return path;

    // The user has no copy yet: one supplied with the program seeds it.
    QStringList sources;
    const QString programCopy = GetProgramConfigurationPath();
    if (!programCopy.isEmpty())
        sources << programCopy;
    for (const QString& folder : locations.installedDataFolders)
        sources << folder + u'/' + fileName;
    for (const QString& source : sources) {
        QFile in(source);
        if (!QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = in.readAll();
        // Written whole as a new file of the user's, so it is writable
        // whatever the shipped copy's permissions were.
        const platform::FileWriteResult written = platform::WriteFileWhole(path, bytes);
        if (written)
            TLOG(kLogNotice, u"Configuration cache %s copied from %s", path, source);
        else
            TLOG(kLogError, u"Failed to copy the configuration cache %s to %s: %s", source, path, written.reason);
        break;
    }
    return path;
}

int ConfigurationCacheFile::GetSimmChecksum() const
{
    std::uint32_t sum = 0; // wraps as a 32-bit integer would
    for (const auto& entry : m_data.simmMap)
        sum += std::uint32_t(entry.first);
    return int(sum);
}

// ---- names under one SIMM element --------------------------------------------------------

bool ConfigurationCacheFile::WriteObjectNames(const TPtr<_SimmData>& simm, int kind, XMLElement& simmElement,
                               QStringView elementName)
{
    XMLDocument document = simmElement.GetOwnerDocument();
    if (document.IsNull())
        return false;
    XMLElement list = document.CreateElement(elementName.toString() + u'S');
    if (list.IsNull() || !simmElement.AppendChild(list))
        return false;
    const int count = simm ? simm->GetCount(ObjectKind(kind)) : 0;
    for (int index = 0; index < count; ++index) {
        XMLElement item = document.CreateElement(elementName);
        if (item.IsNull())
            return false;
        item.SetAttribute(cachedoc::kSimmId, index);
        item.SetText(simm->GetName(ObjectKind(kind), index));
        list.AppendChild(item);
    }
    return true;
}

int ConfigurationCacheFile::CountObjectElements(const XMLElement& simmElement, QStringView elementName)
{
    const XMLNode list = simmElement.SelectSingleNode(Format(u"./%sS", elementName));
    if (list.IsNull())
        return 0;
    std::vector<XMLNode> items;
    list.SelectNodes(Format(u"./%s", elementName), items);
    return int(items.size());
}

bool ConfigurationCacheFile::ReadObjectNames(const TPtr<_SimmData>& simm, int kind, const XMLElement& simmElement,
                              QStringView elementName)
{
    const XMLNode list = simmElement.SelectSingleNode(Format(u"./%sS", elementName));
    if (list.IsNull() || !simm)
        return true;
    std::vector<XMLNode> items;
    list.SelectNodes(Format(u"./%s", elementName), items);
    for (const XMLNode& node : items) {
        const XMLElement item(node);
        int index = 0;
        if (!ReadIntAttribute(item, cachedoc::kSimmId, index)) {
            // Without its index the name belongs nowhere; it must not land on object 0.
            TLOG(kLogError, u"Ignoring a %s name without an index in the configuration cache", elementName);
            continue;
        }
        QString name = item.GetText();
        while (!name.isEmpty() && name.back().isSpace())
            name.chop(1);
        simm->SetName(ObjectKind(kind), index, name);
    }
    return true;
}

// ---- building --------------------------------------------------------------------------

bool ConfigurationCacheFile::CreateCacheConfiguration()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::CreateCacheConfiguration");
    m_state.cacheLeftUnwritten = false;
    if (!RomDataCache(m_link).LoadAllSimmNames())
        return false;

    // A count the module did not answer was taken as 0: a file written now
    // would lack those names for good, and the checksum would keep it.
    QStringList unanswered;
    for (const SimmSlot& slot : m_data.hardwareConfig.GetSimms())
        for (const auto& [simmId, kind] : m_state.unansweredCounts)
            if (slot.simmId != 0 && simmId == slot.simmId)
                unanswered << Format(u"%s of %s", ObjectKindName(kind), m_data.GetSimmName(simmId));
    if (!unanswered.isEmpty()) {
        TLOG(kLogError, u"The configuration cache is not written: the module did not answer the count of %s",
             unanswered.join(QStringLiteral(", ")));
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kPlainText,
                    Format(u"The module did not answer while its objects were counted (%s), so some names are "
                           u"missing. The configuration cache has not been saved; it will be built again at the "
                           u"next connection.",
                           unanswered.join(QStringLiteral(", "))));
        m_state.cacheLeftUnwritten = true;
        return true;
    }

    XMLDocument document;
    if (!document.Create())
        return document.ReportError(u"Failed to create cache configuration document", -2);
    if (!document.LoadXML(cachedoc::kDocumentText))
        return document.ReportError(u"Failed to load cache configuration document", -2);
    XMLElement root = document.GetDocumentElement();
    if (root.IsNull())
        return document.ReportError(u"Failed to get root of configuration document", -2);
    XMLElement simms = document.CreateElement(cachedoc::kSimms);
    if (simms.IsNull())
        return document.ReportError(u"Failed to get SIMMS element of configuration document", -2);
    if (!root.AppendChild(simms))
        return document.ReportError(u"Failed to append SIMMS element of configuration document", -2);

    int slotCount = 0;
    std::array<SimmSlot, HardwareConfig::kMaxSimms> simmSlots{};
    if (m_state.connecting && m_state.simmsReadByConnect) {
        // This connect has just read the configuration: the module is not asked twice.
        for (const SimmSlot& slot : m_data.hardwareConfig.GetSimms())
            simmSlots[size_t(slotCount++)] = slot;
    } else if (!m_link.GetHardwareConfiguration(slotCount, simmSlots)) {
        return false;
    }
    const bool arps = m_link.HasCapability(CAP_ARPS_AND_BEATS);
    for (int i = 0; i < slotCount && i < int(simmSlots.size()); ++i) {
        m_link.NotifyWaiting();
        const int simmId = simmSlots[i].simmId;
        const auto found = m_data.simmMap.find(simmId);
        if (found == m_data.simmMap.end() || simmId == 0)
            continue;
        XMLElement simm = document.CreateElement(cachedoc::kSimm);
        if (simm.IsNull())
            return document.ReportError(u"Failed to create SIMM element of configuration document", -2);
        if (!simm.SetAttribute(cachedoc::kSimmId, simmId))
            return document.ReportError(u"Failed to set SIMM attribute of configuration document", -2);
        for (int kind : kKinds) {
            if (kind == OBJECT_ARP && !arps)
                continue;
            if (!WriteObjectNames(found->second, kind, simm, cachedoc::ObjectElementName(kind)))
                return document.ReportError(ConvertNamesFailure(kind), -2);
        }
        if (!simms.AppendChild(simm))
            return document.ReportError(u"Failed to append SIMM element of configuration document", -2);
    }

    XMLElement parameters = document.CreateElement(cachedoc::kParameters);
    if (parameters.IsNull())
        return document.ReportError(u"Failed to create PARAMETERS element in configuration document", -2);
    // Only the ranges the module gave: a record it never answered holds no
    // range worth keeping, and leaving it out makes the next connection ask.
    // A parameter this module does not have was never asked: it is left out
    // without counting as unanswered.
    ParameterCache answered;
    int unansweredRanges = 0;
    for (const auto& [id, record] : m_data.AllParameters) {
        if (m_link.IsRangeKnown(id))
            answered.InsertOrOverwrite(record);
        else if (m_link.ModuleHasParameter(id))
            ++unansweredRanges;
    }
    if (unansweredRanges > 0)
        TLOG(kLogError, u"%d parameter ranges were not answered and are left out of the configuration cache",
             unansweredRanges);
    if (!ParameterElements(m_link).WriteParameterElements(answered, parameters, true))
        return document.ReportError(u"Failed to convert PARAMETERS in configuration document", -2);
    if (!root.AppendChild(parameters))
        return document.ReportError(u"Failed to append PARAMETERS in configuration document", -2);

    const QString path = GetCacheConfigurationPath();
    QString reason = QStringLiteral("no place for it");
    if (path.isEmpty() || !document.Save(path, &reason)) {
        TLOG(kLogError, u"The configuration cache could not be written to \"%s\": %s", path, reason);
        return document.ReportError(Format(u"Failed to save configuration document %s: %s", path, reason), -2);
    }
    GetGlobalConfigurations().SetDword(ROMHash, std::uint32_t(GetSimmChecksum()));
    return true;
}

// ---- reading ----------------------------------------------------------------------------

bool ConfigurationCacheFile::RebuildUnreadableCache(const QString& path, const QString& problem)
{
    // The build replaces the file; whatever the user had in it is kept aside
    // first. The message says so before the details, which may be long (the
    // parse error quotes the line) and messages are cut at 4095 characters.
    const QString kept = path + QStringLiteral(".bad");
    QString reason;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        reason = in.errorString();
    } else {
        const QByteArray bytes = in.readAll();
        if (in.error() != QFileDevice::NoError)
            reason = in.errorString();
        else if (const platform::FileWriteResult written = platform::WriteFileWhole(kept, bytes); !written)
            reason = written.reason;
    }
    if (!reason.isEmpty()) {
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kPlainText,
                    Format(u"The configuration cache %s cannot be used, and it could not be kept as %s (%s). It has "
                           u"been left as it is; move it away and connect again to rebuild it.\r\n\r\n%s",
                           path, kept, reason, problem));
        return false;
    }
    ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kPlainText,
                Format(u"The configuration cache %s cannot be used. It has been kept as %s, and a new one will now "
                       u"be built from the module. This may take some time!\r\n\r\n%s",
                       path, kept, problem));
    TLOG(kLogNotice, u"Building defaults file");
    return CreateCacheConfiguration();
}

bool ConfigurationCacheFile::LoadCacheConfiguration()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::LoadCacheConfiguration");
    GlobalConfigurations& settings = GetGlobalConfigurations();
    const QString path = GetCacheConfigurationPath();

    bool built = false;
    bool declined = false;
    if (!QFileInfo::exists(path)) {
        if (settings.GetBool(TestUI)) {
            ShowMessageWith(Presenter(), nullptr, msgbox::Ok, false, kPlainText, Text(kTestUiText));
            return true;
        }
        ShowMessageWith(Presenter(), nullptr, msgbox::Ok, false, kPlainText, Text(kFirstRunText));
        if (!CreateCacheConfiguration())
            return false;
        if (m_state.cacheLeftUnwritten)
            return true; // the names of this connection came from the module
        built = true;
    } else if (std::uint32_t(GetSimmChecksum()) != settings.GetDword(ROMHash)) {
        // No keeps the file, and the question comes again next time: the
        // checksum is stored only by a build.
        if (ShowMessageWith(Presenter(), nullptr, msgbox::YesNo, false, kPlainText, Text(kRomsChangedText)) == msgbox::IdYes) {
            if (!CreateCacheConfiguration())
                return false;
            if (m_state.cacheLeftUnwritten)
                return true;
            built = true;
        } else {
            declined = true;
        }
    }

    XMLDocument document;
    if (!document.Create())
        return document.ReportError(u"Failed to create configuration document", -2);

    // A file that cannot be read or lacks its parts is found out before
    // anything is taken from it, so a bad file changes nothing held.
    QString problem;
    XMLElement root;
    XMLElement simms;
    XMLElement parameters;
    if (!document.Load(path)) {
        problem = document.ErrorMessage(u"Failed to load configuration document");
    } else if ((root = document.GetDocumentElement()).IsNull()) {
        problem = Text(u"Failed to get root element of configuration document");
    } else if ((simms = root.SelectSingleNode(u"./SIMMS")).IsNull()) {
        problem = Text(u"Failed to select SIMMS element of configuration document");
    } else if ((parameters = root.SelectSingleNode(u"./PARAMETERS")).IsNull()) {
        problem = Text(u"Failed to create PARAMETERS in configuration document");
    }
    if (!problem.isEmpty()) {
        if (built) {
            // What was just written does not read back: no second build.
            ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kPlainText, problem);
            return false;
        }
        return RebuildUnreadableCache(path, problem);
    }

    std::vector<XMLNode> simmNodes;
    if (!simms.SelectNodes(u"./SIMM", simmNodes))
        return document.ReportError(u"Failed to get SIMMS children of configuration document", -2);
    const bool testUi = settings.GetBool(TestUI);
    const bool arps = m_link.HasCapability(CAP_ARPS_AND_BEATS);

    // The checksum is a plain sum: another set of ROMs can share it. The file
    // must hold every installed ROM, with as many names of each kind as the
    // ROM has; one written without some of them would otherwise stay so.
    if (!built && !declined && !testUi) {
        QStringList lacking;
        for (const SimmSlot& slot : m_data.hardwareConfig.GetSimms()) {
            const auto found = m_data.simmMap.find(slot.simmId);
            if (slot.simmId == 0 || found == m_data.simmMap.end())
                continue;
            XMLElement element;
            for (const XMLNode& node : simmNodes) {
                int simmId = 0;
                if (node.GetNodeType() == XMLNodeElement && ReadIntAttribute(XMLElement(node), cachedoc::kSimmId, simmId)
                    && simmId == slot.simmId) {
                    element = XMLElement(node);
                    break;
                }
            }
            if (element.IsNull()) {
                lacking << m_data.GetSimmName(slot.simmId);
                continue;
            }
            for (int kind : kKinds) {
                if (kind == OBJECT_ARP && !arps)
                    continue;
                const int have = CountObjectElements(element, cachedoc::ObjectElementName(kind));
                if (have < found->second->GetCount(ObjectKind(kind)))
                    lacking << Format(u"%s names of %s", ObjectKindName(kind), m_data.GetSimmName(slot.simmId));
            }
        }
        if (!lacking.isEmpty()) {
            TLOG(kLogNotice, u"The configuration cache lacks %s; building it again", lacking.join(QStringLiteral(", ")));
            ShowMessageWith(Presenter(), nullptr, msgbox::Ok, false, kPlainText,
                        Format(u"The configuration cache does not hold every name of the ROMs in your module "
                               u"(%s is missing). It will now be built again from the module. This may take some "
                               u"time!",
                               lacking.join(QStringLiteral(", "))));
            // The build loads every name and range of this connection.
            return CreateCacheConfiguration();
        }
    }

    for (const XMLNode& node : simmNodes) {
        m_link.NotifyWaiting();
        if (node.GetNodeType() != XMLNodeElement)
            return document.ReportError(u"Failed to get SIMM element of configuration document", -2);
        const XMLElement simmElement(node);
        int simmId = 0;
        if (!ReadIntAttribute(simmElement, cachedoc::kSimmId, simmId) || simmId <= 0) {
            // The user bank is never cached, and a SIMM without an id is no SIMM.
            TLOG(kLogError, u"Ignoring a SIMM element with SIMM_ID \"%s\" in the configuration cache",
                 simmElement.GetAttribute(cachedoc::kSimmId));
            continue;
        }
        std::array<int, 6> counts{};
        for (std::size_t k = 0; k < kKinds.size(); ++k) {
            const int kind = kKinds[k];
            counts[k] = kind == OBJECT_ARP && !arps
                            ? 0
                            : CountObjectElements(simmElement, cachedoc::ObjectElementName(kind));
        }
        auto found = m_data.simmMap.find(simmId);
        if (found == m_data.simmMap.end()) {
            if (!testUi)
                continue; // a ROM that is not installed
            // Without a module the file says which ROMs there are.
            TPtr<_SimmData> data(new _SimmData(simmId, counts[0], counts[1], counts[2], counts[3], counts[4],
                                               counts[5], 1));
            m_data.AddSimmData(data);
            SimmSlot slot;
            slot.simmId = simmId;
            slot.presets = counts[0];
            slot.instruments = counts[1];
            slot.arps = counts[2];
            slot.setups = counts[3];
            slot.demos = counts[4];
            slot.riffs = counts[5];
            slot.flag = 1;
            m_data.hardwareConfig.AddSimm(slot);
            found = m_data.simmMap.find(simmId);
        }
        for (std::size_t k = 0; k < kKinds.size(); ++k) {
            const int kind = kKinds[k];
            if (counts[k] == 0)
                continue;
            if (!ReadObjectNames(found->second, kind, simmElement, cachedoc::ObjectElementName(kind)))
                return document.ReportError(ConvertNamesFailure(kind), -2);
        }
    }

    StackedProgress progress(&m_link, false, 0, m_data.AllParameters.Count(), u"");
    if (!ParameterElements(m_link).ReadParameterElements(progress, nullptr, m_data.AllParameters, parameters, true))
        return document.ReportError(u"Failed to convert PARAMETERS in configuration document", -2);
    return true;
}
