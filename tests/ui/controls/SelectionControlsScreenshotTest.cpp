// Pictures of the value menu (closed and dropped down), the object select
// button, the name list popup, the slider popup, the on-screen keyboard with a
// held key, the envelope graph, the name edit, the popup switch and the
// keyboard configuration dialog, and of the controls disabled, on a real X
// display, under the build folder's screenshots/.
#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "platform/SettingsStore.h"
#include "support/Screenshots.h"
#include "support/TestStyle.h"
#include "ui/controls/ConfigureKeyboardDlg.h"
#include "ui/controls/EnvGraphCtrl.h"
#include "ui/controls/KeyBoardCtrl.h"
#include "ui/controls/NameEditCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "ui/framework/BasicDialog.h"
#include "ui/framework/RootListener.h"

#include <QApplication>
#include <QScreen>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

/// A root that names objects and keeps popups, as the main panel will.
class PictureRoot : public RootListener {
public:
    PictureRoot() : RootListener(nullptr) {}
    QString GetObjectName(int, int romId, int index) override
    {
        static const char* const names[] = {"Pno:Grand Piano", "Str:Warm Strings", "Bas:Fretless", "Org:Drawbar",
                                            "Syn:Saw Lead", "Pad:Glass Pad"};
        return romId == 0 && index > 5 ? QStringLiteral("Usr:My Sound %1").arg(index)
                                       : QString::fromLatin1(names[index % 6]);
    }
    bool IsDeviceReady() override { return true; }
};

/// The screen area of a window, or of one control of a shown window.
void Shoot(QWidget* w, const QString& name)
{
    w->repaint();
    QTest::qWait(30);
    if (w->isWindow()) {
        EXPECT_FALSE(SaveScreenshot(w, name).isEmpty()) << name.toStdString();
        return;
    }
    const QPoint at = w->mapToGlobal(QPoint(0, 0));
    const QPixmap picture = w->screen()->grabWindow(0, at.x(), at.y(), w->width(), w->height());
    EXPECT_TRUE(picture.save(QDir(ScreenshotFolder()).filePath(name + QStringLiteral(".png")), "PNG")) << name.toStdString();
}

