// Labels: what they show for a bound parameter, their colour and text layout,
// and accessible names from captions.
#include "RoutingDoubles.h"

#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "ui/framework/LabelCtrl.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace routingtest;

TEST(LabelCtrl, BoundValueShowsItsNameAndAMissingNameKeepsTheText)
{
    TableListener owner;
    const NameMap names = {{0, QStringLiteral("Off")}, {1, QStringLiteral("On")}};
    ParamRecord r(QStringLiteral("R"), 10, 1);
    LabelCtrl label(&owner);
    label.Setup(&names, 0);
    label.BindParameter(nullptr, 0, &r);
    label.Activate();
    EXPECT_EQ(label.text(), QStringLiteral("On"));

    ParamRecord change(QStringLiteral("R"), 10, 7);
    label.ParameterChanged(&change);
    EXPECT_EQ(r.value, 7);
    EXPECT_EQ(r.previousValue, 1);
    EXPECT_EQ(label.text(), QStringLiteral("On"));
}

TEST(LabelCtrl, WithoutNamesShowsTheValueTextAndRefreshesOnTriggers)
{
    TableListener owner;
    owner.values = {{10, -12}};
    const TriggerSet triggers = {99};
    ParamRecord r(QStringLiteral("R"), 10, 3);
    LabelCtrl label(&owner);
    label.Setup(nullptr, 0);
    label.BindParameter(&triggers, 0, &r);
    label.Activate();
    EXPECT_EQ(label.text(), QStringLiteral("3"));
    ParamRecord trigger(QStringLiteral("T"), 99, 0);
    label.ParameterChanged(&trigger);
    EXPECT_EQ(owner.requests, (std::vector<int>{10}));
    EXPECT_EQ(label.text(), QStringLiteral("-12"));
}

TEST(LabelCtrl, ColourFollowsEnablingReadinessAndGroup)
{
    auto colour = [](int setting) { return ColorFromColorRef(GetGlobalConfigurations().GetDword(setting)); };
    struct Case {
        bool enabled;
        bool ready;
        bool group;
        int setting;
    };
    const Case cases[] = {
        {true, true, false, ConfigForegroundColour},
        {true, true, true, ConfigGroupColour},
        {false, true, true, ConfigDisabledColour},
        {true, false, false, ConfigDisabledColour},
    };
    for (const Case& c : cases) {
        TableListener owner;
        owner.deviceReady = c.ready;
        LabelCtrl label(&owner);
        label.setEnabled(c.enabled);
        label.setProperty("group", c.group);
        EXPECT_EQ(label.TextColour(), colour(c.setting)) << c.enabled << c.ready << c.group;
    }
}

TEST(LabelCtrl, PaintsItsTextInTheDisabledColourWhileTheModuleIsAway)
{
    TableListener owner;
    owner.deviceReady = false;
    LabelCtrl label(&owner);
    QFont f = label.font();
    f.setPixelSize(40);
    f.setBold(true);
    label.setFont(f);
    label.resize(120, 60);
    label.SetText(QStringLiteral("MW"));
    const QImage image = label.grab().toImage();
    const QColor disabled = label.TextColour();
    bool found = false;
    for (int y = 0; y < image.height() && !found; ++y)
        for (int x = 0; x < image.width() && !found; ++x)
            found = image.pixelColor(x, y).rgb() == disabled.rgb();
    EXPECT_TRUE(found);
}

TEST(LabelCtrl, TextLayoutFollowsAlignmentAndWrap)
{
    struct Case {
        Qt::Alignment alignment;
        bool wrap;
        int expected;
    };
    const Case cases[] = {
        {Qt::AlignLeft | Qt::AlignTop, true, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap},
        {Qt::AlignHCenter | Qt::AlignVCenter, false, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine},
        {Qt::AlignRight | Qt::AlignTop, false, Qt::AlignRight | Qt::AlignTop | Qt::TextWordWrap},
        {Qt::AlignLeft | Qt::AlignVCenter, true, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap},
    };
    for (const Case& c : cases) {
        LabelCtrl label(nullptr);
        label.setAlignment(c.alignment);
        label.setWordWrap(c.wrap);
        EXPECT_EQ(label.TextFlags(), c.expected | Qt::TextShowMnemonic) << int(c.alignment);
    }
}

TEST(LabelCtrl, AccessibleNamesDropTheMnemonicMarker)
{
    const std::pair<const char*, const char*> cases[] = {
        {"&Input Port:", "Input Port:"}, {"Save && Exit", "Save & Exit"}, {"Plain", "Plain"}, {"End&", "End"}};
    for (const auto& [caption, name] : cases)
        EXPECT_EQ(AccessibleNameFromCaption(QString::fromUtf8(caption)), QString::fromUtf8(name));
    LabelCtrl label(nullptr);
    label.SetText(QStringLiteral("&Device Id:"));
    EXPECT_EQ(label.accessibleName(), QStringLiteral("Device Id:"));
}

TEST(LabelCtrl, TakesOverAPlainLabelOfAForm)
{
    QWidget form;
    auto* plain = new QLabel(QStringLiteral("&Name:"), &form);
    plain->setObjectName(QStringLiteral("caption"));
    plain->setGeometry(10, 20, 100, 13);
    plain->setAlignment(Qt::AlignRight | Qt::AlignTop);
    plain->setProperty("group", true);
    auto* edit = new QWidget(&form);
    plain->setBuddy(edit);
    TableListener owner;
    LabelCtrl* label = LabelCtrl::TakeOver(plain, &owner);
    EXPECT_EQ(form.findChildren<QLabel*>().size(), 1);
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("caption")), label);
    EXPECT_EQ(label->geometry(), QRect(10, 20, 100, 13));
    EXPECT_EQ(label->text(), QStringLiteral("&Name:"));
    EXPECT_EQ(label->accessibleName(), QStringLiteral("Name:"));
    EXPECT_EQ(label->buddy(), edit);
    EXPECT_EQ(label->TextColour(), ColorFromColorRef(GetGlobalConfigurations().GetDword(ConfigGroupColour)));
    EXPECT_EQ(label->TextFlags() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(label->GetOwner(), &owner);
    EXPECT_EQ(label->GetToolTipId(), 0);
}
