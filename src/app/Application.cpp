#include "app/Application.h"

#include "app/AboutDlg.h"
#include "app/Document.h"
#include "app/Frame.h"
#include "app/QtMessagePresenter.h"
#include "app/View.h"
#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/MainWindowRepaint.h"
#include "core/MessageBox.h"
#include "core/RegistryKey.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "dump/LayerChooser.h"
#include "module/NameLists.h"
#include "module/TriggerSets.h"
#include "ui/framework/ChooseLayerDlg.h"
#include "ui/framework/CommandIds.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>

namespace {

// String-table entries: another instance runs; no help file.
constexpr unsigned kAlreadyRunning = 207;
constexpr unsigned kNoHelpFile = 230;

Application* g_theApp = nullptr;

/// The profile's version below which the configuration file setting is reset.
constexpr std::uint32_t kFirstConfigFileVersion = 0x10004;
/// What a missing or zero profile version counts as.
constexpr std::uint32_t kOldestProfileVersion = 0x10003;

constexpr char16_t kHelpFileName[] = u"tabrine.html";

QString ProfileKey(const QString& section)
{
    return QString::fromUtf16(kProgramRegistryKey) + u'\\' + section;
}

} // namespace

Application* TheApp()
{
    return g_theApp;
}

void SetTheApp(Application* app)
{
    g_theApp = app;
}

void BuildStartupGlobals()
{
    // Problems of the settings file found from here on are shown once the
    // configuration is open.
    CollectSettingsProblems();
    GetGlobalConfigurations();
    // The start-up logger deletes the previous run's log file before
    // anything of this run is logged.
    TheTmpLogStore();
    BuildTriggerSets();
    GetNameListByNumber(1);
}

Application::Application() = default;

Application::~Application()
{
    // A run that ended without its shutdown (an exception out of the event
    // loop) still lets go of its windows before the resources they use.
    m_frame.reset();
    m_document.reset();
    m_resources.reset();
    if (g_theApp == this)
        g_theApp = nullptr;
}

std::uint32_t Application::CheckProfileVersion()
{
    RegistryKey version(ProfileKey(QStringLiteral("Version")), true);
    std::uint32_t stored = version.ReadDword(QStringLiteral("Version"), 0);
    if (stored == 0)
        stored = kOldestProfileVersion;
    if (stored < kFirstConfigFileVersion) {
        RegistryKey settings(ProfileKey(QString::fromUtf16(kDefaultConfigurationName)), true);
        settings.WriteString(QStringLiteral("ConfigFile"), QString::fromUtf16(kDefaultConfigurationFile));
    }
    version.WriteDword(QStringLiteral("Version"), kProfileVersion);
    return kProfileVersion;
}

QString Application::InstanceLockName(const QString& configuration)
{
    // Percent-encoding leaves letters, digits and "-._~" as they are and
    // turns everything else (separators, blanks, quotes) into plain text.
    return QStringLiteral("TabrineInstanceEvent_")
           + QString::fromLatin1(QUrl::toPercentEncoding(configuration)) + QStringLiteral(".lock");
}

QString Application::InstanceLockFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

bool Application::HoldsInstanceLock() const
{
    return m_instanceLock && m_instanceLock->isLocked();
}

