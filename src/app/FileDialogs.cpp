#include "app/FileDialogs.h"

#include "ui_FileDescriptionPanel.h"
#include "ui_SonarOptionsPanel.h"

#include "core/MessageBox.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShowEvent>

namespace {

// String-table ids of the file types and of the description texts.
constexpr unsigned kPresetTypes = 131;
constexpr unsigned kSysexTypes = 133;
constexpr unsigned kScalaTypes = 140;
constexpr unsigned kInstrumentTypes = 299;
constexpr unsigned kPresetText = 134;
constexpr unsigned kScalaText = 137;
constexpr unsigned kSysexText = 138;
constexpr unsigned kChooseTypeText = 141;

// The longest file-type text the description rule looks at.
constexpr int kTypeTextMax = 260;

FileDialogScript& Script()
{
    static FileDialogScript script;
    return script;
}

// The single extension a name filter stands for ("xml" of "... (*.xml)"); empty
// for a filter of several patterns or of every file.
QString SingleExtension(const QString& filter)
{
    const QStringList patterns = filter.section(u'(', -1).section(u')', 0, 0).split(u' ', Qt::SkipEmptyParts);
    if (patterns.size() != 1 || !patterns[0].startsWith(QStringLiteral("*.")))
        return {};
    const QString ext = patterns[0].mid(2);
    return ext.contains(u'*') || ext.contains(u'?') ? QString() : ext;
}

} // namespace

QStringList NameFiltersFromTypeString(const QString& types)
{
    // Display name and pattern alternate; an empty display name ends the list.
    const QStringList parts = types.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& name = parts[i];
        if (name.isEmpty())
            break;
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        // The shown name keeps its words; the patterns in brackets are the
        // ones that filter, so they are written from the pattern part.
        QString shown = name;
        const qsizetype bracket = shown.lastIndexOf(u'(');
        if (bracket > 0)
            shown = shown.left(bracket).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(shown, patterns.join(u' '));
    }
    return filters;
}

void SetFileDialogScript(FileDialogScript script)
{
    Script() = std::move(script);
}

// ------------------------------------------------------------------ FileDialogBase

FileDialogBase::FileDialogBase(bool open, const QString& initialName, QWidget* owner, unsigned typesStringId,
                               const QString& defaultExtension)
    : QFileDialog(owner), m_open(open), m_defaultExtension(defaultExtension)
{
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::ReadOnly, false);
    if (open) {
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::ExistingFile);
        setWindowTitle(tr("Open"));
    } else {
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        setOption(QFileDialog::DontConfirmOverwrite, false);
        setWindowTitle(tr("Save As"));
    }
    setNameFilters(NameFiltersFromTypeString(LoadResourceString(typesStringId)));
    setDefaultSuffix(defaultExtension); // a leading point is dropped
    if (!initialName.isEmpty()) {
        const QFileInfo info(initialName);
        if (info.isAbsolute() || initialName.contains(u'/'))
            setDirectory(info.absolutePath());
        selectFile(info.fileName());
    }
    OnTypeChange(selectedNameFilter());
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& filter) { OnTypeChange(filter); });
}

FileDialogBase::~FileDialogBase()
{
    delete m_descriptionUi;
}

void FileDialogBase::AddPanel(QWidget* panel)
{
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(panel, grid->rowCount(), 0, 1, grid->columnCount());
    else if (layout())
        layout()->addWidget(panel);
}

void FileDialogBase::AddDescriptionPanel()
{
    m_descriptionPanel = new QWidget(this);
    m_descriptionUi = new Ui::FileDescriptionPanel;
    m_descriptionUi->setupUi(m_descriptionPanel);
    m_descriptionPanel->setMinimumHeight(m_descriptionPanel->height());
    AddPanel(m_descriptionPanel);
    m_descriptionUi->item1110->setPlainText(StartDescription());
}

QString FileDialogBase::DescriptionText() const
{
    return m_descriptionUi ? m_descriptionUi->item1110->toPlainText() : QString();
}

void FileDialogBase::OnTypeChange(const QString& typeText)
{
    // A type of one extension of its own gives a typed name that extension;
    // "All Files" gives the dialog's own default.
    const QString ext = SingleExtension(typeText);
    setDefaultSuffix(ext.isEmpty() ? m_defaultExtension : ext);
    if (m_descriptionUi) {
        m_descriptionUi->item1110->setPlainText(DescriptionFor(typeText.left(kTypeTextMax)));
        m_descriptionPanel->update();
    }
}

void FileDialogBase::SelectFileType(int typeIndex)
{
    const QStringList filters = nameFilters();
    if (typeIndex < 1 || typeIndex > filters.size())
        return;
    selectNameFilter(filters[typeIndex - 1]);
    OnTypeChange(filters[typeIndex - 1]);
}

void FileDialogBase::Choose(const QString& path, int typeIndex)
{
    if (typeIndex > 0)
        SelectFileType(typeIndex);
    QString chosen = QFileInfo(path).absoluteFilePath();
    const QString suffix = defaultSuffix();
    if (!m_open && !suffix.isEmpty() && QFileInfo(chosen).suffix().isEmpty() && !QFileInfo(chosen).isDir())
        chosen += u'.' + suffix;
    m_chosenPath = chosen;
}

int FileDialogBase::DoModal()
{
    m_chosenPath.clear();
    m_ended = false;
    if (const FileDialogScript& script = Script()) {
        m_scripted = true;
        InitialiseOnce();
        const int result = script(*this);
        if (result != QDialog::Accepted)
            m_chosenPath.clear();
        setResult(result);
        EndOnce();
        return result;
    }
    m_scripted = false;
    return exec();
}