TEST(SelectionControlScreenshots, EachControlAndPopup)
{
    QTemporaryDir dir;
    GlobalStyle style;
    StartTestStyle(&style, dir);
    {
        PictureRoot root;
        BasicDialog dialog(QStringLiteral("Controls II"), 0, false, &root, nullptr);
        dialog.resize(520, 420);

        ParamRecord shape(QStringLiteral("LFO_SHAPE"), 300, 2);
        shape.maximum = 20;
        NameMap shapes = {{0, QStringLiteral("Sine")}, {1, QStringLiteral("Square")}, {2, QStringLiteral("Saw & Ramp")},
                          {3, QStringLiteral("Triangle")}};
        auto* menu = new MenuCtrl(&root, &dialog);
        menu->setGeometry(10, 10, 180, 24);
        menu->SetCaption(QStringLiteral("&Shape"));
        menu->BindParameter(nullptr, 0, &shape);
        menu->Setup(true, 0, &shapes, 0);

        ParamRecord preset(QStringLiteral("MULTIMODE_PRESET"), 130, 1);
        preset.romId = 0;
        auto* select = new SelectCtrl(&root, &dialog);
        select->setGeometry(200, 10, 300, 24);
        select->SetCaption(QStringLiteral("Preset"));
        select->BindParameter(nullptr, 0, &preset);
        select->Setup(OBJECT_PRESET, false, false, QStringLiteral("PresetNames"), QString(), 0);

        auto* keys = new KeyBoardCtrl(&root, &dialog);
        keys->move(10, 44);

        std::array<ParamRecord, 12> env;
        const int times[6] = {20, 40, 60, 30, 80, 40};
        const int levels[6] = {100, 80, 60, 50, 20, 0};
        auto* graph = new EnvGraphCtrl(&root, &dialog);
        graph->setGeometry(10, 130, 340, 160);
        graph->SetCaption(QStringLiteral("Filter Envelope"));
        for (int i = 0; i < 12; ++i) {
            env[size_t(i)] = ParamRecord(QStringLiteral("ENV_%1").arg(i), 600 + i, i < 6 ? times[i] : levels[i - 6]);
            env[size_t(i)].minimum = i < 6 ? 0 : -64;
            env[size_t(i)].maximum = i < 6 ? 127 : 100;
            graph->BindParameter(nullptr, 0, &env[size_t(i)]);
        }
        graph->Setup(0);

        std::array<ParamRecord, 16> chars;
        const QString text = QStringLiteral("Grand Piano");
        auto* name = new NameCtrl(&root, &dialog);
        name->setGeometry(360, 130, 150, 22);
        for (int i = 0; i < 16; ++i) {
            chars[size_t(i)] = ParamRecord(QStringLiteral("C%1").arg(i), 700 + i, i < text.size() ? text[i].unicode() : ' ');
            name->BindParameter(nullptr, 0, &chars[size_t(i)]);
        }
        name->Setup(16, 0);
        GetGlobalConfigurations().SetBool(TestUI, true); // the characters show without a module
        name->Activate();

        ParamRecord lfoOpen(QStringLiteral("LFO_POPUP"), 901, 0);
        auto* popupSwitch = new PopupSwitchCtrl(&root, &dialog);
        popupSwitch->setGeometry(360, 160, 150, 24);
        popupSwitch->SetCaption(QStringLiteral("Names..."));
        popupSwitch->BindParameter(nullptr, 0, &lfoOpen);
        popupSwitch->Setup(QStringLiteral("PresetNames"), 0);

        NameSelectionPopup names(OBJECT_PRESET, QStringLiteral("PresetNames"), false, &root, &dialog);
        names.List()->simmSlots = [] {
            SimmSlot user, rom;
            user.presets = 128;
            rom.simmId = 4;
            rom.presets = 512;
            rom.flag = 1;
            return std::vector<SimmSlot>{user, rom};
        };
        names.List()->simmName = [](int simm) { return simm ? QStringLiteral("Composer") : QStringLiteral("User"); };
        root.AddPopup(QStringLiteral("PresetNames"), &names);

        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::qWait(50);
        keys->SetMode(1);
        QTest::mouseClick(keys, Qt::LeftButton, {}, QPoint(4 + 2 * 70 + 25, 60)); // E, held
        QApplication::setActiveWindow(&dialog);
        graph->setFocus();
        QTest::qWait(30);
        Shoot(&dialog, QStringLiteral("selection-controls"));
        Shoot(keys, QStringLiteral("keyboard-held-note"));
        Shoot(graph, QStringLiteral("envelope-graph-focused"));
        keys->SetMode(0);

        // The value menu dropped down, its first item highlighted.
        QTimer::singleShot(0, qApp, [&] {
            QTimer::singleShot(80, qApp, [&] {
                if (QMenu* open = menu->OpenMenuWidget()) {
                    EXPECT_FALSE(SaveScreenshot(open, QStringLiteral("value-menu-open"), 2).isEmpty());
                    open->close();
                }
            });
        });
        menu->setFocus();
        QTest::keyClick(menu, Qt::Key_Space);
        Shoot(menu, QStringLiteral("value-menu"));

        // The name list, opened by the select button (moved clear of it), filtered.
        Shoot(select, QStringLiteral("object-select"));
        QTest::mouseClick(select, Qt::LeftButton, {}, QPoint(20, 10));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&names));
        names.move(dialog.frameGeometry().topRight() + QPoint(10, 0));
        QTest::qWait(50);
        Shoot(&names, QStringLiteral("name-selection-popup"));
        QTest::keyClicks(names.FilterEdit(), QStringLiteral("pad"));
        Shoot(&names, QStringLiteral("name-selection-popup-filtered"));
        Shoot(select, QStringLiteral("object-select-open"));
        QTest::mouseClick(select, Qt::LeftButton, {}, QPoint(20, 10));

        // The slider popup of "Other...".
        ParamRecord tracker(QStringLiteral("EDIT_TRACKER"), 9006, 12);
        tracker.minimum = 4;
        tracker.maximum = 20;
        tracker.readOnly = false;
        PopupTrackerDlg slider(QStringLiteral("Shape"), false, &root, nullptr, dialog.mapToGlobal(QPoint(20, 20)), &dialog);
        slider.Configure(QStringLiteral("Shape"), &tracker, 0, true, 4);
        slider.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&slider));
        Shoot(&slider, QStringLiteral("slider-popup"));
        slider.hide();

        // The keyboard configuration dialog.
        ConfigureKeyboardDlg config(QStringLiteral("Configure Keyboard"), &root, &dialog);
        config.values.repeatSpeed = 120;
        config.values.chordNotes[0] = 4;
        config.values.chordNotes[1] = 7;
        config.values.diatonic = true;
        config.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&config));
        QTest::qWait(50);
        Shoot(&config, QStringLiteral("configure-keyboard"));
        config.hide();

        // Every control that cannot be used, beside its usable look above.
        for (QWidget* w : std::initializer_list<QWidget*>{menu, select, keys, graph, name, popupSwitch})
            w->setEnabled(false);
        Shoot(&dialog, QStringLiteral("selection-controls-disabled"));
        root.RemovePopup(QStringLiteral("PresetNames"));
    }
    StopTestStyle(&style);
}

} // namespace
