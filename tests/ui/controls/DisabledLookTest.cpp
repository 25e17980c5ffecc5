// A control that cannot be used must look it at a glance. Each kind of
// control is painted offscreen usable (with the focus), disabled, and focused
// while the module is not ready; the pictures are compared with the bare skin
// under the control: the disabled ones stand out from it far less than the
// usable one, carry no colour the skin does not, and show no focus frame.
// The standard widgets take the disabled colour for every text they draw.
#include "ControlTestSupport.h"

#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "core/ObjectKind.h"
#include "support/TestStyle.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/EnvGraphCtrl.h"
#include "ui/controls/KeyBoardCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/ProgressCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>

namespace {

/// A focus colour no control paints otherwise, so a focus frame is easy to find.
constexpr std::uint32_t kFocusColourRef = 0x00FF00FF;

/// How far a picture stands out from the skin under it: the mean, over the
/// measured pixels, of the largest channel difference.
double Contrast(const QImage& picture, const QImage& skin, const QRect& area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor a = picture.pixelColor(x, y);
            const QColor b = skin.pixelColor(x, y);
            sum += std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
        }
    return sum / (double(area.width()) * area.height());
}

/// The most colourful pixel of the area (largest channel less smallest).
int MostColour(const QImage& picture, const QRect& area)
{
    int most = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            most = std::max(most, std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}));
        }
    return most;
}

bool HasPixel(const QImage& picture, const QColor& colour)
{
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixelColor(x, y) == colour)
                return true;
    return false;
}

class DisabledLookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestStyle(&style, dir, true);
        GetGlobalConfigurations().SetDword(ConfigFocusColour, kFocusColourRef);
        style.ReloadColours();
        dialog.resize(520, 200);
        for (int i = 0; i < 12; ++i) {
            envelope[std::size_t(i)] = ParamRecord(QStringLiteral("ENV_%1").arg(i), 600 + i, i < 6 ? 30 * (i + 1) : 20 * (i - 5));
            envelope[std::size_t(i)].minimum = i < 6 ? 0 : -64;
            envelope[std::size_t(i)].maximum = i < 6 ? 127 : 100;
        }
    }
    void TearDown() override { StopTestStyle(&style); }

    /// The skin the control's parent shows under it.
    QImage Skin(const QWidget* control) const
    {
        QImage skin(control->size(), QImage::Format_ARGB32);
        skin.fill(style.Colour(BackgroundColour));
        QPainter p(&skin);
        style.PaintControlBackground(&p, control->pos(), QRect(QPoint(0, 0), control->size()));
        return skin;
    }

public:
    QTemporaryDir dir;
    GlobalStyle style;
    RecordingOwner owner;
    ParamRecord colour{QStringLiteral("COLOUR"), 1, 0x00C08040};
    std::array<ParamRecord, 12> envelope;
    QWidget dialog;
};

struct Kind {
    const char* name;
    /// Makes the control on the dialog.
    std::function<QWidget*(DisabledLookTest&, QWidget* parent, ControlListener* owner)> make;
    /// The border left out of the measure (a button's 3D frame stays as it is).
    int frame = 0;
    /// It paints a focus frame while it has the focus.
    bool showsFocus = true;
    /// It looks disabled while its module is not ready, too.
    bool followsModule = true;
};

template <class C>
C* Captioned(QWidget* parent, ControlListener* owner, const char* caption, QRect where)
{
    auto* c = new C(owner, parent);
    c->setGeometry(where);
    c->SetCaption(QString::fromUtf8(caption));
    return c;
}

