// The device configuration dialog, offscreen: the port lists come from the
// MIDI backend's ports, the caller's fields preload the lists and edits, OK
// refuses unusable choices with a message and stays open, and hands back the
// parsed fields when it closes.
#include "core/RecordingPresenter.h"
#include "support/TestStyle.h"

#include "app/ConfigureDeviceDlg.h"
#include "core/resources/GuiFont.h"
#include "midi/MidiBackend.h"
#include "ui/controls/EditCtrls.h"

#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

/// A MIDI system that offers fixed ports and opens none.
class FixedPortsBackend : public MidiBackend {
public:
    FixedPortsBackend(std::vector<MidiPortInfo> inputs, std::vector<MidiPortInfo> outputs)
        : m_inputs(std::move(inputs)), m_outputs(std::move(outputs))
    {
    }
    QString Name() const override { return QStringLiteral("Fixed"); }
    std::vector<MidiPortInfo> InputPorts() override { return m_inputs; }
    std::vector<MidiPortInfo> OutputPorts() override { return m_outputs; }
    std::unique_ptr<MidiInputConnection> OpenInput(int, MidiInputSink*, MidiResult* result) override
    {
        *result = MidiResult::Fail(MidiError::BadDeviceId);
        return nullptr;
    }
    std::unique_ptr<MidiOutputConnection> OpenOutput(int, MidiOutputSink*, MidiResult* result) override
    {
        *result = MidiResult::Fail(MidiError::BadDeviceId);
        return nullptr;
    }
    bool ReportsOpenAndClose() const override { return false; }

private:
    std::vector<MidiPortInfo> m_inputs;
    std::vector<MidiPortInfo> m_outputs;
};

struct Fields {
    int input, output, deviceId, bPort, controller, longTimeout, writeDelay, sysExDelay;
};

void Preload(ConfigureDeviceDlg& d, const Fields& f)
{
    d.m_inputPort = f.input;
    d.m_outputPort = f.output;
    d.m_deviceId = f.deviceId;
    d.m_bPort = f.bPort;
    d.m_controllerPort = f.controller;
    d.m_longTimeout = f.longTimeout;
    d.m_writeDelay = f.writeDelay;
    d.m_sysExDelay = f.sysExDelay;
}

QStringList Entries(const QListWidget* list)
{
    QStringList out;
    for (int row = 0; row < list->count(); ++row)
        out << list->item(row)->text();
    return out;
}

/// The text of the selected entry; empty when nothing is selected.
QString Selected(const QListWidget* list)
{
    const QList<QListWidgetItem*> chosen = list->selectedItems();
    return chosen.isEmpty() ? QString() : chosen.first()->text();
}

/// Selects the entry with this text as a click would.
void Choose(QListWidget* list, const QString& text)
{
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list->setCurrentItem(found.first());
}

void PressOk(ConfigureDeviceDlg& d)
{
    d.ItemAs<QPushButton>(1)->click();
}

class ConfigureDeviceDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestStyle(&style, dir, true);
        InstallGuiFont();
        presenter = RecordingPresenter::Install();
        UsePorts({{0, QStringLiteral("Synth In")}, {1, QStringLiteral("Keyboard")}},
                 {{0, QStringLiteral("Synth Out")}, {1, QStringLiteral("Second Synth")}, {2, QStringLiteral("Thru Box")}});
    }
    void TearDown() override
    {
        SetCurrentMidiBackend(nullptr);
        SetMessagePresenter(nullptr);
        StopTestStyle(&style);
    }
    static void UsePorts(std::vector<MidiPortInfo> inputs, std::vector<MidiPortInfo> outputs)
    {
        SetCurrentMidiBackend(std::make_shared<FixedPortsBackend>(std::move(inputs), std::move(outputs)));
    }

    QTemporaryDir dir;
    GlobalStyle style;
    std::shared_ptr<RecordingPresenter> presenter;
    const Fields usual{0, 0, 16, -1, -1, 1000, 50, 5};
};

} // namespace

