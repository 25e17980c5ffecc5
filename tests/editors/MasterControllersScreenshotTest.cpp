// The master settings, master arpeggiator, beat editor and real-time
// controller popups on a real X display (a private Xvfb), connected to the
// simulated module, with screenshots in the build folder's screenshots/ for a
// person to look at.
#include "app/ViewFixture.h"
#include "support/Screenshots.h"
#include "support/ShortcutCheck.h"

#include "editors/BeatEditPopup.h"
#include "editors/ControllerPopup.h"
#include "editors/EditorPopups.h"
#include "editors/MasterArpsPopup.h"
#include "editors/MasterPopup.h"
#include "module/NameLists.h"
#include "ui/controls/SelectionPopups.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace viewtest;

namespace {

class MasterControllersScreenshotTest : public ViewFixture {
protected:
    void Picture(QWidget* window, const QString& name)
    {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            QTest::qWait(20);
        }
        // Nothing of the form lies outside the window.
        const QRect inside = window->rect();
        for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!child->isWindow() && child->isVisibleTo(window)) {
                EXPECT_TRUE(inside.contains(child->geometry())) << name.toStdString() << " "
                                                                << child->objectName().toStdString();
            }
        EXPECT_FALSE(SaveScreenshot(window, name, 4).isEmpty()) << name.toStdString();
    }
};

struct Owner : PopupListener {
    bool OnPopupClosing() override { return true; }
};

} // namespace

TEST_F(MasterControllersScreenshotTest, Popups)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    RegisterAllNameLists();
    for (const char* profile : {"full", "minimal"}) {
        SCOPED_TRACE(profile);
        Start(QByteArray(R"({"base": ")") + profile + R"("})");
        view->SetEditorFactory(CreateEditorPopup);
        Connect();
        Owner owner;
        auto* master = dynamic_cast<MasterPopup*>(view->GetPopup(View::MasterPopup));
        auto* controllers = dynamic_cast<ControllerPopup*>(view->GetPopup(View::ControllersPopup));
        ASSERT_TRUE(master && controllers);
        const QString suffix = QString::fromLatin1(profile);

        master->move(20, 20);
        master->Show(&owner, QString());
        Picture(master, QStringLiteral("master-settings-") + suffix);
        EXPECT_TRUE(EachKeyBoundOnce(master));
        if (master->MasterArpSwitch()->isVisible()) {
            master->MasterArpSwitch()->Toggle();
            MasterArpsPopup* arp = master->MasterArp();
            arp->move(60, 60);
            Picture(arp, QStringLiteral("master-arp-") + suffix);
            EXPECT_TRUE(EachKeyBoundOnce(arp));
            arp->BeatEditorSwitch()->Toggle();
            BeatEditPopup* beat = arp->BeatEditor();
            beat->move(100, 100);
            beat->SelectRow(3);
            Picture(beat, QStringLiteral("beat-editor-") + suffix);
            EXPECT_TRUE(EachKeyBoundOnce(beat));
        }
        master->Show(nullptr, QString());

        controllers->move(20, 20);
        controllers->Show(&owner, QString());
        Picture(controllers, QStringLiteral("controllers-") + suffix);
        EXPECT_TRUE(EachKeyBoundOnce(controllers));
        controllers->Show(nullptr, QString());
    }
}
