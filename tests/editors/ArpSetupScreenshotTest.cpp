// The arp pattern editor and the multisetup editor on a real X display (a
// private Xvfb), with screenshots in the build folder's screenshots/ for a
// person to look at.
#include "EditorPopupFixture.h"
#include "support/Screenshots.h"
#include "support/ShortcutCheck.h"

#include "module/NameLists.h"
#include "ui/controls/ButtonCtrl.h"

#include <QTest>

using namespace editortest;

namespace {

class ArpSetupScreenshotTest : public EditorPopupTest {
protected:
    void SetUp() override
    {
        RegisterAllNameLists();
        EditorPopupTest::SetUp();
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

TEST_F(ArpSetupScreenshotTest, ArpPatternEditor)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    StartConnected(R"({"base": "full"})");
    link->withDevice([&](sim::Device&) {
        for (int s = 0; s < 32; ++s) {
            module->setParameterValueAt(ARP_STEP_KEY_OFFSET, {0, s}, (s * 7) % 25 - 12);
            module->setParameterValueAt(ARP_STEP_VELOCITY, {0, s}, 40 + 2 * s);
        }
        return 0;
    });
    TestArpEditPopup* popup = Arp();
    ASSERT_NE(popup, nullptr);
    popup->move(40, 40);
    popup->Show(&owner, QStringLiteral("Edit Arp"));
    popup->SelectRow(4);
    Picture(popup, "arp-pattern-editor");
    EXPECT_TRUE(EachKeyBoundOnce(popup));
}

TEST_F(ArpSetupScreenshotTest, MultisetupEditor)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    StartConnected(R"({"base": "a2k"})");
    TestSetupInfoPopup* popup = SetupPopup();
    ASSERT_NE(popup, nullptr);
    popup->move(40, 40);
    popup->Show(&owner, QStringLiteral("Setup Information"));
    Picture(popup, "multisetup-editor");
    EXPECT_TRUE(EachKeyBoundOnce(popup));
    popup->Button(1273)->OnClicked();
    Picture(popup, "multisetup-editor-page-2");
}
