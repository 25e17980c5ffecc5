#include "core/GlobalResources.h"

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

GlobalResources* g_current = nullptr;

struct DocumentInfo {
    const char16_t* fileName;
    const char16_t* defaultText;
    const char16_t* createFailed;
    const char16_t* loadFailed;
    const char16_t* defaultFailed;
    const char16_t* saveFailed;
    const char16_t* rootMissing;
};

// In SharedDocument order.
const DocumentInfo kDocuments[4] = {
    {u"Tooltips.xml", u"<?xml version='1.0' ?><Proteus></Proteus>", u"Failed to create TOOLTIPS document",
     u"Failed to load TOOLTIPS document", u"Failed to load default TOOLTIPS document", u"Failed to save TOOLTIPS document",
     u"Failed to get root element of TOOLTIPS document"},
    {u"Keymaps.xml", u"<?xml version='1.0' ?><KeyMaps></KeyMaps>", u"Failed to create KEYMAP document",
     u"Failed to load KEYMAP document", u"Failed to load default KEYMAP document", u"Failed to save KEYMAPS document",
     u"Failed to get root element of KEYMAPS document"},
    {u"Mappings.xml", u"<?xml version='1.0' ?><Mappings></Mappings>", u"Failed to create MAPPINGS document",
     u"Failed to load MAPPINGS document", u"Failed to load default MAPPINGS document", u"Failed to save MAPPINGS document",
     u"Failed to get root element of MAPPINGS document"},
    {u"Names.xml", u"<?xml version='1.0' ?><Proteus></Proteus>", u"Failed to create NAMES document",
     u"Failed to load NAMES document", u"Failed to load default NAMES document", u"Failed to save NAMES document",
     u"Failed to get root element of NAMES document"},
};

QString Text(const char16_t* s)
{
    return QString::fromUtf16(s);
}

QString ParentFolder(const QString& folder)
{
    const QString clean = QDir::cleanPath(folder);
    const qsizetype cut = clean.lastIndexOf(u'/');
    return cut <= 0 ? QString() : clean.left(cut);
}

} // namespace

GlobalResources* TheGlobalResources()
{
    return g_current;
}

DataLocations DataLocations::Default()
{
    DataLocations l;
    l.documentsFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (QCoreApplication::instance())
        l.programFolder = QCoreApplication::applicationDirPath();
    for (const QString& dir : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        l.installedDataFolders << dir + QStringLiteral("/tabrine");
#ifdef TABRINE_INSTALL_DATADIR
    const QString installed = QStringLiteral(TABRINE_INSTALL_DATADIR);
    if (!l.installedDataFolders.contains(installed))
        l.installedDataFolders << installed;
#endif
    return l;
}

GlobalResources::GlobalResources()
{
    g_current = this;
}

GlobalResources::~GlobalResources()
{
    if (g_current == this)
        g_current = nullptr;
}

void GlobalResources::Initialise()
{
    WriteDescriptionFile();
    LoadDocuments();
}

void GlobalResources::Shutdown()
{
    SaveDocuments();
}

void GlobalResources::WriteDescriptionFile()
{
    GlobalConfigurations& settings = GetGlobalConfigurations();
    if (settings.GetDword(ConfigDescription) >= kProfileVersion)
        return;
    // The version is stored only once the file is written, so a run that
    // cannot write it tries again next time.
    const QString path = GetDataFilePath(true, QStringLiteral("Configurations.txt"));
    if (!path.isEmpty() && settings.WriteDescriptionFile(path))
        settings.SetDword(ConfigDescription, kProfileVersion);
}

const DataLocations& GlobalResources::GetDataLocations()
{
    if (!m_locations)
        m_locations = DataLocations::Default();
    return *m_locations;
}

QString GlobalResources::GetDataFilePath(bool forWrite, const QString& fileName)
{
    const DataLocations& locations = GetDataLocations();
    if (!locations.documentsFolder.isEmpty()) {
        const QString folder = locations.documentsFolder + u'/' + Text(kDataFolderName);
        QDir().mkpath(folder); // failure shows later as a failed write
        DecorateDataFolder(folder);
        const QString path = folder + u'/' + fileName;
        if (forWrite || QFileInfo::exists(path))
            return path;
    }
    if (forWrite)
        return QString();

    QStringList candidates;
    if (!locations.programFolder.isEmpty()) {
        candidates << locations.programFolder + u'/' + fileName;
        const QString parent = ParentFolder(locations.programFolder);
        if (!parent.isEmpty())
            candidates << parent + u'/' + fileName << parent + QStringLiteral("/Install/") + fileName;
    }
    for (const QString& dir : locations.installedDataFolders)
        candidates << dir + u'/' + fileName;
    for (const QString& candidate : candidates)
        if (!fileName.isEmpty() && QFileInfo::exists(candidate))
            return candidate;
    return QString();
}

QString GlobalResources::DesktopIniText()
{
    // The folder's tip: the string-table entry that says what the folder holds.
    constexpr unsigned kStringFolderTip = 145;
    return Format(u"[.ShellClassInfo]\r\nConfirmFileOp=0\r\nInfoTip=\"%s\"\r\nIconFile=IconFile.ico\r\nIconIndex=0\r\n",
                  LoadResourceString(kStringFolderTip));
}

void GlobalResources::DecorateDataFolder(const QString& folder)
{
#ifdef Q_OS_WIN
    // Explorer shows the folder with its tip from Desktop.ini; a user's own
    // copy is never rewritten.
    const QString ini = Format(u"%s\\Desktop.ini", folder);
    if (!QFileInfo::exists(ini)) {
        QSaveFile file(ini);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(DesktopIniText().toLocal8Bit());
            file.commit();
        }
    }
#else
    Q_UNUSED(folder);
#endif
}

