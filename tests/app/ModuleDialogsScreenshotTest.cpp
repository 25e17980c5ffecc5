// Pictures of the backup, restore, options, mappings and bank map dialogs on
// a real X display, under the build folder's screenshots/.
#include "AppDialogTestSupport.h"

#include "app/BackupDlg.h"
#include "app/BankMapDlg.h"
#include "app/MappingsDlg.h"
#include "app/OptionsDlg.h"
#include "app/RestoreDlg.h"
#include "module/NameLists.h"
#include "module/Proteus.h"
#include "support/Screenshots.h"
#include "ui/controls/EditCtrls.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTreeWidgetItem>

using apptest::AppDialogTest;

namespace {

/// The panel naming presets as a module would.
class NamingPanel : public apptest::PanelListener {
public:
    QString GetObjectName(int, int romId, int index) override
    {
        static const char* const names[] = {"Pno:Grand Piano", "Str:Warm Strings", "Bas:Fretless", "Org:Drawbar",
                                            "Syn:Saw Lead", "Pad:Glass Pad", "Brs:Section", "Gtr:Nylon"};
        return romId == 0 ? QStringLiteral("Usr:My Sound %1").arg(index) : QString::fromLatin1(names[index % 8]);
    }
};

class ModuleDialogPictures : public AppDialogTest {
protected:
    void Shoot(QDialog& dialog, const QString& name)
    {
        dialog.show();
        dialog.raise();
        QTest::qWait(60);
        dialog.repaint();
        QTest::qWait(30);
        EXPECT_FALSE(SaveScreenshot(&dialog, name).isEmpty()) << name.toStdString();
    }
    void Touch(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    NamingPanel naming;
};

} // namespace

TEST_F(ModuleDialogPictures, EachDialog)
{
    naming.proteus = proteus.get();
    const SimmSlot simms[] = {{.simmId = 4, .presets = 512}, {.simmId = 0, .presets = 128}};
    proteus->hardwareConfig.SetSimms(simms);
    GetSimmNameList()[4] = QStringLiteral("Composer");
    SetCapabilities(CAP_TESTED | CAP_PRESET_DUMPS | CAP_SETUP_DUMPS | CAP_TUNING_DUMPS);

    {
        BackupDlg dialog(QStringLiteral("Backup Module"), &naming, nullptr);
        dialog.NameEdit()->setText(QStringLiteral("Before The Gig"));
        Shoot(dialog, QStringLiteral("backup-dialog"));
    }
    {
        const QDir data(DataFolder());
        for (const char* f : {"TabrineBackup.txt", "Setup0.sysex", "Preset0.sysex"})
            Touch(data.filePath(QStringLiteral("Before The Gig/") + QLatin1String(f)));
        Touch(data.filePath(QStringLiteral("Studio 2025/TabrineBackup.txt")));
        RestoreDlg dialog(QStringLiteral("Restore Backup"), &naming, nullptr);
        ASSERT_TRUE(dialog.FindBackups());
        Shoot(dialog, QStringLiteral("restore-dialog"));
    }
    {
        OptionsDlg dialog(QStringLiteral("Tabrine Options"), &naming, nullptr);
        dialog.LoadSettings();
        dialog.screenReaderFriendly = true;
        Shoot(dialog, QStringLiteral("options-dialog"));
    }
    {
        MappingsDlg dialog(QStringLiteral("Mappings Dialog"), &naming, nullptr);
        dialog.SetXML(QStringLiteral(
            "<Mappings><DEVICE ID=\"Settings\"><OBJECT ID=\"Preset\"><MAPPINGS><MAPPING ID=\"Pno\">Piano</MAPPING>"
            "<MAPPING ID=\"Str\">Strings</MAPPING></MAPPINGS><SIMM ID=\"4\" NAME=\"Composer\"><NAMES>"
            "<NAME ID=\"3\">Drawbar Organ</NAME></NAMES></SIMM></OBJECT></DEVICE></Mappings>"));
        dialog.Initialise();
        for (int i = 0; i < dialog.Tree()->topLevelItemCount(); ++i) {
            QTreeWidgetItem* top = dialog.Tree()->topLevelItem(i);
            if (top->text(0) == QStringLiteral("Preset")) {
                dialog.Tree()->expandItem(top);
                dialog.Tree()->expandItem(top->child(0));
                dialog.Tree()->setCurrentItem(top->child(0)->child(0));
            }
        }
        Shoot(dialog, QStringLiteral("mappings-dialog"));
    }
    {
        BankMapDlg dialog(QStringLiteral("Bank Map"), &naming, nullptr);
        for (int i = 0; i < 128; ++i) {
            dialog.bankMap[size_t(i)] = std::int16_t(i < 8 ? 100 + i : i);
            dialog.bankMap[size_t(128 + i)] = std::int16_t(i < 8 ? 4 : 0);
        }
        Shoot(dialog, QStringLiteral("bankmap-dialog"));
    }
    GetSimmNameList().erase(4);
}
