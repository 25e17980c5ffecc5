#include "app/Frame.h"

#include "app/Document.h"
#include "app/View.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "module/Proteus.h"
#include "ui/framework/BasicDialog.h"
#include "ui/framework/CommandIds.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QWindow>

#include <algorithm>

namespace {
// String-table entries: the title's state, a status prompt, the Undo and Redo words.
constexpr unsigned kNoPortTitle = 231;
constexpr unsigned kNotConnectedTitle = 232;
constexpr unsigned kUndoText = 303;
constexpr unsigned kRedoText = 304;
constexpr unsigned kConfigureMidiPrompt = 32771;

/// "SysEx: " and at most 80 bytes ("%02X " each): the pane shows no more.
constexpr int kSysExTextMax = 246;
/// The pane is sized for "Sysex:" and 89 blanks.
constexpr int kSysExPaneChars = 95;
/// The size of an empty panel (a panel that has not laid itself out).
constexpr QSize kEmptyPanelSize(600, 360);

QString ConfigurationName()
{
    return GetGlobalConfigurations().KeyName();
}

} // namespace

Frame::Frame(Document& document, QWidget* parent) : QMainWindow(parent), m_document(document)
{
    setObjectName(QStringLiteral("MainFrame"));
    // A fixed-size window: no maximise button and no frame to resize.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    m_view = new View(document, this);
    m_view->setObjectName(QStringLiteral("MainPanel"));
    setCentralWidget(m_view);
    document.SetView(m_view);

    // The message pane shows menu prompts; the SysEx pane the last message sent.
    m_sysExPane = new QLabel(QStringLiteral("Sysex:") + QString(kSysExPaneChars - 6, u' '), this);
    m_sysExPane->setObjectName(QStringLiteral("item%1").arg(cmd::SysExPane));
    m_sysExPane->setTextFormat(Qt::PlainText);
    m_sysExPane->setFrameShape(QFrame::Panel);
    m_sysExPane->setFrameShadow(QFrame::Sunken);
    statusBar()->addPermanentWidget(m_sysExPane);
    statusBar()->setSizeGripEnabled(false);

    BuildMenus();
    RestorePosition();
    OnUpdateFrameTitle();
    qApp->installEventFilter(this);
}

Frame::~Frame()
{
    m_document.SetView(nullptr);
}

// ------------------------------------------------------------------ title

QString Frame::FrameTitle(const QString& configuration, bool testUI, bool anyPortOpen, bool ready)
{
    QString title = QString::fromUtf16(kProductName);
    if (configuration != QString::fromUtf16(kDefaultConfigurationName))
        title += u' ' + configuration;
    if (!testUI) {
        if (!anyPortOpen)
            title += LoadResourceString(kNoPortTitle);
        else if (!ready)
            title += LoadResourceString(kNotConnectedTitle);
    }
    return title;
}

void Frame::OnUpdateFrameTitle()
{
    const Proteus& proteus = m_document.GetProteus();
    const bool input = proteus.IsInputOpen();
    const bool output = proteus.IsOutputOpen();
    setWindowTitle(FrameTitle(ConfigurationName(), GetGlobalConfigurations().GetBool(TestUI), input || output,
                              proteus.IsReady() && input && output));
    UpdateCommandStates();
}

// ------------------------------------------------------------------ SysEx pane

QString Frame::SysExText(const std::uint8_t* data, unsigned length)
{
    QString text = QStringLiteral("SysEx: ");
    for (unsigned i = 0; data && i < length && text.size() < kSysExTextMax; ++i)
        text += QStringLiteral("%1 ").arg(unsigned(data[i]), 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

void Frame::ShowSysEx(const std::uint8_t* data, unsigned length)
{
    m_sysExPane->setText(SysExText(data, length));
    m_sysExPane->repaint();
}

// ------------------------------------------------------------------ size and position

void Frame::FitToPanel()
{
    // A panel laid out by a form without a layout has no size hint: its size
    // is the form's. A panel that has not been built yet gets a plain size.
    QSize panel = m_view->sizeHint();
    if (!panel.isValid() || panel.isEmpty())
        panel = m_view->size();
    if (panel.width() < kEmptyPanelSize.width() / 3 || panel.height() < kEmptyPanelSize.height() / 3)
        panel = kEmptyPanelSize;
    m_view->setFixedSize(panel);
    // The SysEx pane takes what the panel's width leaves beside the prompts.
    const int paneWidth = m_sysExPane->fontMetrics().horizontalAdvance(QString(kSysExPaneChars, u'0'));
    m_sysExPane->setFixedWidth(std::min(paneWidth, panel.width() * 3 / 5));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
}

void Frame::RestorePosition()
{
    const QString text = GetGlobalConfigurations().ReadString(QStringLiteral("MainFrame"), QString());
    if (text.isEmpty())
        return;
    const QStringList parts = text.split(u' ', Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].toInt(&ok);
        if (!ok)
            return;
    }
    QRect rect(QPoint(v[0], v[1]), QSize(std::max(v[2] - v[0], 1), std::max(v[3] - v[1], 1)));
    GlobalStyle::KeepRectOnScreen(&rect);
    move(rect.topLeft());
}

void Frame::SavePosition()
{
    const QRect r = frameGeometry();
    GetGlobalConfigurations().WriteString(
        QStringLiteral("MainFrame"),
        QStringLiteral("%1 %2 %3 %4").arg(r.left()).arg(r.top()).arg(r.left() + r.width()).arg(r.top() + r.height()));
    m_positionSaved = true;
}

bool Frame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* widget = qobject_cast<const QWidget*>(watched);
        if ((widget && widget->window() == this) || (windowHandle() && watched == static_cast<QObject*>(windowHandle())))
            UpdateCommandStates();
    }
    return QMainWindow::eventFilter(watched, event);
}

