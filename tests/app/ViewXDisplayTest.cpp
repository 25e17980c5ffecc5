// The main panel on a real X display (a private Xvfb): disconnected, then
// connected to the simulated module, with a tooltip and a popup of the panel
// open. Screenshots go to the build folder's screenshots/ for a person to
// look at.
#include "ViewFixture.h"

#include "support/Screenshots.h"

#include "app/ViewControls.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/Popup.h"

#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

using namespace viewtest;

namespace {

class ViewXDisplayTest : public ViewFixture {
protected:
    void Show()
    {
        view->setWindowTitle(QStringLiteral("Tabrine"));
        view->move(40, 40);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        QCoreApplication::processEvents();
    }
    void Settle()
    {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            QTest::qWait(20);
        }
    }
};

QWidget* ShownTooltip()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

TEST_F(ViewXDisplayTest, PanelDisconnectedAndConnected)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    for (const char* profile : {"minimal", "full"}) {
        SCOPED_TRACE(profile);
        Start(QByteArray(R"({"base": ")") + profile + R"("})");
        Show();
        // Nothing of the panel lies outside it.
        const QRect panel = view->rect();
        for (QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!child->isWindow() && child->isVisibleTo(view.get())) {
                EXPECT_TRUE(panel.contains(child->geometry())) << child->objectName().toStdString();
            }
        Settle();
        EXPECT_FALSE(SaveScreenshot(view.get(), QStringLiteral("main-panel-%1-disconnected").arg(profile)).isEmpty());

        // The progress of a connect under way, as the connect sequence reports it.
        view->OnBeginProgress(0, 7, QStringLiteral("Checking Hardware"));
        for (int i = 0; i < 3; ++i)
            view->OnProgressStep();
        Settle();
        EXPECT_FALSE(SaveScreenshot(view.get(), QStringLiteral("main-panel-%1-progress").arg(profile)).isEmpty());
        view->OnEndProgress();

        Connect();
        Settle();
        EXPECT_TRUE(view->Item(View::VolumeItem)->isEnabled());
        EXPECT_FALSE(SaveScreenshot(view.get(), QStringLiteral("main-panel-%1-connected").arg(profile)).isEmpty());
    }
}

TEST_F(ViewXDisplayTest, TooltipAndPresetListOverTheConnectedPanel)
{
    Start(R"({"base": "full"})");
    Show();
    Connect();
    Settle();
    GetGlobalConfigurations().SetDword(EnableTooltips, 1);
    QWidget* soundsOff = view->Item(View::SoundsOffItem);
    const QPoint at = soundsOff->geometry().center();
    QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
    QCoreApplication::sendEvent(view.get(), &help);
    ASSERT_TRUE(QTest::qWaitFor([] { return ShownTooltip() != nullptr; }));
    QWidget* tip = ShownTooltip();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tip));
    Settle();
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("turn all sounds off")));
    EXPECT_FALSE(SaveScreenArea(view->frameGeometry().united(tip->frameGeometry()).adjusted(-4, -4, 4, 4),
                                QStringLiteral("main-panel-tooltip"))
                     .isEmpty());
    QToolTip::hideText();

    // The preset selector opens the panel's preset list beside the panel.
    auto* preset = view->ItemAs<SelectCtrl>(View::PresetItem);
    preset->Toggle();
    auto* list = qobject_cast<QWidget*>(view->GetPopup(View::PresetSelectionPopup));
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list));
    Settle();
    EXPECT_FALSE(SaveScreenArea(view->frameGeometry().united(list->frameGeometry()).adjusted(-4, -4, 4, 4),
                                QStringLiteral("main-panel-preset-list"))
                     .isEmpty());
    preset->Toggle();
    EXPECT_FALSE(list->isVisible());
}
