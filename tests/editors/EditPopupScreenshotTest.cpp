// The preset editor on a real X display (a private Xvfb), with screenshots in
// the build folder's screenshots/ for a person to look at: the first layer of
// a downloaded preset, another layer with its mute switch on, and the editor
// for a module without the optional capabilities.
#include "PresetEditorFixture.h"
#include "support/Screenshots.h"
#include "support/ShortcutCheck.h"

#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace presettest;

namespace {

class PresetEditorScreenshotTest : public PresetEditorTest {
protected:
    void Picture(QWidget* window, const char* name)
    {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        QTest::qWait(100);
        QCoreApplication::processEvents();
        EXPECT_FALSE(SaveScreenshot(window, QString::fromLatin1(name), 4).isEmpty()) << name;
    }
    void SelectLayer(int layer)
    {
        ParamRecord* r = popup->GetParameter(LAYER_SELECT);
        r->previousValue = r->value;
        r->value = layer;
        ASSERT_TRUE(popup->EditParameter(r));
    }
};

} // namespace

TEST_F(PresetEditorScreenshotTest, PresetEditor)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    SetModuleValue(LAYER_INSTRUMENT, 12);
    SetModuleValue(LAYER_VOLUME, -6);
    SetModuleValue(LAYER_FILT_FREQ, 1200);
    popup->move(30, 30);
    Open();
    Item<TrackerCtrl>(1081)->SetPosition(64);
    Picture(popup.get(), "preset-editor");
    EXPECT_TRUE(EachKeyBoundOnce(popup.get()));

    SelectLayer(1);
    Item<LitButtonCtrl>(EditPopup::FirstMuteItem + 1)->Toggle();
    Item<LitButtonCtrl>(EditPopup::FirstMuteItem + 1)->update(); // a click repaints; Toggle alone does not
    EXPECT_EQ(popup->OwnRecord(MUTELAYER2_BUTTON)->value, 0);
    EXPECT_FALSE(Item<QWidget>(EditPopup::InstrumentItem)->isEnabled());
    Picture(popup.get(), "preset-editor-layer2-muted");
    EXPECT_FALSE(Item<LitButtonCtrl>(EditPopup::FirstMuteItem + 1)->IsOn());
    EXPECT_EQ(popup->OwnRecord(MUTELAYER2_BUTTON)->value, 0);
}

TEST_F(PresetEditorScreenshotTest, PresetEditorOnABasicModule)
{
    proteus->SetCapabilities(CAP_TESTED);
    popup->move(30, 30);
    Open();
    Picture(popup.get(), "preset-editor-basic-module");
}