bool Application::InitInstance(const QString& commandLine)
{
    m_exitCode = ExitOk;
    if (m_options.installMessagePresenter) {
        m_presenter = std::make_shared<QtMessagePresenter>();
        SetMessagePresenter(m_presenter);
    }

    // The shared resources: colours, skin, the four shared documents.
    m_resources = std::make_unique<GlobalStyle>();
    if (m_options.locations)
        m_resources->SetDataLocations(*m_options.locations);
    m_resources->Initialise();

    CheckProfileVersion();

    const ConfigurationChoice configuration = ChooseConfiguration(commandLine);
    GlobalConfigurations& settings = GetGlobalConfigurations();
    settings.SetKeyName(configuration.name);
    settings.SetString(ConfigFile, configuration.fileName);
    ShowSettingsProblems();
    if (!configuration.warning.isEmpty())
        ShowMessage(nullptr, msgbox::Ok | msgbox::IconWarning, false, kPlainText, configuration.warning);

    TLOG(kLogNotice, u"Tabrine initialised");

    // One running instance per configuration: one atomic acquire of a lock
    // file that the system lets go of when the process ends, however it ends.
    const QString lockFolder = InstanceLockFolder();
    QDir().mkpath(lockFolder);
    m_instanceLock = std::make_unique<QLockFile>(QDir(lockFolder).filePath(InstanceLockName(configuration.name)));
    m_instanceLock->setStaleLockTime(0);
    if (!m_instanceLock->tryLock(0)) {
        m_instanceLock.reset();
        ShowMessage(nullptr, msgbox::Ok, false, kAlreadyRunning);
        m_exitCode = ExitAlreadyRunning;
        return false;
    }
    m_started = true;

    // The document, the main window around the panel, the panel bound, then the ports.
    m_document = std::make_unique<Document>(m_options.backend);
    if (m_options.onDocumentCreated)
        m_options.onDocumentCreated(*m_document);
    m_frame = std::make_unique<Frame>(*m_document);
    Frame* frame = m_frame.get();
    if (m_presenter)
        m_presenter->SetMainWindow(frame);
    InstallLayerChooser(frame);
    SetMainWindowRepaint([window = QPointer<Frame>(frame)] {
        if (window) {
            window->OnUpdateFrameTitle();
            window->repaint();
        }
    });
    frame->SetHelpHandler(cmd::HelpFinder, [this] { OnHelp(); });
    frame->SetHelpHandler(cmd::WebSite, [this] { OnWebSite(); });
    frame->SetHelpHandler(cmd::ReadMe, [this] { OnReadMe(); });
    frame->SetHelpHandler(cmd::About, [this] { OnAppAbout(); });
    frame->SetAboutAvailable(HasAboutBox());

    if (m_options.editorFactory)
        frame->GetView()->SetEditorFactory(m_options.editorFactory);
    frame->GetView()->OnInitialUpdate();
    frame->FitToPanel();
    if (!m_document->OnNewDocument()) {
        m_exitCode = ExitNoDocument;
        return false;
    }
    frame->OnUpdateFrameTitle();
    if (m_options.showMainWindow)
        frame->show();
    return true;
}

int Application::ExitInstance()
{
    // The main window and the document go first (the ports close), then the
    // program's own shutdown.
    SetMainWindowRepaint({});
    SetLayerChooser(nullptr);
    if (m_presenter)
        m_presenter->SetMainWindow(nullptr);
    m_frame.reset();
    m_document.reset();
    TLOG(kLogNotice, u"Tabrine shutdown");
    // Only an instance that ran saves the shared documents: a refused second
    // instance of a configuration must not write over the running one's work.
    if (m_resources) {
        if (m_started)
            m_resources->Shutdown();
        m_resources.reset();
    }
    if (m_instanceLock) {
        m_instanceLock->unlock();
        m_instanceLock.reset();
    }
    m_started = false;
    if (m_presenter) {
        SetMessagePresenter(nullptr);
        m_presenter.reset();
    }
    return m_exitCode;
}

// ------------------------------------------------------------------ help

bool Application::OpenUrl(const QUrl& url)
{
    if (m_options.openUrl)
        return m_options.openUrl(url);
    return QDesktopServices::openUrl(url);
}

QString Application::HelpFilePath(const QString& programFolder)
{
    if (programFolder.isEmpty())
        return QString();
    const QDir folder(programFolder);
    const QString beside = folder.filePath(QString::fromUtf16(kHelpFileName));
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(folder.filePath(QStringLiteral("../help/") + QString::fromUtf16(kHelpFileName)));
}

QUrl Application::WebSiteUrl()
{
    return QUrl(QStringLiteral("https://www.brimcote.com/"));
}

void Application::OnHelp()
{
    const QString programFolder =
        m_options.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_options.programFolder;
    const QString path = HelpFilePath(programFolder);
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        ShowMessage(nullptr, msgbox::Ok, true, kNoHelpFile);
        return;
    }
    OpenUrl(QUrl::fromLocalFile(path));
}

void Application::OnWebSite()
{
    OpenUrl(WebSiteUrl());
}

void Application::OnReadMe()
{
    GlobalResources* resources = TheGlobalResources();
    const QString path = resources ? resources->GetDataFilePath(false, QStringLiteral("ReadMe.txt")) : QString();
    if (!path.isEmpty())
        OpenUrl(QUrl::fromLocalFile(path));
}

bool Application::HasAboutBox()
{
    return true;
}

void Application::OnAppAbout()
{
    // The box tells about the module the document talks to, if there is one.
    CAboutDlg about(QStringLiteral("About Box"), m_document ? &m_document->GetProteus() : nullptr, m_frame.get());
    if (m_options.runAboutBox)
        m_options.runAboutBox(about);
    else
        about.exec();
}
