#pragma once
// The program's shared data resources: the per-user data folder and the four
// shared XML documents (Tooltips, Keymaps, Mappings, Names) with the setup
// names kept in the settings store. Headless: the module, dump and file code
// use it without Qt Gui. The colours, skin and drawing operations live in
// GlobalStyle (core/resources/GlobalStyle.h), which derives from this class;
// the application owns exactly one of them.
//
// The documents are loaded by Initialise, changed in memory only, and written
// by Shutdown, each only when it was changed, whole or not at all. Two
// configurations may run at once and share the documents: the save takes the
// document's lock file, and when another run wrote the file since this one
// read it, its content is read again and this run's own changes are made
// again on it, so neither run's edits are lost. Every
// look-up works (and answers "nothing found") when a document is missing or
// failed to load; a document without a root element is reported once a run.
//
// Entry point for other subsystems: TheGlobalResources() (null before the
// application builds its resources, and in tests that build none).

#include "core/ObjectKind.h"
#include "core/XMLDocument.h"

#include <QString>
#include <QStringList>

#include <QByteArray>

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <vector>

/// One key range of a ROM instrument's key map: the keys low to high
/// (inclusive) play the sample named text.
struct KeyRange {
    int low = 0;
    int high = 0;
    QString text;
    bool operator==(const KeyRange&) const = default;
};

/// Where the data folder and the files that ship with the program are found.
struct DataLocations {
    QString documentsFolder;          ///< the user's Documents folder; empty: none
    QString programFolder;            ///< the folder that holds the program file
    QStringList installedDataFolders; ///< searched last when reading
    /// Documents from QStandardPaths, the application's folder, and the
    /// "tabrine" folders of the system's data directories.
    static DataLocations Default();
};

/// The four shared documents, in load and save order.
enum class SharedDocument { Tooltips = 0, Keymaps = 1, Mappings = 2, Names = 3 };

/// "Tabrine": the data folder's name inside the Documents folder.
inline constexpr char16_t kDataFolderName[] = u"Tabrine";

class GlobalResources {
public:
    GlobalResources();
    virtual ~GlobalResources();
    GlobalResources(const GlobalResources&) = delete;
    GlobalResources& operator=(const GlobalResources&) = delete;

    /// Start-up: writes the settings description file when the stored version
    /// is older than the program's, then loads the four documents.
    virtual void Initialise();
    /// Exit: saves the changed documents and closes all four.
    virtual void Shutdown();

    // ------------------------------------------------------------ data folder

    /// Replaces the locations (tests). Without it, DataLocations::Default at
    /// the first path request (the application object exists by then).
    void SetDataLocations(const DataLocations& locations) { m_locations = locations; }
    const DataLocations& GetDataLocations();

    /// The path to use for fileName. Writing: always in the data folder (made
    /// when missing); empty when there is no Documents folder. Reading: the
    /// data folder's copy when it exists, else the first that exists of the
    /// program folder, its parent, the parent's "Install" folder and the
    /// installed data folders; empty when none has it. An empty fileName for
    /// writing gives the data folder with a trailing separator.
    QString GetDataFilePath(bool forWrite, const QString& fileName);
    /// Writes the folder's shell decoration when it is missing (Windows only:
    /// Desktop.ini; other systems have nothing that reads it). Never rewrites.
    void DecorateDataFolder(const QString& folder);
    /// The text of Desktop.ini with its info tip (string 145).
    static QString DesktopIniText();

    /// Loads the four documents (the step of Initialise); see the class comment.
    void LoadDocuments();
    /// Saves each changed document and closes all four (the step of Shutdown).
    void SaveDocuments();

    /// True when the document was changed since it was loaded.
    bool IsChanged(SharedDocument which) const { return Shared(which).changed; }
    /// The document itself (null when it could not be created or after Shutdown).
    const XMLDocument& Document(SharedDocument which) const { return Shared(which).document; }

    // ------------------------------------------------------------ Tooltips