TEST_F(ConfigureDeviceDlgTest, WithoutMidiPortsOnlyNoneIsOfferedAndOkAsksForBothPorts)
{
    UsePorts({}, {});
    ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), nullptr);
    Preload(dialog, {-1, -1, 16, -1, -1, 1000, 50, 5});
    dialog.show();

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Configure Device"));
    EXPECT_TRUE(Entries(dialog.InputList()).isEmpty());
    EXPECT_TRUE(Entries(dialog.OutputList()).isEmpty());
    EXPECT_EQ(Entries(dialog.BPortList()), QStringList{QStringLiteral("None")});
    EXPECT_EQ(Entries(dialog.ControllerList()), QStringList{QStringLiteral("None")});
    EXPECT_EQ(Selected(dialog.BPortList()), QStringLiteral("None"));
    EXPECT_EQ(Selected(dialog.ControllerList()), QStringLiteral("None"));

    PressOk(dialog);
    ASSERT_EQ(presenter->texts.size(), 1u);
    EXPECT_EQ(presenter->texts[0], LoadResourceString(220));
    EXPECT_EQ(presenter->owners[0], &dialog);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(ConfigureDeviceDlgTest, ShowsTheCallersFields)
{
    ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), nullptr);
    Preload(dialog, {1, 2, 16, 0, -1, 1000, 50, 5});
    dialog.show();

    EXPECT_EQ(Entries(dialog.InputList()), (QStringList{QStringLiteral("Synth In"), QStringLiteral("Keyboard")}));
    EXPECT_EQ(Entries(dialog.OutputList()),
              (QStringList{QStringLiteral("Synth Out"), QStringLiteral("Second Synth"), QStringLiteral("Thru Box")}));
    EXPECT_EQ(Entries(dialog.BPortList()), (QStringList{QStringLiteral("None"), QStringLiteral("Synth Out"),
                                                        QStringLiteral("Second Synth"), QStringLiteral("Thru Box")}));
    EXPECT_EQ(Entries(dialog.ControllerList()),
              (QStringList{QStringLiteral("None"), QStringLiteral("Synth In"), QStringLiteral("Keyboard")}));
    EXPECT_EQ(Selected(dialog.InputList()), QStringLiteral("Keyboard"));
    EXPECT_EQ(Selected(dialog.OutputList()), QStringLiteral("Thru Box"));
    EXPECT_EQ(Selected(dialog.BPortList()), QStringLiteral("Synth Out"));
    EXPECT_EQ(Selected(dialog.ControllerList()), QStringLiteral("None"));
    EXPECT_EQ(dialog.DeviceIdEdit()->text(), QStringLiteral("16"));
    EXPECT_EQ(dialog.TimeEdit(0)->text(), QStringLiteral("1000"));
    EXPECT_EQ(dialog.TimeEdit(1)->text(), QStringLiteral("50"));
    EXPECT_EQ(dialog.TimeEdit(2)->text(), QStringLiteral("5"));
    EXPECT_EQ(dialog.OwnTooltipId(), 20040);
    EXPECT_EQ(dialog.Controls().size(), 8u);
    const std::pair<int, int> tooltips[] = {{1007, 20041}, {1008, 20042}, {1000, 20043}, {1009, 20044},
                                            {1010, 20045}, {1189, 20046}, {1190, 20047}, {1191, 20048}};
    for (const auto& [item, tooltip] : tooltips) {
        const ControlBase* control = dialog.FindControl(dialog.Item(item));
        ASSERT_NE(control, nullptr) << item;
        EXPECT_EQ(control->GetToolTipId(), tooltip) << item;
    }
}

TEST_F(ConfigureDeviceDlgTest, APortThatIsGoneKeepsItsNumberUnlessAnotherIsChosen)
{
    {
        ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), nullptr);
        Preload(dialog, {5, 0, 16, -1, -1, 1000, 50, 5});
        dialog.show();
        EXPECT_EQ(Selected(dialog.InputList()), QString());
        PressOk(dialog);
        EXPECT_TRUE(presenter->texts.empty());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.m_inputPort, 5);
    }
    ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), nullptr);
    Preload(dialog, {5, 0, 16, -1, -1, 1000, 50, 5});
    dialog.show();
    // Only the focus coming to the list moves its current row; nothing is chosen.
    QListWidget* inputs = dialog.InputList();
    inputs->selectionModel()->setCurrentIndex(inputs->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    EXPECT_EQ(dialog.m_inputPort, 5);
    Choose(inputs, QStringLiteral("Keyboard"));
    EXPECT_EQ(dialog.m_inputPort, 1);
}

TEST_F(ConfigureDeviceDlgTest, ChoosingAnEntryStoresItsPortAtOnce)
{
    ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), nullptr);
    Preload(dialog, usual);
    dialog.show();
    Choose(dialog.InputList(), QStringLiteral("Keyboard"));
    Choose(dialog.OutputList(), QStringLiteral("Second Synth"));
    Choose(dialog.BPortList(), QStringLiteral("Thru Box"));
    Choose(dialog.ControllerList(), QStringLiteral("Synth In"));
    EXPECT_EQ(dialog.m_inputPort, 1);
    EXPECT_EQ(dialog.m_outputPort, 1);
    EXPECT_EQ(dialog.m_bPort, 2);
    EXPECT_EQ(dialog.m_controllerPort, 0);
    Choose(dialog.ControllerList(), QStringLiteral("None"));
    EXPECT_EQ(dialog.m_controllerPort, -1);

    PressOk(dialog);
    EXPECT_TRUE(presenter->texts.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_inputPort, 1);
    EXPECT_EQ(dialog.m_outputPort, 1);
    EXPECT_EQ(dialog.m_bPort, 2);
}