void Frame::closeEvent(QCloseEvent* event)
{
    // An editor with unsaved changes may keep the window open.
    if (!m_document.CanCloseFrame()) {
        event->ignore();
        return;
    }
    SavePosition();
    event->accept();
}

// ------------------------------------------------------------------ menu and keys

QAction* Frame::AddCommand(QMenu* menu, int command, const QString& text, const QString& key, const QString& tip)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QStringLiteral("command%1").arg(command));
    if (!key.isEmpty()) {
        action->setShortcut(QKeySequence(key, QKeySequence::PortableText));
        action->setShortcutContext(Qt::WindowShortcut);
    }
    if (!tip.isEmpty())
        action->setStatusTip(tip);
    if (menu)
        menu->addAction(action);
    // The window holds every action, so keys of commands without a menu item work too.
    addAction(action);
    connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
    m_actions[command] = action;
    return action;
}

void Frame::BuildMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(tr("&File"));
    AddCommand(file, cmd::FileLoad, tr("&Load"), QStringLiteral("Ctrl+L"), tr("Loads a preset from a file"));
    AddCommand(file, cmd::FileSave, tr("&Save"), QStringLiteral("Ctrl+S"), tr("Saves the preset to its file"));
    // Ctrl+A is the key of Save As: its menu text says so.
    AddCommand(file, cmd::FileSaveAs, tr("Save &As..."), QStringLiteral("Ctrl+A"),
               tr("Saves the preset to a new file"));
    file->addSeparator();
    AddCommand(file, cmd::AppExit, tr("E&xit"), QStringLiteral("Ctrl+X"), tr("Closes Tabrine"));

    QMenu* edit = bar->addMenu(tr("&Edit"));
    AddCommand(edit, cmd::Undo, tr("&Undo"), QStringLiteral("Ctrl+Z"), tr("Undoes the last change"));
    AddCommand(edit, cmd::Redo, tr("&Redo"), QStringLiteral("Ctrl+Y"), tr("Does the undone change again"));
    edit->addSeparator();
    AddCommand(edit, cmd::BankMap, tr("Bank Map Editor..."), QString(), tr("Edits the module's bank map"));
    edit->addSeparator();
    AddCommand(edit, cmd::CopyData, tr("&Copy Data"), QStringLiteral("Ctrl+C"), tr("Copies a preset in the module"));
    AddCommand(edit, cmd::ImportData, tr("Import Data"), QStringLiteral("Ctrl+I"),
               tr("Reads setups, presets, arpeggios or tunings from a file"));
    AddCommand(edit, cmd::ExportData, tr("&Export Data"), QStringLiteral("Ctrl+E"),
               tr("Writes setups, presets, arpeggios or tunings to a file"));
    edit->addSeparator();
    AddCommand(edit, cmd::SendData, tr("&Send Data..."), QString(), tr("Sends a SysEx file to the module"));

    QMenu* view = bar->addMenu(tr("&View"));
    QAction* log = AddCommand(view, cmd::MessageLog, tr("&Message Log"), QStringLiteral("Ctrl+M"),
                              tr("Shows or hides the message log"));
    log->setCheckable(true);
    QMenu* tips = view->addMenu(tr("Tooltips"));
    auto* tipGroup = new QActionGroup(this);
    const std::pair<int, QString> tipItems[] = {{cmd::TooltipsNone, tr("No Tooltips")},
                                                {cmd::TooltipsShort, tr("Short Tooltips")},
                                                {cmd::TooltipsLong, tr("Long Tooltips")}};
    for (const auto& [id, text] : tipItems) {
        QAction* a = AddCommand(tips, id, text, QString(), tr("Chooses how much the tooltips say"));
        a->setCheckable(true);
        tipGroup->addAction(a);
    }

    QMenu* setup = bar->addMenu(tr("&Setup"));
    AddCommand(setup, cmd::ConfigureMidi, tr("Confi&gure MIDI..."), QStringLiteral("Ctrl+G"), LoadResourceString(kConfigureMidiPrompt));
    setup->addSeparator();
    AddCommand(setup, cmd::SaveInstrumentDefinition, tr("Save Sonar Instrument Definition"), QStringLiteral("Ctrl+D"),
               tr("Writes an instrument definition file for Sonar"));
    AddCommand(setup, cmd::ExportFxBank, tr("Export FX Bank"), QString(), tr("Writes the effects bank to a file"));
    setup->addSeparator();
    AddCommand(setup, cmd::BackupModule, tr("Backup Module"), QString(), tr("Saves the module's data to a folder"));
    AddCommand(setup, cmd::RestoreBackup, tr("Restore Backup"), QString(), tr("Sends a saved backup to the module"));
    setup->addSeparator();
    AddCommand(setup, cmd::Options, tr("Options"), QString(), tr("Changes the options of Tabrine"));

    QMenu* help = bar->addMenu(tr("&Help"));
    AddCommand(help, cmd::HelpFinder, tr("&Help Topics"), QStringLiteral("F1"), tr("Opens the help"));
    AddCommand(help, cmd::WebSite, tr("Tabrine Web Site..."), QString(), tr("Displays the Tabrine Web Site"));
    AddCommand(help, cmd::ReadMe, tr("View ReadMe File"), QString(),
               tr("Displays the Readme File supplied with the release"));
    help->addSeparator();
    AddCommand(help, cmd::About, tr("&About Tabrine..."), QStringLiteral("Shift+F1"),
               tr("Shows the program's version and the module's details"));

    // Keys without a menu item.
    AddCommand(nullptr, cmd::NextPopup, tr("Next Window"), QStringLiteral("Ctrl+Tab"), QString());
    AddCommand(nullptr, cmd::TipEditor, tr("Edit Tooltip"), QStringLiteral("Shift+F2"), QString());

    for (QMenu* menu : {file, edit, view, tips, setup, help})
        connect(menu, &QMenu::aboutToShow, this, &Frame::UpdateCommandStates);
    UpdateCommandStates();
}

