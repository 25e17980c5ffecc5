#pragma once
// Application: the program's one application object. It runs the start-up
// sequence (shared resources, profile version, the configuration named on the
// command line, one running instance per configuration, the document, the
// main window and its panel), answers the Help menu and runs the shutdown.
// Everything runs on the user-interface thread; QApplication's event loop is
// used unchanged (main.cpp builds it and calls exec between InitInstance and
// ExitInstance).

#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>

class CAboutDlg;
class PopupBase;
class View;
class Document;
class Frame;
class GlobalStyle;
class MidiBackend;
class QLockFile;
class QtMessagePresenter;
struct DataLocations;

class Application {
public:
    /// Exit codes of the program.
    enum ExitCode : int {
        ExitOk = 0,
        /// The configuration is already open in another running instance.
        ExitAlreadyRunning = 3,
        /// The document or the main window could not be made.
        ExitNoDocument = 4,
    };

    /// What a run may be given in place of the real world (tests).
    struct Options {
        /// The MIDI back end of both port pairs; null: the process default.
        std::shared_ptr<MidiBackend> backend;
        /// Where the data folder and the program's files are; unset: the defaults.
        std::shared_ptr<DataLocations> locations;
        /// Opens a web address or a file in the desktop's viewer; unset: QDesktopServices.
        std::function<bool(const QUrl&)> openUrl;
        /// The folder the program file lies in; empty: QCoreApplication::applicationDirPath.
        QString programFolder;
        /// The message presenter to install; null: a QtMessagePresenter showing real boxes.
        bool installMessagePresenter = true;
        /// Called with the document right after it is made, before its ports open
        /// (tests substitute the device dialog there).
        std::function<void(Document&)> onDocumentCreated;
        /// Show the main window at the end of start-up.
        bool showMainWindow = true;
        /// Runs the About box in place of its modal loop (tests); unset: exec.
        std::function<void(CAboutDlg&)> runAboutBox;
        /// Makes the panel's editor popups (the editors live in a layer above
        /// the shell); unset: the panel has no editors.
        std::function<std::unique_ptr<PopupBase>(int slot, View& view)> editorFactory;
    };

    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void SetOptions(Options options) { m_options = std::move(options); }

    /// The start-up sequence for the whole command line (the arguments after
    /// the program's own, joined by single blanks). False ends the program
    /// with ExitCode().
    bool InitInstance(const QString& commandLine);
    /// The shutdown sequence: the main window and the document go, the shared
    /// documents are saved (only by an instance that started), the instance
    /// lock is let go. Returns the program's exit code.
    int ExitInstance();
    /// The exit code start-up ended with (ExitOk while it has not failed).
    int ExitCode() const { return m_exitCode; }

    /// Reads the profile version and mends the profile of an older version;
    /// returns the version now stored.
    static std::uint32_t CheckProfileVersion();

    /// The name of the instance lock file of a configuration: the
    /// configuration name percent-encoded, so any name gives one plain file name.
    static QString InstanceLockName(const QString& configuration);
    /// The folder that holds the instance locks.
    static QString InstanceLockFolder();

    /// The help index: "tabrine.html" beside the program when it is there,
    /// else in "../help/" of the program folder (which is not checked). Empty
    /// when programFolder is empty.
    static QString HelpFilePath(const QString& programFolder);
    /// The maker's home page.
    static QUrl WebSiteUrl();

    // The Help menu's commands.
    void OnHelp();
    void OnWebSite();
    void OnReadMe();
    /// The About box, about the document's module.
    void OnAppAbout();
    /// Whether the About box can be shown in this build.
    static bool HasAboutBox();

    Document* GetDocument() const { return m_document.get(); }
    Frame* GetMainWindow() const { return m_frame.get(); }
    GlobalStyle* GetResources() const { return m_resources.get(); }
    /// True while this run holds its configuration's instance lock.
    bool HoldsInstanceLock() const;

private:
    bool OpenUrl(const QUrl& url);

    Options m_options;
    std::unique_ptr<QLockFile> m_instanceLock;
    std::unique_ptr<GlobalStyle> m_resources;
    std::shared_ptr<QtMessagePresenter> m_presenter;
    std::unique_ptr<Document> m_document;
    std::unique_ptr<Frame> m_frame;
    bool m_started = false;
    int m_exitCode = ExitOk;
};

/// The program's application object (null in programs without one).
Application* TheApp();
/// Marks app as the program's application object (main.cpp's global).
void SetTheApp(Application* app);

/// Builds the process-wide objects every part of the program relies on, in
/// their fixed order after the application object: the settings of the
/// "Settings" configuration, the start-up logger (which deletes the previous
/// run's log file), the trigger sets and the value-name lists. main.cpp calls
/// it once, right after the QApplication exists (file locations need it).
void BuildStartupGlobals();
