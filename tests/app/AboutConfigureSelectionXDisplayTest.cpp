// The shell's dialogs on a real X display, each shown as the program shows
// it and saved as a screenshot under the build folder's screenshots/ for a
// person to look at: Configure Device, About and the object selection dialogs.
#include "support/Screenshots.h"
#include "support/TestStyle.h"

#include "app/AboutDlg.h"
#include "app/ConfigureDeviceDlg.h"
#include "core/resources/GuiFont.h"
#include "midi/LoopbackBackend.h"
#include "midi/MidiBackend.h"
#include "module/Proteus.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class NamedPortsBackend : public MidiBackend {
public:
    QString Name() const override { return QStringLiteral("Named"); }
    std::vector<MidiPortInfo> InputPorts() override
    {
        return {{0, QStringLiteral("Midi Through Port-0 14:0")}, {1, QStringLiteral("UM-ONE MIDI 1 24:0")},
                {2, QStringLiteral("Proteus 2000 MIDI In 28:0")}};
    }
    std::vector<MidiPortInfo> OutputPorts() override
    {
        return {{0, QStringLiteral("Midi Through Port-0 14:0")}, {1, QStringLiteral("UM-ONE MIDI 1 24:0")},
                {2, QStringLiteral("Proteus 2000 MIDI Out A 28:0")}, {3, QStringLiteral("Proteus 2000 MIDI Out B 28:1")}};
    }
    std::unique_ptr<MidiInputConnection> OpenInput(int, MidiInputSink*, MidiResult*) override { return nullptr; }
    std::unique_ptr<MidiOutputConnection> OpenOutput(int, MidiOutputSink*, MidiResult*) override { return nullptr; }
    bool ReportsOpenAndClose() const override { return false; }
};

class DialogScreenshots : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestStyle(&style, dir);
        InstallGuiFont();
    }
    void TearDown() override
    {
        SetCurrentMidiBackend(nullptr);
        StopTestStyle(&style);
    }
    /// Shows the dialog, waits until it is on the screen and saves it.
    static void ShowAndSave(QDialog& dialog, const QString& name)
    {
        dialog.move(40, 40);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(50);  // the first paint after the exposure
        EXPECT_FALSE(SaveScreenshot(&dialog, name, 4).isEmpty());
    }

    QTemporaryDir dir;
    GlobalStyle style;
};

} // namespace

TEST_F(DialogScreenshots, ConfigureDevice)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    SetCurrentMidiBackend(std::make_shared<NamedPortsBackend>());
    ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), nullptr);
    dialog.m_inputPort = 2;
    dialog.m_outputPort = 2;
    dialog.m_bPort = 3;
    dialog.m_controllerPort = 1;
    dialog.m_deviceId = 0;
    dialog.m_longTimeout = 1000;
    dialog.m_writeDelay = 50;
    dialog.m_sysExDelay = 5;
    ShowAndSave(dialog, QStringLiteral("configure-device"));

    SetCurrentMidiBackend(nullptr);
}

TEST_F(DialogScreenshots, About)
{
    {
        CAboutDlg dialog(QStringLiteral("About Box"), nullptr, nullptr);
        ShowAndSave(dialog, QStringLiteral("about-no-module"));
    }
    Proteus proteus(std::make_shared<LoopbackBackend>());
    proteus.hardwareConfig.familyMember = 3;
    proteus.hardwareConfig.SetRevision(QStringLiteral("2.26"));
    proteus.SetCapabilities(CAP_TESTED | CAP_32_CHANNELS | CAP_16_CONTROLLERS | CAP_ARPS_AND_BEATS | CAP_PRESET_DUMPS |
                            CAP_SETUP_DUMPS);
    CAboutDlg dialog(QStringLiteral("About Box"), &proteus, nullptr);
    ShowAndSave(dialog, QStringLiteral("about-probed-module"));
}