void GlobalResources::LoadDocuments()
{
    for (int i = 0; i < 4; ++i) {
        const DocumentInfo& info = kDocuments[i];
        SharedDoc& d = m_documents[i];
        d.changed = false;
        d.rootReported = false;
        d.loadedBytes.clear();
        d.journal.clear();
        if (!d.document.Create()) {
            d.document.ReportError(Text(info.createFailed), -2);
            continue;
        }
        const QString path = GetDataFilePath(false, Text(info.fileName));
        if (!path.isEmpty()) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly))
                d.loadedBytes = file.readAll();
            // A file that fails to load is kept as it is: the document is not
            // marked changed, so it is not written over at exit.
            if (!d.document.Load(path))
                d.document.ReportError(Text(info.loadFailed), -2);
            continue;
        }
        if (!d.document.LoadXML(Text(info.defaultText)))
            d.document.ReportError(Text(info.defaultFailed), -2);
        // A new default document is written at exit so the user has a file to
        // edit, but never the Keymaps: nothing edits it, and an empty copy in
        // the data folder would hide the one that ships with the program.
        d.changed = static_cast<SharedDocument>(i) != SharedDocument::Keymaps;
    }
}

void GlobalResources::SaveDocuments()
{
    for (int i = 0; i < 4; ++i) {
        SharedDoc& d = m_documents[i];
        if (d.document.IsNull())
            continue;
        if (d.changed) {
            const QString path = GetDataFilePath(true, Text(kDocuments[i].fileName));
            if (!path.isEmpty()) {
                // Another configuration's run may save the same file: one at a time.
                QLockFile lock(path + QStringLiteral(".lock"));
                lock.setStaleLockTime(0);
                if (!lock.tryLock(10000))
                    TLOG(kLogError, u"%s is locked by another run of Tabrine; saving it anyway", path);
                TakeNewerFile(d, path);
                if (!d.document.Save(path))
                    d.document.ReportError(Text(kDocuments[i].saveFailed), -2);
            }
        }
        d.changed = false;
        d.journal.clear();
        d.document.Close();
    }
}

void GlobalResources::Journal(SharedDocument which, std::function<void()> change)
{
    if (!m_replaying)
        Shared(which).journal.push_back(std::move(change));
}

void GlobalResources::TakeNewerFile(SharedDoc& d, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytes == d.loadedBytes)
        return;
    // Read aside: a file that does not load leaves this run's document as it is.
    XMLDocument newer;
    if (!newer.Create() || !newer.Load(path))
        return;
    d.document = newer;
    d.rootReported = false;
    m_replaying = true;
    for (const auto& change : d.journal)
        change();
    m_replaying = false;
}

XMLElement GlobalResources::RootOf(SharedDocument which)
{
    SharedDoc& d = Shared(which);
    XMLElement root = d.document.GetDocumentElement();
    // One report a run: look-ups come in bursts (every tooltip, every value
    // list at start-up), and the load failure was already shown once.
    if (root.IsNull() && !d.rootReported) {
        d.rootReported = true;
        d.document.ReportError(Text(kDocuments[static_cast<int>(which)].rootMissing), -2);
    }
    return root;
}

QString GlobalResources::GetMappingsXML() const
{
    const XMLDocument& doc = Document(SharedDocument::Mappings);
    return doc.IsNull() ? Text(kDocuments[int(SharedDocument::Mappings)].defaultText) : doc.GetXML();
}

bool GlobalResources::SetMappingsXML(const QString& text)
{
    Journal(SharedDocument::Mappings, [this, text] { SetMappingsXML(text); });
    SharedDoc& d = Shared(SharedDocument::Mappings);
    if (d.document.IsNull())
        return false;
    // Parse aside first: text that does not parse must not empty the document
    // (it would be written at exit as an empty Mappings.xml).
    XMLDocument trial;
    trial.Create();
    if (!trial.LoadXML(text)) {
        trial.ReportError(u"Failed to load edited MAPPINGS document", -2);
        return false;
    }
    d.document.LoadXML(text);
    d.changed = true;
    d.rootReported = false;
    return true;
}
