// Every control in each of its states (normal, focused, pressed, disabled,
// focused while the module is not ready)
// and the log window, on a real X display, saved as pictures under the build
// folder's screenshots/ for a person to look at.
#include "core/Logger.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "platform/SettingsStore.h"
#include "support/Screenshots.h"
#include "support/TestStyle.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/LoggerPopup.h"
#include "ui/controls/ProgressCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/BasicDialog.h"
#include "ui/framework/RootListener.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

/// The screen area of one control of a shown window.
QString SaveControl(QWidget* control, const QString& name)
{
    QScreen* screen = control->screen();
    const QPoint at = control->mapToGlobal(QPoint(0, 0));
    const QPixmap picture = screen->grabWindow(0, at.x(), at.y(), control->width(), control->height());
    const QString path = QDir(ScreenshotFolder()).filePath(name + QStringLiteral(".png"));
    return picture.save(path, "PNG") ? path : QString();
}

TEST(ControlScreenshots, EveryControlInEachStateAndTheLogWindow)
{
    QTemporaryDir dir;
    GlobalStyle style;
    StartTestStyle(&style, dir);
    // The module counts as ready, so each picture shows the state it is named after.
    GetGlobalConfigurations().SetBool(TestUI, true);
    RootListener root(nullptr);
    {
        BasicDialog dialog(QStringLiteral("Controls"), 0, false, &root, nullptr);
        dialog.resize(420, 240);
        ParamRecord colour(QStringLiteral("COLOUR"), 1, 0x00C08040);
        auto* button = new ButtonCtrl(&root, &dialog);
        button->setGeometry(10, 10, 110, 24);
        button->SetCaption(QStringLiteral("&Apply"));
        auto* bitmap = new BitmapButtonCtrl(&root, LampPixmap(Lamp::On), LampPixmap(Lamp::Disabled), &dialog);
        bitmap->move(130, 10);
        auto* swatch = new ColourSwatchCtrl(&root, &dialog);
        swatch->setGeometry(160, 10, 40, 24);
        swatch->BindParameter(nullptr, 0, &colour);
        auto* sw = new SwitchCtrl(&root, &dialog);
        sw->setGeometry(10, 40, 110, 24);
        sw->SetCaption(QStringLiteral("Switch"));
        auto* bitmapSwitch = new BitmapSwitchCtrl(&root, LampPixmap(Lamp::Off), LampPixmap(Lamp::Disabled), &dialog);
        bitmapSwitch->move(370, 40);
        auto* lit = new LitButtonCtrl(&root, &dialog);
        lit->setGeometry(130, 40, 110, 24);
        lit->SetCaption(QStringLiteral("Lamp"));
        auto* unlit = new UnLitButtonCtrl(&root, &dialog);
        unlit->setGeometry(250, 40, 110, 24);
        unlit->SetCaption(QStringLiteral("Unlit"));
        unlit->Setup(2, 0);
        auto* slider = new TrackerCtrl(&root, &dialog);
        slider->setGeometry(10, 70, 200, 40);
        slider->SetCaption(QStringLiteral("Volume"));
        slider->Setup(0, false, false);
        slider->SetRange(0, 127);
        slider->SetPosition(40);
        auto* vertical = new TrackerCtrl(&root, &dialog);
        vertical->setGeometry(220, 70, 40, 150);
        vertical->SetCaption(QStringLiteral("Pan"));
        vertical->Setup(0, false, false);
        vertical->SetRange(-64, 63);
        auto* bar = new ProgressCtrl(&root, &dialog);
        bar->setGeometry(10, 120, 200, 14);
        bar->SetPos(60);
        auto* edit = new NumericEditCtrl(&root, &dialog);
        edit->setGeometry(10, 145, 60, 22);
        edit->setText(QStringLiteral("64"));
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(50);

        const std::vector<std::pair<SelfDrawnControl*, const char*>> controls = {
            {button, "button"}, {bitmap, "bitmap-button"}, {swatch, "colour-swatch"}, {sw, "switch"},
            {bitmapSwitch, "bitmap-switch"}, {lit, "lit-button"}, {unlit, "unlit-button"}, {slider, "slider"},
            {vertical, "slider-vertical"}};
        auto shoot = [](QWidget* w, const QString& name) {
            w->repaint();
            QTest::qWait(20);
            EXPECT_FALSE(SaveControl(w, name).isEmpty()) << name.toStdString();
        };
        for (auto [w, name] : controls) {
            const QString base = QString::fromUtf8(name);
            edit->setFocus();
            shoot(w, base + QStringLiteral("-normal"));
            w->setFocus();
            shoot(w, base + QStringLiteral("-focused"));
            QTest::mousePress(w, Qt::LeftButton, {}, QPoint(3, 3));
            shoot(w, base + QStringLiteral("-pressed"));
            QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(-50, -50)); // outside: no click
            w->setEnabled(false);
            shoot(w, base + QStringLiteral("-disabled"));
            w->setEnabled(true);
            // Focused while the module is not ready: the disabled look, without the focus frame.
            GetGlobalConfigurations().SetBool(TestUI, false);
            w->setFocus();
            shoot(w, base + QStringLiteral("-not-ready"));
            GetGlobalConfigurations().SetBool(TestUI, true);
        }
        bar->setEnabled(false);
        shoot(bar, QStringLiteral("progress-disabled"));
        bar->setEnabled(true);
        shoot(bar, QStringLiteral("progress"));
        EXPECT_FALSE(SaveScreenshot(&dialog, QStringLiteral("controls")).isEmpty());
    }
    {
        TLOG(-2, u"A warning for the picture");
        TLOG(0, u"An information line\r\nwith a second line");
        LoggerPopup log(QStringLiteral("Message Log"), false, &root, nullptr);
        log.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&log));
        QTest::qWait(50);
        EXPECT_FALSE(SaveScreenshot(&log, QStringLiteral("message-log")).isEmpty());
    }
    StopTestStyle(&style);
}

} // namespace