void FileDialogBase::showEvent(QShowEvent* event)
{
    InitialiseOnce();
    QFileDialog::showEvent(event);
}

void FileDialogBase::InitialiseOnce()
{
    if (m_initialised)
        return;
    m_initialised = true;
    OnInitialised();
}

void FileDialogBase::done(int result)
{
    if (result == QDialog::Accepted && !m_scripted)
        m_chosenPath = selectedFiles().value(0);
    EndOnce();
    QFileDialog::done(result);
}

void FileDialogBase::EndOnce()
{
    if (m_ended)
        return;
    m_ended = true;
    OnDialogEnd();
}

QString FileDialogBase::GetPathName() const
{
    return m_chosenPath;
}

int FileDialogBase::GetFilterIndex() const
{
    const qsizetype i = nameFilters().indexOf(selectedNameFilter());
    return i < 0 ? 1 : int(i) + 1;
}

// ------------------------------------------------------------------ the four dialogs

FileDlg::FileDlg(bool open, const QString& initialName, QWidget* owner)
    : FileDialogBase(open, initialName, owner, kPresetTypes, QStringLiteral("xml"))
{
    AddDescriptionPanel();
}

QString FileDlg::StartDescription() const
{
    return LoadResourceString(kPresetText);
}

QString FileDlg::DescriptionFor(const QString& typeText) const
{
    if (typeText.contains(QLatin1String(".xml")))
        return LoadResourceString(kPresetText);
    if (typeText.contains(QLatin1String(".sysex")))
        return LoadResourceString(kSysexText);
    return LoadResourceString(kChooseTypeText);
}

SysexFileDlg::SysexFileDlg(bool open, const QString& initialName, QWidget* owner)
    : FileDialogBase(open, initialName, owner, kSysexTypes, QStringLiteral(".sysex"))
{
    AddDescriptionPanel();
}

QString SysexFileDlg::StartDescription() const
{
    return LoadResourceString(kSysexText);
}

QString SysexFileDlg::DescriptionFor(const QString& typeText) const
{
    return LoadResourceString(typeText.contains(QLatin1String(".sysex")) ? kSysexText : kChooseTypeText);
}

ScalaFileDlg::ScalaFileDlg(const QString& initialName, QWidget* owner)
    : FileDialogBase(true, initialName, owner, kScalaTypes, QStringLiteral(".scl"))
{
    AddDescriptionPanel();
}

QString ScalaFileDlg::StartDescription() const
{
    return LoadResourceString(kScalaText);
}

QString ScalaFileDlg::DescriptionFor(const QString& typeText) const
{
    return LoadResourceString(typeText.contains(QLatin1String(".scl")) ? kScalaText : kChooseTypeText);
}

SonarFileDlg::SonarFileDlg(const QString& initialName, bool arpsAndBeats, bool sysexDumps, QWidget* owner)
    : FileDialogBase(false, initialName, owner, kInstrumentTypes, QStringLiteral(".ins")),
      arpsAndBeats(arpsAndBeats ? 1 : 0), sysexDumps(sysexDumps ? 1 : 0)
{
    m_panel = new QWidget(this);
    m_ui = new Ui::SonarOptionsPanel;
    m_ui->setupUi(m_panel);
    m_panel->setMinimumHeight(m_panel->height());
    AddPanel(m_panel);
    connect(m_ui->item1208, &QCheckBox::clicked, this, [this] { ApplyEnableRules(); });
}

SonarFileDlg::~SonarFileDlg()
{
    delete m_ui;
}

QCheckBox* SonarFileDlg::InsertKeyMapBox() const { return m_ui->item1208; }
QCheckBox* SonarFileDlg::BeatsTriggersBox() const { return m_ui->item1209; }
QCheckBox* SonarFileDlg::UniqueNamesBox() const { return m_ui->item1210; }
QCheckBox* SonarFileDlg::NoCategoryBox() const { return m_ui->item1212; }
QLineEdit* SonarFileDlg::DeviceNameEdit() const { return m_ui->item1211; }

void SonarFileDlg::OnInitialised()
{
    m_ui->item1210->setChecked(onlyUniqueUserPresets);
    m_ui->item1212->setChecked(includeNoCategory);
    m_ui->item1208->setChecked(insertKeyMap);
    m_ui->item1209->setChecked(includeBeatsTriggers);
    m_ui->item1211->setText(deviceName);
    ApplyEnableRules();
}

void SonarFileDlg::ApplyEnableRules()
{
    // Without SysEx dumps there are no key maps to insert; the box is then
    // also left unchecked, so the beats-trigger box follows it off.
    if (!sysexDumps) {
        m_ui->item1208->setChecked(false);
        m_ui->item1208->setEnabled(false);
    }
    if (arpsAndBeats) {
        m_ui->item1209->setVisible(true);
        m_ui->item1209->setEnabled(m_ui->item1208->isChecked());
    } else {
        m_ui->item1209->setVisible(false);
    }
}

void SonarFileDlg::OnDialogEnd()
{
    insertKeyMap = m_ui->item1208->isChecked();
    includeBeatsTriggers = m_ui->item1209->isChecked();
    onlyUniqueUserPresets = m_ui->item1210->isChecked();
    includeNoCategory = m_ui->item1212->isChecked();
    deviceName = m_ui->item1211->text();
}
