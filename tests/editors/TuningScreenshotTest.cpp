// The tuning editor and the file dialogs on a real X display (a private
// Xvfb), with screenshots in the build folder's screenshots/ for a person to
// look at: the editor in replicate mode, without it at the top octave, on a
// factory tuning, and each file dialog with its panel.
#include "TuningEditorFixture.h"
#include "support/Screenshots.h"
#include "support/ShortcutCheck.h"

#include "module/NameLists.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace tuningtest;

namespace {

class TuningScreenshotTest : public TuningEditorTest {
protected:
    void SetUp() override
    {
        RegisterAllNameLists();
        TuningEditorTest::SetUp();
    }
    void Picture(QWidget* window, const char* name)
    {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        QTest::qWait(100);
        QCoreApplication::processEvents();
        EXPECT_FALSE(SaveScreenshot(window, QString::fromLatin1(name), 4).isEmpty()) << name;
    }
};

} // namespace

TEST_F(TuningScreenshotTest, TuningEditor)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    root->OnDeviceConnected();
    popup->move(40, 40);
    Open();
    popup->KeySlider(4)->SetPosition(3);
    popup->CoarseSlider(7)->SetPosition(2);
    popup->FineSlider(7)->SetPosition(64);
    Picture(popup.get(), "tuning-editor");
    EXPECT_TRUE(EachKeyBoundOnce(popup.get()));

    popup->ReplicateSwitch()->Toggle(); // the question: Yes (OK answers as the default)
    presenter->answers = {};
    for (int i = 0; i < 8; ++i)
        popup->Button(1223)->OnClicked();
    ASSERT_EQ(popup->Octave(), 10);
    Picture(popup.get(), "tuning-editor-top-octave");

    ParamRecord tune(QStringLiteral("PRESET_KBD_TUNE"), PRESET_KBD_TUNE, 4);
    SetModuleTuning(4);
    popup->ParameterChanged(&tune);
    Picture(popup.get(), "tuning-editor-factory-tuning");

}

TEST_F(TuningScreenshotTest, FileDialogs)
{
    const QString file = WriteFile(QStringLiteral("bass.sysex"), QByteArray("\xF0\xF7", 2));
    WriteFile(QStringLiteral("just.scl"), "Just\n1\n2/1\n");
    WriteFile(QStringLiteral("bass.xml"), "<x/>");
    {
        FileDlg dlg(true, file, nullptr);
        dlg.move(30, 30);
        dlg.show();
        Picture(&dlg, "file-dialog-preset");
        dlg.SelectFileType(2);
        Picture(&dlg, "file-dialog-preset-sysex-type");
    }
    {
        SysexFileDlg dlg(false, dir.filePath(QStringLiteral("tuning.sysex")), nullptr);
        dlg.move(30, 30);
        dlg.show();
        Picture(&dlg, "file-dialog-sysex-save");
    }
    {
        ScalaFileDlg dlg(dir.filePath(QStringLiteral("just.scl")), nullptr);
        dlg.move(30, 30);
        dlg.show();
        Picture(&dlg, "file-dialog-scala");
    }
    {
        SonarFileDlg dlg(QString(), true, true, nullptr);
        dlg.deviceName = QStringLiteral("Proteus 2000");
        dlg.setDirectory(dir.path());
        dlg.move(30, 30);
        dlg.show();
        Picture(&dlg, "file-dialog-instrument-definition");
    }
}
