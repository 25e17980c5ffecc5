// The preset editor's child popups on a real X display (a private Xvfb),
// with screenshots in the build folder's screenshots/ for a person to look
// at: each popup showing values from the simulated module, and the layer
// patch cords both at full height and shortened, scrolled to the end.
#include "ChildPopupFixture.h"
#include "support/Screenshots.h"
#include "support/ShortcutCheck.h"

#include "editors/LayerPatchCordsPopup.h"
#include "editors/PresetArpPopup.h"
#include "editors/PresetLinksPopup.h"
#include "editors/PresetPatchCordsPopup.h"
#include "editors/SplitsPopup.h"

#include <QApplication>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace childpopuptest;

namespace {

class ChildPopupsScreenshotTest : public ChildPopupTest {
protected:
    void Picture(QWidget* window, const char* name)
    {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        QTest::qWait(100);
        QCoreApplication::processEvents();
        EXPECT_FALSE(SaveScreenshot(window, QString::fromLatin1(name), 4).isEmpty()) << name;
        EXPECT_TRUE(EachKeyBoundOnce(window)) << name;
    }
    /// Shows a new popup (hiding the one before); the popups stay entered in
    /// the parent until the end of the test.
    template <class P> P* Shown(const QString& title)
    {
        if (!popups.empty())
            popups.back()->Show(nullptr, QString());
        std::unique_ptr<P> popup = Make<P>();
        P* p = popup.get();
        popups.push_back(std::move(popup));
        p->move(40, 40);
        p->Show(&owner, title);
        return p;
    }
    void DropPopups() override { popups.clear(); }
    std::vector<std::unique_ptr<Popup>> popups;
};

TEST_F(ChildPopupsScreenshotTest, ChildPopups)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    SetModule(LAYER_KEY_LOW, 36);
    SetModule(LAYER_KEY_LOWFADE, 12);
    SetModule(LAYER_KEY_HIGH, 96);
    SetModule(LAYER_VEL_LOW, 20);
    SetModule(PRESET_ARP_STATUS, 1);
    SetModule(PRESET_ARP_MODE, 2);
    SetModule(PRESET_ARP_NOTE, 5);
    SetModule(PRESET_ARP_GATE_TIME, 80);
    SetModule(PRESET_ARP_KR_HIGH, 96);
    SetModule(PRESET_ARP_LATCH, 1);
    SetModule(LINK_1_PRESET, 12);
    SetModule(LINK_1_VOLUME, -6);
    SetModule(LINK_1_DELAY, 20);
    SetModule(LINK_1_KEY_LOW, 60);
    for (int k = 0; k < 12; ++k) {
        SetModule(PRESET_CORD_0_SOURCE + 3 * k, std::next(GetPresetCordSourceList().begin(), k)->first);
        SetModule(PRESET_CORD_0_DEST + 3 * k, std::next(GetPresetCordDestinationList().begin(), k)->first);
        SetModule(PRESET_CORD_0_AMOUNT + 3 * k, 15 * k - 80);
    }
    for (int k = 0; k < 24; ++k) {
        SetModule(LAYER_CORD0_SRC + 3 * k, std::next(GetLayerCordSourceList().begin(), 3 * k)->first);
        SetModule(LAYER_CORD0_SRC + 3 * k + 1, std::next(GetLayerCordDestinationList().begin(), 2 * k)->first);
        SetModule(LAYER_CORD0_SRC + 3 * k + 2, 8 * k - 90);
    }

    {
        auto popup = Shown<SplitsPopup>(QStringLiteral("Layer Splits"));
        Picture(popup, "splits");
    }
    {
        auto popup = Shown<PresetArpPopup>(QStringLiteral("Preset Arpeggiator Settings"));
        Picture(popup, "preset-arp");
    }
    {
        auto popup = Shown<PresetLinksPopup>(QStringLiteral("Preset Links"));
        Picture(popup, "preset-links");
    }
    {
        auto popup = Shown<PresetPatchCordsPopup>(QStringLiteral("Preset Patch Cords"));
        Picture(popup, "preset-patch-cords");
    }
    {
        auto popup = Shown<LayerPatchCordsPopup>(QStringLiteral("Layer Patch Cords"));
        Picture(popup, "layer-patch-cords");
        popup->resize(popup->width(), popup->Rows()->height() / 2);
        QCoreApplication::processEvents();
        popup->ScrollBar()->setValue(popup->ScrollBar()->maximum());
        Picture(popup, "layer-patch-cords-short-scrolled");
    }
}

} // namespace