TEST_F(ConfigureDeviceDlgTest, OkChecksThePortsAndTheTypedNumbers)
{
    struct Case {
        const char* what;
        int input, output, bPort, controller;
        const char* deviceId;
        const char* times[3];
        int refusal;  // string id of the message, 0 when OK closes the dialog
        int deviceIdAfter;
        int timesAfter[3];
    };
    const Case cases[] = {
        {"no input", -1, 0, -1, -1, "16", {"1000", "50", "5"}, 220, 16, {1000, 50, 5}},
        {"no output", 0, -1, -1, -1, "16", {"1000", "50", "5"}, 220, 16, {1000, 50, 5}},
        {"no ports come before the clashes", -1, -1, -1, -1, "16", {"1000", "50", "5"}, 220, 16, {1000, 50, 5}},
        {"controller is the input", 1, 0, -1, 1, "16", {"1000", "50", "5"}, 223, 16, {1000, 50, 5}},
        {"both clash: controller first", 1, 2, 2, 1, "16", {"1000", "50", "5"}, 223, 16, {1000, 50, 5}},
        {"B port is the output", 1, 2, 2, 0, "16", {"1000", "50", "5"}, 221, 16, {1000, 50, 5}},
        {"device id -1", 0, 0, -1, -1, "-1", {"1000", "50", "5"}, 224, -1, {1000, 50, 5}},
        {"device id 128", 0, 0, -1, -1, "128", {"1000", "50", "5"}, 224, 128, {1000, 50, 5}},
        {"device id beyond any int", 0, 0, -1, -1, "99999999999", {"1000", "50", "5"}, 224, INT_MAX, {1000, 50, 5}},
        {"device id 127", 0, 0, -1, -1, "127", {"1000", "50", "5"}, 0, 127, {1000, 50, 5}},
        {"device id in hexadecimal", 0, 0, -1, -1, "0x10", {"1000", "50", "5"}, 0, 16, {1000, 50, 5}},
        {"device id in octal", 0, 0, -1, -1, "010", {"1000", "50", "5"}, 0, 8, {1000, 50, 5}},
        {"device id stops at a letter", 0, 0, -1, -1, "12ab", {"1000", "50", "5"}, 0, 12, {1000, 50, 5}},
        {"device id without digits", 0, 0, -1, -1, "none", {"1000", "50", "5"}, 0, 0, {1000, 50, 5}},
        {"times are decimal", 0, 0, -1, -1, "16", {"0100", "0800", "09"}, 0, 16, {100, 800, 9}},
        {"empty times", 0, 0, -1, -1, "16", {"", "", ""}, 0, 16, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        presenter->texts.clear();
        ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), nullptr);
        Preload(dialog, {c.input, c.output, 0, c.bPort, c.controller, 0, 0, 0});
        dialog.show();
        dialog.DeviceIdEdit()->setText(QString::fromLatin1(c.deviceId));
        for (int i = 0; i < 3; ++i)
            dialog.TimeEdit(i)->setText(QString::fromLatin1(c.times[i]));
        PressOk(dialog);
        if (c.refusal) {
            ASSERT_EQ(presenter->texts.size(), 1u);
            EXPECT_EQ(presenter->texts[0], LoadResourceString(unsigned(c.refusal)));
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(dialog.DeviceIdEdit()->text(), QString::fromLatin1(c.deviceId)) << "the typing stays";
        } else {
            EXPECT_TRUE(presenter->texts.empty());
            EXPECT_FALSE(dialog.isVisible());
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
        }
        EXPECT_EQ(dialog.m_deviceId, c.deviceIdAfter);
        EXPECT_EQ(dialog.m_longTimeout, c.timesAfter[0]);
        EXPECT_EQ(dialog.m_writeDelay, c.timesAfter[1]);
        EXPECT_EQ(dialog.m_sysExDelay, c.timesAfter[2]);
        EXPECT_EQ(dialog.m_inputPort, c.input);
        EXPECT_EQ(dialog.m_outputPort, c.output);
    }
}

TEST_F(ConfigureDeviceDlgTest, TheTimeEditsTakeOnlyDigits)
{
    ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), nullptr);
    Preload(dialog, usual);
    dialog.show();
    EditCtrl* edit = dialog.TimeEdit(0);
    edit->clear();
    edit->insert(QStringLiteral("12"));
    edit->insert(QStringLiteral("x"));
    edit->insert(QStringLiteral("-3"));
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
    // The device id takes any text.
    dialog.DeviceIdEdit()->clear();
    dialog.DeviceIdEdit()->insert(QStringLiteral("0x1F"));
    EXPECT_EQ(dialog.DeviceIdEdit()->text(), QStringLiteral("0x1F"));
}

TEST_F(ConfigureDeviceDlgTest, CancelLeavesTheTypedNumbersUnread)
{
    ConfigureDeviceDlg dialog(QStringLiteral("Configure Device"), nullptr);
    Preload(dialog, usual);
    dialog.show();
    dialog.DeviceIdEdit()->setText(QStringLiteral("3"));
    dialog.TimeEdit(0)->setText(QStringLiteral("20"));
    dialog.ItemAs<QPushButton>(2)->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.m_deviceId, 16);
    EXPECT_EQ(dialog.m_longTimeout, 1000);
    EXPECT_TRUE(presenter->texts.empty());
}
