#include "app/AboutDlg.h"

#include "ui_AboutDlg.h"

#include "core/MessageBox.h"
#include "module/Proteus.h"
#include "ui/controls/EditCtrls.h"
#include "ui/framework/LabelCtrl.h"

#include <QApplication>
#include <QStyle>

namespace {

constexpr int kTemplate = 100;
constexpr int kModuleText = 1101;
constexpr int kCapabilityList = 306;
// The dialog's own tooltip (the tooltip document has no text for it until the user writes one).
constexpr int kDialogTooltip = 20000;

constexpr unsigned kModuleEmu = 205;
constexpr unsigned kOsVersion = 206;

struct CapabilityText {
    std::uint32_t flag;
    const char* set;
    const char* clear;
};
constexpr CapabilityText kCapabilityTexts[] = {
    {CAP_32_CHANNELS, "Module has 32 channels", "Module has 16 channels"},
    {CAP_16_CONTROLLERS, "Module has 16 controllers", "Module has 12 controllers"},
    {CAP_LCD_INTERROGATION, "Module allows LCD interrogation", "Module does not allow LCD interrogation"},
    {CAP_ARPS_AND_BEATS, "Module has Arps and Beats", "Module does not support Arps and Beats"},
    {CAP_PRESET_DUMPS, "Module performs Preset Dumps", "Module does not perform Preset Dumps"},
    {CAP_SETUP_DUMPS, "Module performs Setup Dumps", "Module does not perform Setup Dumps"},
    {CAP_TUNING_DUMPS, "Module performs Tuning Dumps", "Module does not perform Tuning Dumps"},
    {CAP_BANK_MAP_DUMPS, "Module performs Bank Map Dumps", "Module does not perform Bank Map Dumps"},
    {CAP_SYSEX_DUMPS, "Module performs Sysex Dumps", "Module does not perform Sysex Dumps"},
};

} // namespace

CAboutDlg::CAboutDlg(const QString& name, Proteus* proteus, QWidget* parentWnd)
    : ModalDialog(name, kTemplate, nullptr, parentWnd), m_ui(std::make_unique<Ui::AboutDlg>()), m_proteus(proteus)
{
    m_ui->setupUi(this);
    // The program's icon; the standard information sign until the program has one.
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    m_ui->programIcon->setPixmap(icon.pixmap(m_ui->programIcon->size()));
    m_ui->programIcon->setAlignment(Qt::AlignCenter);
    InitialiseDialog();
    // The module line is an item of its own, drawn like every other text.
    LabelCtrl::TakeOver(ItemAs<QLabel>(kModuleText), this);
    CapabilityList()->SetOwner(this);
}

CAboutDlg::~CAboutDlg()
{
    ForgetControls();
}

QLabel* CAboutDlg::ModuleText() const
{
    return ItemAs<QLabel>(kModuleText);
}

ListBoxCtrl* CAboutDlg::CapabilityList() const
{
    return ItemAs<ListBoxCtrl>(kCapabilityList);
}

QString CAboutDlg::ModuleLine(const QString& modelName, const QString& revision)
{
    return QStringLiteral("%1 %2, %3 %4").arg(LoadResourceString(kModuleEmu), modelName, LoadResourceString(kOsVersion), revision);
}

QStringList CAboutDlg::CapabilityLines(std::uint32_t capabilities)
{
    if ((capabilities & CAP_TESTED) == 0)
        return {QStringLiteral("Module is untested for capabilities")};
    QStringList lines;
    for (const CapabilityText& c : kCapabilityTexts)
        lines << QString::fromLatin1((capabilities & c.flag) != 0 ? c.set : c.clear);
    return lines;
}

void CAboutDlg::showEvent(QShowEvent* event)
{
    if (!m_started) {
        m_started = true;
        Start();
    }
    ModalDialog::showEvent(event);
}

void CAboutDlg::Start()
{
    SetOwnTooltipId(kDialogTooltip);
    // Without a connection the module line keeps "Module" and the list stays empty.
    if (!m_proteus)
        return;
    if (auto* line = qobject_cast<LabelCtrl*>(ModuleText()))
        line->SetText(ModuleLine(m_proteus->GetModuleName(), m_proteus->hardwareConfig.GetRevision()));
    CapabilityList()->addItems(CapabilityLines(m_proteus->GetCapabilities()));
}
