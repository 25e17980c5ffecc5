// The shell's dialogs on a real X display, each shown as the program shows
// it and saved as a screenshot under the build folder's screenshots/ for a
// person to look at: Configure Device, About and the object selection dialogs.
#include "support/Screenshots.h"
#include "support/TestStyle.h"

#include "app/AboutDlg.h"
#include "app/ConfigureDeviceDlg.h"
#include "app/SelectionDialogs.h"
#include "core/ObjectKind.h"
#include "module/ParameterIds.h"
#include "ui/controls/SelectionPopups.h"
#include "core/resources/GuiFont.h"
#include "midi/LoopbackBackend.h"
#include "midi/MidiBackend.h"
#include "module/Proteus.h"

#include <QComboBox>
#include <QTimer>
#include <QTreeView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

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

/// The main panel as the selection dialogs see it: the current preset and
/// arp pattern, and names for the objects.
class PanelDouble : public ControlListener {
public:
    PanelDouble()
    {
        preset.romId = 5;
        preset.value = 7;
        arp.romId = 5;
        arp.value = 40;
        AddParameter(&preset);
        AddParameter(&arp);
    }
    bool RequestParameterValues(ParamRecord*) override { return false; }
    bool RequestParameterMinMax(ParamRecord*) override { return false; }
    bool EditParameter(ParamRecord*) override { return true; }
    QString GetObjectName(int kind, int romId, int index) override
    {
        switch (kind) {
        case OBJECT_PRESET: return romId == 0 ? QStringLiteral("My Big Strings") : QStringLiteral("Vintage Pad 2");
        case OBJECT_ARP: return QStringLiteral("Funky Groove 4");
        case OBJECT_SETUP: return QStringLiteral("Live Rig Split");
        default: return QStringLiteral("Object %1").arg(index);
        }
    }
    Proteus* GetProteus() override { return nullptr; }
    MidiPort* GetAltPort() override { return nullptr; }
    bool IsDeviceReady() override { return true; }
    void AddPopup(const QString& name, QWidget* popup) override { popups[name] = popup; }
    QWidget* FindPopup(const QString& name) override { return popups.count(name) ? popups[name] : nullptr; }
    void RemovePopup(const QString& name) override { popups.erase(name); }

    std::map<QString, QWidget*> popups;

    ParamRecord preset{QStringLiteral("MULTIMODE_PRESET"), MULTIMODE_PRESET, 0};
    ParamRecord arp{QStringLiteral("ARP_PATTERN_SELECT"), ARP_PATTERN_SELECT, 0};
};

/// The SIMM names a connected module gives.
QString SimmName(int simmId)
{
    return simmId == 0 ? QStringLiteral("User") : QStringLiteral("Composer");
}

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

TEST_F(DialogScreenshots, SelectionDialogs)
{
    PanelDouble panel;
    {
        SaveDlg dialog(QStringLiteral("Save Preset"), &panel, nullptr);
        dialog.Selector()->simmName = SimmName;
        ShowAndSave(dialog, QStringLiteral("save-preset"));
    }
    {
        DumpDlg dialog(QStringLiteral("Dump Preset"), &panel, nullptr);
        dialog.Selector()->simmName = SimmName;
        ShowAndSave(dialog, QStringLiteral("dump-preset"));
    }
    {
        CopyArpDlg dialog(QStringLiteral("Copy Arp"), &panel, nullptr);
        dialog.Selector()->simmName = SimmName;
        ShowAndSave(dialog, QStringLiteral("copy-arp"));
    }
    for (bool restore : {false, true}) {
        SetupSelectDlg dialog(QStringLiteral("Select Setup"), &panel, nullptr);
        dialog.Selector()->simmName = SimmName;
        dialog.m_restore = restore;
        ShowAndSave(dialog, restore ? QStringLiteral("select-setup-restore") : QStringLiteral("select-setup-store"));
    }
    {
        ExportDataDlg dialog(QStringLiteral("Export Preset"), &panel, nullptr);
        dialog.Selector()->simmName = SimmName;
        ShowAndSave(dialog, QStringLiteral("export-data-preset"));
        dialog.SectionList()->setCurrentIndex(dialog.SectionList()->findText(QStringLiteral("Layer Envelope")));
        QTest::qWait(50);
        EXPECT_FALSE(SaveScreenshot(&dialog, QStringLiteral("export-data-layer"), 4).isEmpty());
    }
    {
        CopyPresetDlg dialog(QStringLiteral("Copy Preset"), &panel, nullptr);
        dialog.SourceSelector()->simmName = SimmName;
        dialog.DestinationSelector()->simmName = SimmName;
        ShowAndSave(dialog, QStringLiteral("copy-preset"));
        dialog.CopyList()->setCurrentIndex(dialog.CopyList()->findText(QStringLiteral("Layer Common")));
        dialog.SourceLayerList()->setCurrentIndex(2);
        QTest::qWait(50);
        EXPECT_FALSE(SaveScreenshot(&dialog, QStringLiteral("copy-preset-layer"), 4).isEmpty());
    }
}

TEST_F(DialogScreenshots, TheMainPanelsPopupAnswersWhileASelectionDialogRuns)
{
    // The main window owns both the selection popup and the dialog; the
    // dialog runs modally, yet the user must be able to pick in the popup.
    QWidget mainWindow;
    mainWindow.resize(300, 200);
    mainWindow.move(10, 10);
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    PanelDouble panel;
    NameSelectionPopup popup(OBJECT_PRESET, QStringLiteral("PresetSelection"), false, &panel, &mainWindow);
    popup.List()->simmSlots = [] {
        SimmSlot user;
        user.presets = 16;
        return std::vector<SimmSlot>{user};
    };
    popup.List()->simmName = SimmName;
    panel.AddPopup(QStringLiteral("PresetSelection"), &popup);

    SaveDlg dialog(QStringLiteral("Save Preset"), &panel, &mainWindow);
    dialog.Selector()->simmName = SimmName;
    bool picked = false;
    QTimer::singleShot(0, [&] {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QCoreApplication::processEvents();
        QTest::mouseClick(dialog.Selector(), Qt::LeftButton, {}, QPoint(20, 8));
        ASSERT_TRUE(popup.isVisible());
        popup.move(dialog.frameGeometry().right() + 20, dialog.y());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
        QTreeView* view = popup.List();
        const QRect row = view->visualRect(view->model()->index(3, 0));
        // Through the window system, as a real click comes: a window the
        // dialog blocks would drop it.
        const QPoint at = view->viewport()->mapTo(&popup, row.center());
        QTest::mouseClick(popup.windowHandle(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        picked = dialog.Record(SAVE_PRESET_BUTTON)->value == (popup.List()->Model().KeyAt(3) & 0xFFFF);
        QTest::qWait(50);
        EXPECT_FALSE(SaveScreenArea(dialog.frameGeometry().united(popup.frameGeometry()).adjusted(-4, -4, 4, 4),
                                    QStringLiteral("save-preset-with-popup"))
                         .isEmpty());
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(picked) << "the popup took no clicks while the dialog ran";
    panel.RemovePopup(QStringLiteral("PresetSelection"));
}