QAction* Frame::Action(int command) const
{
    const auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void Frame::SetHelpHandler(int command, std::function<void()> handler)
{
    m_helpHandlers[command] = std::move(handler);
    UpdateCommandStates();
}

void Frame::UpdateCommandStates()
{
    auto enable = [this](int command, bool on) {
        if (QAction* a = Action(command))
            a->setEnabled(on);
    };
    // The documents and transfers of the File and Edit menus.
    for (int command : {cmd::FileLoad, cmd::FileSave, cmd::FileSaveAs})
        enable(command, m_view->CanLoadOrSave());
    for (int command : {cmd::CopyData, cmd::ImportData})
        enable(command, m_view->CanCopyOrImportData());
    for (int command : {cmd::ExportData, cmd::SendData})
        enable(command, m_view->CanExportOrSendData());
    // The module operations, the tooltip mode and Options.
    const bool ready = m_view->IsDeviceReady();
    enable(cmd::BankMap, m_view->OnUpdateBankMap());
    for (int command : {cmd::TooltipsNone, cmd::TooltipsShort, cmd::TooltipsLong}) {
        enable(command, ready);
        if (QAction* a = Action(command))
            a->setChecked(command == View::TooltipCommand());
    }
    enable(cmd::SaveInstrumentDefinition, ready);
    enable(cmd::TipEditor, ready);
    enable(cmd::ExportFxBank, m_view->OnUpdateExportFxBank());
    enable(cmd::BackupModule, m_view->OnUpdateBackupRestore());
    enable(cmd::RestoreBackup, m_view->OnUpdateBackupRestore());
    enable(cmd::Options, true);
    enable(cmd::AppExit, true);
    enable(cmd::ConfigureMidi, true);
    enable(cmd::NextPopup, true);
    for (int command : {cmd::HelpFinder, cmd::WebSite, cmd::ReadMe})
        enable(command, m_helpHandlers.count(command) != 0);
    enable(cmd::About, m_aboutAvailable && m_helpHandlers.count(cmd::About) != 0);

    if (QAction* undo = Action(cmd::Undo)) {
        const QString label = m_view->GetUndoText();
        undo->setText(label.isEmpty() ? tr("&Undo") : QStringLiteral("&%1 %2").arg(LoadResourceString(kUndoText), label));
        undo->setEnabled(m_view->CanUndo());
    }
    if (QAction* redo = Action(cmd::Redo)) {
        const QString label = m_view->GetRedoText();
        redo->setText(label.isEmpty() ? tr("&Redo") : QStringLiteral("&%1 %2").arg(LoadResourceString(kRedoText), label));
        redo->setEnabled(m_view->CanRedo());
    }
    if (QAction* log = Action(cmd::MessageLog)) {
        if (QWidget* window = m_view->FindPopup(QStringLiteral("Message Log")))
            log->setChecked(window->isVisible());
    }
}

void Frame::RunCommand(int command)
{
    switch (command) {
    case cmd::AppExit:
        close();
        break;
    case cmd::ConfigureMidi:
        m_document.OnConfigureMidi();
        break;
    case cmd::Undo:
        OnUndo();
        break;
    case cmd::Redo:
        OnRedo();
        break;
    case cmd::FileLoad:
        m_view->OnFileLoad();
        break;
    case cmd::FileSave:
        m_view->OnFileSave();
        break;
    case cmd::FileSaveAs:
        m_view->OnFileSaveAsPreset();
        break;
    case cmd::CopyData:
        m_view->OnEditCopyData();
        break;
    case cmd::ImportData:
        m_view->OnEditImportData();
        break;
    case cmd::ExportData:
        m_view->OnEditExportData();
        break;
    case cmd::SendData:
        m_view->OnEditSendData();
        break;
    case cmd::MessageLog:
        m_view->OnViewMessageLog();
        break;
    case cmd::TooltipsNone:
    case cmd::TooltipsShort:
    case cmd::TooltipsLong:
        m_view->OnViewTooltips(command);
        break;
    case cmd::TipEditor:
        m_view->OnTipEditor();
        break;
    case cmd::BankMap:
        m_view->OnEditBankMap();
        break;
    case cmd::SaveInstrumentDefinition:
        m_view->OnSaveInstrumentDefinition();
        break;
    case cmd::ExportFxBank:
        m_view->OnExportFxBank();
        break;
    case cmd::BackupModule:
        m_view->OnBackupModule();
        break;
    case cmd::RestoreBackup:
        m_view->OnRestoreBackup();
        break;
    case cmd::Options:
        m_view->OnOptions();
        break;
    case cmd::NextPopup:
        OnNextPopup();
        break;
    case cmd::HelpFinder:
    case cmd::ContextHelp:
    case cmd::Help:
    case cmd::DefaultHelp:
        if (const auto it = m_helpHandlers.find(cmd::HelpFinder); it != m_helpHandlers.end())
            it->second();
        break;
    case cmd::WebSite:
    case cmd::ReadMe:
    case cmd::About:
        if (const auto it = m_helpHandlers.find(command); it != m_helpHandlers.end())
            it->second();
        break;
    default:
        break;
    }
    UpdateCommandStates();
}

void Frame::OnUndo()
{
    if (m_view->CanUndo())
        m_view->Undo(true);
}

void Frame::OnRedo()
{
    if (m_view->CanRedo())
        m_view->Redo();
}

QString Frame::NextPopupTarget(const std::vector<std::pair<QString, bool>>& registry, const QString& current)
{
    auto it = registry.begin();
    if (!current.isEmpty()) {
        it = std::find_if(registry.begin(), registry.end(), [&](const auto& entry) { return entry.first == current; });
        if (it != registry.end())
            ++it;
    }
    for (; it != registry.end(); ++it)
        if (it->second)
            return it->first;
    return QString();
}

void Frame::OnNextPopup()
{
    // The registered popups are the program's dialogs that the panel knows by their name.
    std::vector<std::pair<QString, bool>> registry;
    std::map<QString, QWidget*> windows;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<BasicDialog*>(top);
        if (!dialog || m_view->FindPopup(dialog->Name()) != dialog)
            continue;
        windows[dialog->Name()] = dialog;
    }
    for (const auto& [name, window] : windows)
        registry.emplace_back(name, window->isVisible());

    QString current;
    if (QWidget* focus = QApplication::focusWidget()) {
        QWidget* window = focus->window();
        if (auto* dialog = qobject_cast<BasicDialog*>(window); dialog && windows.count(dialog->Name()))
            current = dialog->Name();
        else if (window != this)
            current = QStringLiteral("\n"); // an unregistered window: the walk starts past the end
    }
    const QString target = NextPopupTarget(registry, current);
    QWidget* next = target.isEmpty() ? static_cast<QWidget*>(this) : windows[target];
    next->activateWindow();
    next->setFocus(Qt::TabFocusReason);
}
