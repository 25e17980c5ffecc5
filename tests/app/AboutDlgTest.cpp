// The About box, offscreen: the module line and the capability lines for no
// connection, an unprobed module and probed modules.
#include "support/TestStyle.h"

#include "app/AboutDlg.h"
#include "core/resources/GuiFont.h"
#include "midi/LoopbackBackend.h"
#include "module/Proteus.h"
#include "ui/controls/EditCtrls.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList Lines(const QListWidget* list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out << list->item(row)->text();
    return out;
}

class AboutDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestStyle(&style, dir, true);
        InstallGuiFont();
    }
    void TearDown() override { StopTestStyle(&style); }

    QTemporaryDir dir;
    GlobalStyle style;
};

} // namespace

TEST_F(AboutDlgTest, WithoutAConnectionOnlyTheProgramIsNamed)
{
    CAboutDlg dialog(QStringLiteral("About Box"), nullptr, nullptr);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Tabrine"));
    EXPECT_EQ(dialog.Name(), QStringLiteral("About Box"));
    EXPECT_EQ(dialog.TemplateId(), 100);
    EXPECT_EQ(dialog.OwnTooltipId(), 20000);
    EXPECT_EQ(dialog.ModuleText()->text(), QStringLiteral("Module"));
    EXPECT_EQ(dialog.CapabilityList()->count(), 0);
    bool versionShown = false;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        versionShown = versionShown || label->text() == QStringLiteral("Tabrine Version 1.34.0.0");
    EXPECT_TRUE(versionShown);
    dialog.ItemAs<QPushButton>(1)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(AboutDlgTest, NamesTheModuleAndWhatItWasFoundToDo)
{
    struct Case {
        const char* what;
        int familyMember;
        const char* revision;
        std::uint32_t capabilities;
        const char* moduleLine;
        QStringList lines;
    };
    const Case cases[] = {
        {"not probed yet", 3, "2.26", CAP_32_CHANNELS | CAP_ARPS_AND_BEATS, "Module Emu Proteus 2000, OS Version 2.26",
         {QStringLiteral("Module is untested for capabilities")}},
        {"probed 16-channel module without arps", 3, "1.00", CAP_TESTED | CAP_LCD_INTERROGATION | CAP_PRESET_DUMPS,
         "Module Emu Proteus 2000, OS Version 1.00",
         {QStringLiteral("Module has 16 channels"), QStringLiteral("Module has 12 controllers"),
          QStringLiteral("Module allows LCD interrogation"), QStringLiteral("Module does not support Arps and Beats"),
          QStringLiteral("Module performs Preset Dumps"), QStringLiteral("Module does not perform Setup Dumps"),
          QStringLiteral("Module does not perform Tuning Dumps"), QStringLiteral("Module does not perform Bank Map Dumps"),
          QStringLiteral("Module does not perform Sysex Dumps")}},
        {"probed module that does everything", 3, "2.26", 0x1FF1u, "Module Emu Proteus 2000, OS Version 2.26",
         {QStringLiteral("Module has 32 channels"), QStringLiteral("Module has 16 controllers"),
          QStringLiteral("Module allows LCD interrogation"), QStringLiteral("Module has Arps and Beats"),
          QStringLiteral("Module performs Preset Dumps"), QStringLiteral("Module performs Setup Dumps"),
          QStringLiteral("Module performs Tuning Dumps"), QStringLiteral("Module performs Bank Map Dumps"),
          QStringLiteral("Module performs Sysex Dumps")}},
        // A connection that has not identified a module yet: empty name and revision.
        {"nothing identified", 0, "", 0, "Module Emu , OS Version ", {QStringLiteral("Module is untested for capabilities")}},
    };
    auto backend = std::make_shared<LoopbackBackend>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Proteus proteus(backend);
        proteus.hardwareConfig.familyMember = c.familyMember;
        proteus.hardwareConfig.SetRevision(QString::fromLatin1(c.revision));
        proteus.SetCapabilities(c.capabilities);
        CAboutDlg dialog(QStringLiteral("About Box"), &proteus, nullptr);
        dialog.show();
        EXPECT_EQ(dialog.ModuleText()->text(), QString::fromLatin1(c.moduleLine));
        EXPECT_EQ(Lines(dialog.CapabilityList()), c.lines);
    }
}
