#include "app/RestoreDlg.h"

#include "ui_RestoreDlg.h"

#include "core/MessageBox.h"
#include "ui/controls/SwitchCtrl.h"

#include <QDir>
#include <QFileInfo>

using namespace backupfiles;

RestoreDlg::RestoreDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : ModalDialog(title, 176, parent, parentWnd), m_ui(std::make_unique<Ui::RestoreDlg>())
{
    m_nameRecord = ParamRecord(QStringLiteral("RESTORE_NAME"), RestoreNameId, 0);
    m_nameRecord.readOnly = false;
    AddParameter(&m_nameRecord);

    m_ui->setupUi(this);
    InitialiseDialog();
    SetOwnTooltipId(20630);
    setWindowTitle(title);

    for (int kind = 0; kind < kKinds; ++kind) {
        ParamRecord& r = m_records[size_t(kind)];
        r = ParamRecord(QStringLiteral("RESTORE_SWITCH_%1").arg(kind + 1), kSwitchIds[kind], 0);
        r.maximum = 1;
        r.readOnly = false;
        LitButtonCtrl* s = ItemAs<LitButtonCtrl>(kSwitchIds[kind]);
        m_switches[size_t(kind)] = s;
        s->SetOwner(this);
        s->BindParameter(nullptr, 0, &r);
        s->Setup(2, 0);
        AddControl(s);
    }

    m_menu = ItemAs<RestoreMenuCtrl>(1189);
    m_menu->SetOwner(this);
    m_menu->BindParameter(nullptr, 0, &m_nameRecord);
    m_menu->Setup(false, 0, &m_names, 20631);
    AddControl(m_menu);
    RefreshSwitches();
}

RestoreDlg::~RestoreDlg()
{
    ForgetControls();
}

bool RestoreDlg::FindBackups()
{
    m_names.clear();
    const QString data = DataFolder();
    if (!data.isEmpty()) {
        const QFileInfoList entries =
            QDir(data).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
        int index = 0;
        for (const QFileInfo& entry : entries) {
            if (entry.fileName().startsWith(QChar('.')))
                continue;
            if (!HoldsFile(entry.filePath(), QString::fromUtf16(kReportName)))
                continue;
            m_names[index++] = entry.fileName();
        }
    }
    if (m_names.empty()) {
        RefreshSwitches();
        return false;
    }
    m_nameRecord.minimum = 0;
    m_nameRecord.maximum = int(m_names.size()) - 1;
    m_nameRecord.defaultValue = 0;
    m_nameRecord.previousValue = m_nameRecord.value;
    m_nameRecord.value = 0;
    m_menu->ParameterChanged(&m_nameRecord);
    RefreshSwitches();
    return true;
}

QString RestoreDlg::ChosenFolder() const
{
    const auto it = m_names.find(m_nameRecord.value);
    const QString data = it == m_names.end() ? QString() : DataFolder();
    return data.isEmpty() ? QString() : QDir(data).filePath(it->second);
}

void RestoreDlg::RefreshSwitches()
{
    const QString chosen = ChosenFolder();
    const std::uint32_t caps = ModuleCapabilities(this);
    for (int kind = 0; kind < kKinds; ++kind) {
        const std::uint32_t cap = KindCapability(kind);
        const bool on = !chosen.isEmpty() && (caps & cap) == cap && HoldsFile(chosen, FirstFileName(kind));
        ParamRecord& r = m_records[size_t(kind)];
        r.previousValue = r.value;
        r.value = on ? 1 : 0;
        m_switches[size_t(kind)]->SetState(on);
        m_switches[size_t(kind)]->setEnabled(on);
    }
}

bool RestoreDlg::EditParameter(ParamRecord* record)
{
    if (record && record->id == RestoreNameId) {
        m_menu->ParameterChanged(record);
        RefreshSwitches();
    }
    return true;
}

void RestoreDlg::OnOK()
{
    const QString chosen = ChosenFolder();
    if (chosen.isEmpty()) {
        ShowMessage(this, msgbox::Ok | msgbox::IconWarning, false, kPlainText,
                    QStringLiteral("Please choose the backup to restore."));
        return;
    }
    bool any = false;
    for (const ParamRecord& r : m_records)
        any = any || r.value != 0;
    if (!any) {
        ShowMessage(this, msgbox::Ok | msgbox::IconWarning, false, kPlainText,
                    QStringLiteral("There is nothing to restore: switch on at least one kind of data that the "
                                   "backup holds."));
        return;
    }
    folder = chosen;
    setups = m_records[0].value != 0;
    presets = m_records[1].value != 0;
    arps = m_records[2].value != 0;
    tunings = m_records[3].value != 0;
    bankMap = m_records[4].value != 0;
    ModalDialog::OnOK();
}