const Kind kKinds[] = {
    {"button", [](DisabledLookTest&, QWidget* p, ControlListener* o) { return Captioned<ButtonCtrl>(p, o, "&Apply", {10, 10, 110, 24}); }, 2},
    {"switch", [](DisabledLookTest&, QWidget* p, ControlListener* o) { return Captioned<SwitchCtrl>(p, o, "Switch", {10, 10, 110, 24}); }, 2},
    {"bitmap button",
     [](DisabledLookTest&, QWidget* p, ControlListener* o) {
         auto* b = new BitmapButtonCtrl(o, LampPixmap(Lamp::On), LampPixmap(Lamp::Disabled), p);
         b->move(10, 10);
         return b;
     },
     1},
    {"colour swatch",
     [](DisabledLookTest& t, QWidget* p, ControlListener* o) {
         auto* s = new ColourSwatchCtrl(o, p);
         s->setGeometry(10, 10, 40, 24);
         s->BindParameter(nullptr, 0, &t.colour);
         return s;
     },
     1},
    {"lamp button",
     [](DisabledLookTest&, QWidget* p, ControlListener* o) { return Captioned<LitButtonCtrl>(p, o, "Lamp", {10, 10, 110, 24}); }},
    {"unlit lamp button",
     [](DisabledLookTest&, QWidget* p, ControlListener* o) { return Captioned<UnLitButtonCtrl>(p, o, "Unlit", {10, 10, 110, 24}); }},
    {"slider",
     [](DisabledLookTest&, QWidget* p, ControlListener* o) {
         auto* s = Captioned<TrackerCtrl>(p, o, "Volume", {10, 10, 200, 40});
         s->Setup(0, false, false);
         s->SetRange(0, 127);
         s->SetPosition(40);
         return s;
     }},
    {"value menu",
     [](DisabledLookTest&, QWidget* p, ControlListener* o) {
         auto* m = Captioned<MenuCtrl>(p, o, "&Shape", {10, 10, 180, 24});
         m->Setup(false, 0, nullptr, 0);
         return m;
     },
     2},
    {"object select",
     [](DisabledLookTest&, QWidget* p, ControlListener* o) {
         auto* s = Captioned<SelectCtrl>(p, o, "Preset", {10, 10, 180, 24});
         s->Setup(OBJECT_PRESET, false, false, QString(), QString(), 0);
         return s;
     },
     2},
    {"envelope",
     [](DisabledLookTest& t, QWidget* p, ControlListener* o) {
         auto* g = Captioned<EnvGraphCtrl>(p, o, "Filter Envelope", {10, 10, 340, 160});
         for (ParamRecord& r : t.envelope)
             g->BindParameter(nullptr, 0, &r);
         g->Setup(0);
         return g;
     }},
    {"progress bar",
     [](DisabledLookTest&, QWidget* p, ControlListener* o) {
         auto* b = new ProgressCtrl(o, p);
         b->setGeometry(10, 10, 200, 14);
         b->SetPos(60);
         return b;
     },
     0, false, false},
    {"keyboard",
     [](DisabledLookTest&, QWidget* p, ControlListener* o) {
         auto* k = new KeyBoardCtrl(o, p);
         k->move(10, 10);
         return k;
     },
     0, false, false},
};

TEST_F(DisabledLookTest, EveryControlLooksDisabledWithoutFocusFrame)
{
    const QColor focus = style.Colour(FocusColour);
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        owner.ready = true;
        QWidget* control = kind.make(*this, &dialog, &owner);
        control->show();
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        const QImage skin = Skin(control);
        const QRect measured = QRect(QPoint(0, 0), control->size()).adjusted(kind.frame, kind.frame, -kind.frame, -kind.frame);
        const int skinColour = MostColour(skin, measured);

        control->setFocus();
        const QImage usable = control->grab().toImage();
        const double usableContrast = Contrast(usable, skin, measured);
        ASSERT_GT(usableContrast, 1.0) << "the usable control shows something to compare";
        EXPECT_EQ(HasPixel(usable, focus), kind.showsFocus);

        control->setEnabled(false);
        const QImage disabled = control->grab().toImage();
        EXPECT_LT(Contrast(disabled, skin, measured), 0.6 * usableContrast);
        EXPECT_LE(MostColour(disabled, measured), skinColour + 2) << "greyed";
        EXPECT_FALSE(HasPixel(disabled, focus));
        control->setEnabled(true);

        if (kind.followsModule) {
            owner.ready = false;
            control->setFocus();
            EXPECT_TRUE(control->hasFocus());
            const QImage notReady = control->grab().toImage();
            EXPECT_LT(Contrast(notReady, skin, measured), 0.6 * usableContrast);
            EXPECT_LE(MostColour(notReady, measured), skinColour + 2) << "greyed";
            EXPECT_FALSE(HasPixel(notReady, focus)) << "no focus frame while the module is not ready";
        }
        delete control;
    }
}

TEST_F(DisabledLookTest, StandardWidgetsDrawEveryTextInTheDisabledColour)
{
    const std::vector<std::pair<const char*, QWidget*>> widgets = {
        {"edit", new EditCtrl(&owner, &dialog)},       {"numeric edit", new NumericEditCtrl(&owner, &dialog)},
        {"combo", new ComboCtrl(&dialog)},             {"spin", new SpinButtonCtrl(&dialog)},
        {"list", new ListCtrl(&owner, &dialog)},       {"tree", new TreeCtrl(&owner, &dialog)},
        {"list box", new ListBoxCtrl(&owner, &dialog)}};
    for (auto [name, w] : widgets) {
        SCOPED_TRACE(name);
        for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
            EXPECT_EQ(w->palette().color(QPalette::Disabled, role), style.Colour(DisabledColour)) << role;
            EXPECT_EQ(w->palette().color(QPalette::Active, role), style.Colour(ForegroundColour)) << role;
        }
    }
}

} // namespace