    /// The tooltip of a control: the string-table text tipId, or with the
    /// setting EnableTooltips at 2 the user's long text when one is stored.
    /// Line ends come back as "\r\n".
    QString GetTooltipText(unsigned tipId);
    /// Stores the long text of a control; nothing changes when the text equals
    /// the one GetTooltipText gives (line ends compared as "\r\n").
    void SetTooltipText(unsigned tipId, const QString& text);
    /// The user's note on one object; empty when there is none.
    QString GetObjectTooltip(ObjectKind kind, int simmId, int objectId);
    void SetObjectTooltip(ObjectKind kind, int simmId, int objectId, const QString& text);

    // ------------------------------------------------------------ Keymaps

    /// Appends the instrument's key ranges in document order (out is not
    /// cleared; a missing or non-numeric key counts as 0). True when the
    /// instrument was found, also without keys. Callers that keep a KeyMapData
    /// insert the ranges into it, which orders them by low key.
    bool GetKeyMap(int simmId, int instrumentId, std::vector<KeyRange>& out);
    /// Logs every inconsistency of the Keymaps document as a warning.
    void ValidateKeymaps();

    // ------------------------------------------------------------ Mappings

    /// Adds the object-wide text mappings of a configuration (device) and
    /// object kind to out; the first of two equal IDs wins. Always true.
    bool GetObjectMappings(const QString& device, const QString& objectKind, std::map<QString, QString>& out);
    /// The same for the mappings of one SIMM. Always true.
    bool GetSimmMappings(const QString& device, const QString& objectKind, int simmId, std::map<QString, QString>& out);
    /// The user's explicit name for one object; false (out unchanged) when none.
    bool GetMappedObjectName(const QString& device, const QString& objectKind, int simmId, int index, QString& out);
    /// Adds the controller names of a configuration; true when the device has
    /// a CONTROLLERS element.
    bool GetControllerNames(const QString& device, std::map<QString, QString>& out);
    /// The whole Mappings document as text; the empty default without a document.
    QString GetMappingsXML() const;
    /// Replaces the Mappings document by text and marks it changed. Text that
    /// does not parse is reported and changes nothing; false then.
    bool SetMappingsXML(const QString& text);

    // ------------------------------------------------------------ Names

    /// Adds the user's names for the values of one value-name list (keyed by
    /// the list's tag) to out, the first of two equal values winning. False
    /// when there is no such list (or no document). This is the look-up the
    /// value-name lists overlay on their built-in names.
    bool GetFunctionNames(const QString& function, std::map<int, QString>& out);
    /// Stores one name, its line ends as "\n" (as a reload gives them back);
    /// nothing changes when it is already stored. False only
    /// when an element could not be built into the document.
    bool SetFunctionName(const QString& function, int id, const QString& name);

    // ------------------------------------------------------------ setup names

    /// Stores the name of one setup under the current configuration's
    /// "Setups" key; the store is not touched when the name is already there.
    bool SetSetupName(int setup, const QString& name);
    /// Adds every stored setup name; always true.
    bool GetSetupNames(std::map<int, QString>& out);

private:
    struct SharedDoc {
        XMLDocument document;
        bool changed = false;
        bool rootReported = false;
        /// The file's bytes as this run read them (empty when it read none).
        QByteArray loadedBytes;
        /// This run's changes, in order, to be made again on a newer file.
        std::vector<std::function<void()>> journal;
    };

    /// Keeps a change of which for a save that has to make it again.
    void Journal(SharedDocument which, std::function<void()> change);
    /// Under the document's lock: when the file at path differs from what was
    /// read, reads it and makes this run's changes again on it.
    void TakeNewerFile(SharedDoc& d, const QString& path);

    SharedDoc& Shared(SharedDocument which) { return m_documents[static_cast<int>(which)]; }
    const SharedDoc& Shared(SharedDocument which) const { return m_documents[static_cast<int>(which)]; }
    /// The root element, or null; a missing root is reported once a run.
    XMLElement RootOf(SharedDocument which);
    /// The Mappings document's SIMM entry of a device and object kind; null when any step is missing.
    XMLElement FindMappedSimm(const QString& device, const QString& objectKind, int simmId);
    void WriteDescriptionFile();

    std::optional<DataLocations> m_locations;
    std::array<SharedDoc, 4> m_documents;
    bool m_replaying = false;
};

/// The application's resources; null when none exist.
GlobalResources* TheGlobalResources();
