#include "app/BackupDlg.h"

#include "ui_BackupDlg.h"

#include "core/GlobalResources.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "module/Capabilities.h"
#include "module/Proteus.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/SwitchCtrl.h"

#include <QDir>
#include <QFileInfo>

namespace {
// String-table entry: the question before a backup overwrites another.
constexpr unsigned kOverwriteBackup = 150;
} // namespace

namespace backupfiles {

std::uint32_t KindCapability(int kind)
{
    static constexpr std::uint32_t caps[kKinds] = {CAP_SETUP_DUMPS, CAP_PRESET_DUMPS, CAP_ARPS_AND_BEATS,
                                                   CAP_TUNING_DUMPS, CAP_BANK_MAP_DUMPS};
    return kind >= 0 && kind < kKinds ? caps[kind] : 0;
}

QString FirstFileName(int kind)
{
    // The names the backup writes; they are looked for without regard to case.
    static const char16_t* const names[kKinds] = {u"Setup0.sysex", u"Preset0.sysex", u"Arp0.sysex", u"Tuning0.sysex",
                                                  u"BankMap.sysex"};
    return kind >= 0 && kind < kKinds ? QString::fromUtf16(names[kind]) : QString();
}

QString DataFolder()
{
    GlobalResources* resources = TheGlobalResources();
    return resources ? resources->GetDataFilePath(true, QString()) : QString();
}

bool HoldsFile(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    if (QFileInfo(dir.filePath(name)).isFile())
        return true;
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString BackupNameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Please enter a name for the backup.");
    if (name.contains(QChar('/')) || name.contains(QChar('\\')))
        return QStringLiteral("The name of a backup cannot hold \"/\" or \"\\\": it names one folder inside "
                              "the data folder.");
    if (name == QStringLiteral(".") || name == QStringLiteral(".."))
        return QStringLiteral("\"%1\" cannot name a backup: it names one folder inside the data folder.").arg(name);
    if (name.startsWith(QChar('.')))
        return QStringLiteral("The name of a backup cannot begin with \".\": such folders are hidden and are not "
                              "offered for restore.");
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("The name of a backup cannot hold control characters.");
    return {};
}

std::uint32_t ModuleCapabilities(ControlListener* listener)
{
    if (Proteus* proteus = listener ? listener->GetProteus() : nullptr)
        return proteus->GetCapabilities();
    return GetGlobalConfigurations().GetDword(Capabilities);
}

} // namespace backupfiles

using namespace backupfiles;

BackupDlg::BackupDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : ModalDialog(title, 175, parent, parentWnd), m_ui(std::make_unique<Ui::BackupDlg>())
{
    m_ui->setupUi(this);
    InitialiseDialog();
    SetOwnTooltipId(20025);
    setWindowTitle(title);

    // The name edit carries its tooltip and no parameter.
    m_name = ItemAs<EditCtrl>(1189);
    m_name->SetOwner(this);
    m_name->SetControlWindow(m_name);
    m_name->SetToolTipId(20026);
    AddControl(m_name);

    // Setups stay enabled whatever the module says (the backup itself skips
    // them without the capability); each other kind needs its capability.
    const std::uint32_t caps = ModuleCapabilities(this);
    for (int kind = 0; kind < kKinds; ++kind) {
        ParamRecord& r = m_records[size_t(kind)];
        r = ParamRecord(QStringLiteral("BACKUP_SWITCH_%1").arg(kind + 1), kSwitchIds[kind], 0);
        r.maximum = 1;
        r.readOnly = false;
        const bool has = (caps & KindCapability(kind)) == KindCapability(kind);
        r.value = has ? 1 : 0;
        LitButtonCtrl* s = ItemAs<LitButtonCtrl>(kSwitchIds[kind]);
        m_switches[size_t(kind)] = s;
        s->SetOwner(this);
        s->BindParameter(nullptr, 0, &r);
        s->Setup(2, 0);
        s->SetState(has);
        s->setEnabled(kind == 0 || has);
        AddControl(s);
    }
}

BackupDlg::~BackupDlg()
{
    ForgetControls();
}

bool BackupDlg::EditParameter(ParamRecord*)
{
    return true;
}

void BackupDlg::OnOK()
{
    const QString name = m_name->text();
    if (const QString problem = BackupNameProblem(name); !problem.isEmpty()) {
        ShowMessage(this, msgbox::Ok | msgbox::IconWarning, false, kPlainText, problem);
        m_name->setFocus();
        return;
    }
    bool any = false;
    for (const ParamRecord& r : m_records)
        any = any || r.value != 0;
    if (!any) {
        // A backup of nothing would be refused by the backup itself.
        ShowMessage(this, msgbox::Ok | msgbox::IconWarning, false, kPlainText,
                    QStringLiteral("There is nothing to back up: switch on at least one kind of data."));
        return;
    }
    const QString data = DataFolder();
    if (data.isEmpty()) {
        ShowMessage(this, msgbox::Ok | msgbox::IconWarning, false, kPlainText,
                    QStringLiteral("There is no data folder (\"Tabrine\" in your Documents folder) to hold a "
                                   "backup, so no backup can be made."));
        return;
    }
    const QString path = QDir(data).filePath(name);
    if (QFileInfo(path).exists() && !QFileInfo(path).isDir()) {
        ShowMessage(this, msgbox::Ok | msgbox::IconWarning, false, kPlainText,
                    QStringLiteral("The data folder already holds a file named \"%1\". Please choose another name "
                                   "for the backup.").arg(name));
        return;
    }
    if (HoldsFile(path, QString::fromUtf16(kReportName))) {
        if (ShowMessage(this, msgbox::YesNo | msgbox::IconQuestion, false, kOverwriteBackup) != msgbox::IdYes)
            return;
    } else {
        QDir().mkpath(path); // a folder that cannot be made fails the backup, which says so
    }
    folder = path;
    setups = m_records[0].value != 0;
    presets = m_records[1].value != 0;
    arps = m_records[2].value != 0;
    tunings = m_records[3].value != 0;
    bankMap = m_records[4].value != 0;
    ModalDialog::OnOK();
}
