// The panel's copy, export, dump and send commands against the simulated
// module, their dialogs answered by a script as a user would: what the dialog
// chose reaches the module, the files written hold what the module holds,
// byte for byte, Cancel sends and writes nothing, and files of the wrong kind
// are refused with a message before anything is sent.
#include "AppDialogTestSupport.h"
#include "ViewFixture.h"

#include "app/FileDialogs.h"
#include "app/Frame.h"
#include "app/SelectionDialogs.h"
#include "core/MessageBox.h"
#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "dump/LayerChooser.h"
#include "dump/OleProps.h"
#include "module/Capabilities.h"
#include "module/ParameterIds.h"
#include "sim/DumpHandlers.h"
#include "sim/SysExHex.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/framework/CommandIds.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>

namespace {

using Messages = std::vector<QByteArray>;

/// Records every box; answers from a list, else Yes to a question and OK to the rest.
std::shared_ptr<apptest::ScriptedPresenter> AnsweringPresenter()
{
    auto presenter = std::make_shared<apptest::ScriptedPresenter>();
    presenter->questionAnswer = msgbox::IdYes;
    return presenter;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray Joined(const Messages& messages)
{
    QByteArray out;
    for (const QByteArray& m : messages)
        out += m;
    return out;
}

/// The messages of a .syx file's bytes.
Messages Split(const QByteArray& bytes)
{
    return sim::SplitSysEx(bytes);
}

bool Contains(const Messages& messages, const QByteArray& message)
{
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

/// A module message F0 18 0F 00 55 command, then each value as two 7-bit bytes, F7.
QByteArray Request(int command, std::initializer_list<int> values, int subCode = -1)
{
    QByteArray m = sim::Hex("F0 18 0F 00 55");
    m.append(char(command));
    if (subCode >= 0)
        m.append(char(subCode));
    for (int v : values)
        m.append(char(v & 0x7F)).append(char((v >> 7) & 0x7F));
    m.append(char(0xF7));
    return m;
}

/// The same messages with the preset dump sub-codes of the other protocol.
Messages WithSubCodes(Messages messages, int header, int data)
{
    for (std::size_t i = 0; i < messages.size(); ++i)
        messages[i][6] = char(i == 0 ? header : data);
    return messages;
}

class DocumentCommands : public viewtest::ViewFixture {
protected:
    void SetUp() override
    {
        Start(R"({"base": "full"})");
        SetMessagePresenter(presenter);
        Connect();
        presenter->texts.clear(); // the first-connect notice
        GetGlobalConfigurations().SetString(SysexFile, QStringLiteral("earlier.sysex"));
    }
    void TearDown() override
    {
        SetFileDialogScript({});
        SetMessagePresenter(nullptr);
        GetGlobalConfigurations().SetBool(TestUI, false);
        ViewFixture::TearDown();
    }

    /// The next selection dialog of type D: started as the user sees it,
    /// changed by choose, then closed with OK (or Cancel).
    template <class D>
    void AnswerDialog(std::function<void(D&)> choose, bool ok = true)
    {
        view->SetDialogRunner([this, choose, ok](QDialog& d) {
            ++dialogs;
            auto* dialog = dynamic_cast<D*>(&d);
            EXPECT_NE(dialog, nullptr) << "another dialog opened";
            if (!dialog)
                return int(QDialog::Rejected);
            dialog->show();
            QCoreApplication::processEvents();
            if (choose)
                choose(*dialog);
            dialog->OnCommand(ok ? cmd::IdOk : cmd::IdCancel);
            return dialog->result();
        });
    }
    /// The next file dialogs choose path (or are cancelled when path is empty).
    void NextFile(const QString& path)
    {
        SetFileDialogScript([this, path](FileDialogBase& d) {
            ++fileDialogs;
            offered = QFileInfo(d.selectedFiles().value(0)).fileName();
            if (path.isEmpty())
                return int(QDialog::Rejected);
            d.Choose(path);
            return int(QDialog::Accepted);
        });
    }
    QString Path(const QString& name) { return folder->filePath(name); }
    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = Path(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    Messages Capture(const QString& name) { return Split(ReadAll(QDir(sim::CapturesFolder()).filePath(name))); }
    Messages Stored(int simm, int preset)
    {
        return link->withDevice([&](sim::Device&) { return sim::StoredPreset(*module, simm, preset); });
    }
    QString ModuleName(int simm, int preset)
    {
        return link->withDevice([&](sim::Device&) {
            return QString::fromLatin1(module->objectName(sim::ObjectKind::Preset, simm, preset).value_or("?"));
        });
    }
    /// The module's last reply that begins with prefix.
    QByteArray LastReply(const QByteArray& prefix)
    {
        link->settle();
        const Messages replies = link->withDevice([](sim::Device& d) { return d.transcript().fromModule(); });
        for (auto it = replies.rbegin(); it != replies.rend(); ++it)
            if (it->startsWith(prefix))
                return *it;
        return {};
    }
    OleProps PropertiesOf(const QString& path)
    {
        ByteBlockList blocks;
        OleProps props;
        EXPECT_TRUE(Connection().ReadSysExFile(path, blocks, props));
        return props;
    }
    QString SysExSetting() { return GetGlobalConfigurations().GetString(SysexFile); }

    std::shared_ptr<apptest::ScriptedPresenter> presenter = AnsweringPresenter();
    int dialogs = 0;
    int fileDialogs = 0;
    QString offered;
};

// ------------------------------------------------------------------------ enable rules

TEST(DocumentCommandStates, LoadSaveCopyAndImportNeedTheModuleExportAndSendItsSysExDumps)
{
    miditest::TestEnvironment env;
    auto backend = std::make_shared<LoopbackBackend>();
    auto device = backend->AddDevice(QStringLiteral("Proteus"));
    struct Case {
        const char* name;
        bool ready;
        std::uint32_t caps;
        bool loadSaveCopyImport, exportSend;
    };
    const Case cases[] = {
        {"not ready, nothing", false, 0, false, false},
        {"not ready, SysEx dumps", false, CAP_SYSEX_DUMPS, false, true},
        {"ready, nothing", true, 0, true, false},
        {"ready, whole preset dumps only", true, CAP_PRESET_DUMPS, true, false},
        {"ready, SysEx dumps", true, CAP_SYSEX_DUMPS | CAP_PRESET_DUMPS, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GetGlobalConfigurations().SetBool(TestUI, c.ready);
        Document document(backend);
        Frame frame(document);
        document.GetProteus().SetCapabilities(c.caps);
        frame.UpdateCommandStates();
        for (int id : {cmd::FileLoad, cmd::FileSave, cmd::FileSaveAs, cmd::CopyData, cmd::ImportData}) {
            ASSERT_NE(frame.Action(id), nullptr) << id;
            EXPECT_EQ(frame.Action(id)->isEnabled(), c.loadSaveCopyImport) << id;
        }
        for (int id : {cmd::ExportData, cmd::SendData}) {
            ASSERT_NE(frame.Action(id), nullptr) << id;
            EXPECT_EQ(frame.Action(id)->isEnabled(), c.exportSend) << id;
        }
    }
    GetGlobalConfigurations().SetBool(TestUI, false);
}

TEST_F(DocumentCommands, AModuleWithoutSectionDumpsCannotExportOrSend)
{
    EXPECT_TRUE(view->CanExportOrSendData());
    Start(R"({"base": "mid"})");
    Connect();
    EXPECT_TRUE(view->CanCopyOrImportData());
    EXPECT_TRUE(view->CanLoadOrSave());
    EXPECT_FALSE(view->CanExportOrSendData());
}

// ------------------------------------------------------------------------ Copy Data

TEST_F(DocumentCommands, CopySendsTheCopyTheDialogChoseThenTakesTheNameAndReloads)
{
    struct Case {
        const char* what;
        const char* copy;        // the copy list's entry
        const char* sourceLayer; // the layer lists' entries; null: left as they open
        const char* destinationLayer;
        int sourceRom, sourcePreset, destination;
        QByteArray expected;
        bool nameCopied;
    };
    const Case cases[] = {
        {"a whole ROM preset", "Preset", nullptr, nullptr, 4, 3, 5, Request(0x20, {3, 5, 4}), true},
        {"the user preset's FX", "Preset FX", nullptr, nullptr, 0, 9, 6, Request(0x23, {9, 6, 0}), false},
        {"layer 2's filter into layer 4", "Layer Filter", "Layer 2", "Layer 4", 9, 17, 7, Request(0x27, {17, 1, 7, 3, 9}),
         false},
        {"every layer's cords", "Layer Cords", "All Layers", "Layer 1", 9, 17, 7, Request(0x2A, {17, -1, 7, 0, 9}), false},
        {"a preset the module does not have", "Preset", nullptr, nullptr, 9, 300, 8, Request(0x20, {300, 8, 9}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString before = ModuleName(0, c.destination);
        const QString sourceName = ModuleName(c.sourceRom, c.sourcePreset);
        ASSERT_NE(before, sourceName);
        AnswerDialog<CopyPresetDlg>([&](CopyPresetDlg& d) {
            d.CopyList()->setCurrentIndex(d.CopyList()->findText(QString::fromLatin1(c.copy)));
            if (c.sourceLayer)
                d.SourceLayerList()->setCurrentIndex(d.SourceLayerList()->findText(QString::fromLatin1(c.sourceLayer)));
            if (c.destinationLayer)
                d.DestinationLayerList()->setCurrentIndex(
                    d.DestinationLayerList()->findText(QString::fromLatin1(c.destinationLayer)));
            EXPECT_TRUE(d.SourceSelector()->OnPopupSelect(OBJECT_PRESET, c.sourceRom, c.sourcePreset));
            EXPECT_TRUE(d.DestinationSelector()->OnPopupSelect(OBJECT_PRESET, 0, c.destination));
        });
        const size_t mark = ToModule().size();
        view->OnEditCopyData();
        EXPECT_EQ(dialogs, 1);
        dialogs = 0;
        const Messages sent = Since(mark);
        ASSERT_GE(sent.size(), 2u);
        EXPECT_EQ(sent.front().toHex(' '), c.expected.toHex(' '));
        // The listeners reload the current preset: the basic channel goes out as it is.
        const ParamRecord* channel = Connection().FindParameter(MULTIMODE_BASIC_CHANNEL);
        ASSERT_NE(channel, nullptr);
        EXPECT_TRUE(Contains(sent, viewtest::EditMessage(MULTIMODE_BASIC_CHANNEL, channel->value)));
        // The destination's name is the module's: a whole preset brings its own along.
        const QString now = ModuleName(0, c.destination);
        EXPECT_EQ(now, c.nameCopied ? sourceName : before);
        EXPECT_EQ(Connection().GetSimmObjectName(OBJECT_PRESET, 0, c.destination).trimmed(), now.trimmed());
        EXPECT_TRUE(presenter->texts.isEmpty()) << presenter->texts.join('\n').toStdString();
    }
}

TEST_F(DocumentCommands, CancelledCopySendsNothing)
{
    AnswerDialog<CopyPresetDlg>([](CopyPresetDlg& d) { d.DestinationSelector()->OnPopupSelect(OBJECT_PRESET, 0, 5); },
                                false);
    const size_t mark = ToModule().size();
    view->OnEditCopyData();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(Since(mark).empty());
}

TEST_F(DocumentCommands, TheCopyDialogOpensOnTheCurrentPresetAsAWholePresetCopy)
{
    ParamRecord* current = view->GetParameter(MULTIMODE_PRESET);
    ASSERT_NE(current, nullptr);
    current->romId = 4;
    current->value = 33;
    AnswerDialog<CopyPresetDlg>(
        [](CopyPresetDlg& d) {
            EXPECT_EQ(d.m_copyCommand, 0x20);
            EXPECT_EQ(d.Record(COPY_PRESET_SRC_BUTTON)->romId, 4);
            EXPECT_EQ(d.Record(COPY_PRESET_SRC_BUTTON)->value, 33);
            EXPECT_EQ(d.Record(COPY_PRESET_DST_BUTTON)->romId, 0);
            EXPECT_EQ(d.Record(COPY_PRESET_DST_BUTTON)->value, 33);
        },
        false);
    view->OnEditCopyData();
    EXPECT_EQ(dialogs, 1);
}

// ------------------------------------------------------------------------ Export Data

TEST_F(DocumentCommands, TheDumpAndExportDialogsOpenOnTheCurrentPreset)
{
    ParamRecord* current = view->GetParameter(MULTIMODE_PRESET);
    ASSERT_NE(current, nullptr);
    current->romId = 9;
    current->value = 41;
    view->SetPresetFile(Path(QStringLiteral("current.sysex")));
    view->SetPresetFilter(2);
    presenter->answers = {msgbox::IdNo}; // not the edit buffer: a preset is chosen
    AnswerDialog<DumpDlg>(
        [](DumpDlg& d) {
            EXPECT_EQ(d.Record(DUMP_PRESET_BUTTON)->romId, 9);
            EXPECT_EQ(d.Record(DUMP_PRESET_BUTTON)->value, 41);
        },
        false);
    view->OnFileSave();
    AnswerDialog<ExportDataDlg>(
        [](ExportDataDlg& d) {
            EXPECT_EQ(d.Record(EXPORT_PRESET_BUTTON)->romId, 9);
            EXPECT_EQ(d.Record(EXPORT_PRESET_BUTTON)->value, 41);
            EXPECT_EQ(d.m_subRequest, 2);
        },
        false);
    view->OnEditExportData();
    EXPECT_EQ(dialogs, 2);
}


TEST_F(DocumentCommands, ExportWritesTheFileTheDialogNamedWithWhatTheModuleSent)
{
    struct Case {
        const char* what;
        std::function<void(ExportDataDlg&)> choose;
        int rom, preset;
        QByteArray request;
        // The file's bytes: the module's stored preset in the protocol asked
        // for, or (empty) the module's reply that begins with replyPrefix
        // (the section of the preset and layer asked for).
        std::function<Messages()> expected;
        QByteArray replyPrefix;
    };
    const Case cases[] = {
        {"a real ROM preset, closed loop", {}, 4, 0, Request(0x11, {0, 4}, 0x02),
         [this] { return Capture(QStringLiteral("cs-rom4-preset-0000.syx")); }, {}},
        {"a real user preset, open loop",
         [](ExportDataDlg& d) { QTest::mouseClick(d.ClosedLoopSwitch(), Qt::LeftButton); }, 0, 0, Request(0x11, {0, 0}, 0x04),
         [this] {
             return WithSubCodes(Capture(QStringLiteral("a2k-user-preset-0000.syx")), 0x03, 0x04);
         },
         {}},
        {"a generated ROM preset", {}, 9, 40, Request(0x11, {40, 9}, 0x02),
         [this] { return Stored(9, 40); }, {}},
        {"a preset section",
         [](ExportDataDlg& d) { d.SectionList()->setCurrentIndex(d.SectionList()->findText(QStringLiteral("Preset FX"))); },
         4, 7, Request(0x11, {7, 4}, 0x13), {}, sim::Hex("F0 18 0F 00 55 10 13 07 00")},
        {"layer 3's filter",
         [](ExportDataDlg& d) {
             d.SectionList()->setCurrentIndex(d.SectionList()->findText(QStringLiteral("Layer Filter")));
             d.LayerList()->setCurrentIndex(d.LayerList()->findText(QStringLiteral("Layer 3")));
         },
         0, 2, Request(0x11, {2, 2, 0}, 0x22), {}, sim::Hex("F0 18 0F 00 55 10 22 02 00 02 00")},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = Path(QStringLiteral("export%1.sysex").arg(++n));
        AnswerDialog<ExportDataDlg>([&](ExportDataDlg& d) {
            if (c.choose)
                c.choose(d);
            EXPECT_TRUE(d.Selector()->OnPopupSelect(OBJECT_PRESET, c.rom, c.preset));
        });
        NextFile(path);
        const size_t mark = ToModule().size();
        view->OnEditExportData();
        EXPECT_EQ(dialogs, 1);
        dialogs = 0;
        EXPECT_EQ(offered, QStringLiteral("earlier.sysex"));
        const Messages sent = Since(mark);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.front().toHex(' '), c.request.toHex(' '));
        const QByteArray expected = c.expected ? Joined(c.expected()) : LastReply(c.replyPrefix);
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_EQ(ReadAll(path).toHex(' '), expected.toHex(' '));
        EXPECT_EQ(PropertiesOf(path).title, Connection().GetSimmObjectName(OBJECT_PRESET, c.rom, c.preset).trimmed());
        EXPECT_EQ(SysExSetting(), path);
        EXPECT_TRUE(presenter->texts.isEmpty()) << presenter->texts.join('\n').toStdString();
        GetGlobalConfigurations().SetString(SysexFile, QStringLiteral("earlier.sysex"));
    }
}

TEST_F(DocumentCommands, ExportCancelledOrFailedWritesNothing)
{
    struct Case {
        const char* what;
        bool dialogOk;
        bool fileOk;
        bool silentModule;
        bool asked;      // whether the module was asked for the dump
        int fileDialogs; // whether the file dialog opened
    };
    const Case cases[] = {
        {"the export dialog cancelled", false, true, false, false, 0},
        {"the file dialog cancelled", true, false, false, true, 1},
        {"the module does not answer", true, true, true, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fileDialogs = 0;
        const QString path = Path(QStringLiteral("never.sysex"));
        if (c.silentModule)
            link->withDevice([&](sim::Device&) { module->addFault(sim::Fault::Silence().on(0x11)); });
        AnswerDialog<ExportDataDlg>([](ExportDataDlg& d) { d.Selector()->OnPopupSelect(OBJECT_PRESET, 4, 0); },
                                    c.dialogOk);
        NextFile(c.fileOk ? path : QString());
        const size_t mark = ToModule().size();
        view->OnEditExportData();
        link->withDevice([&](sim::Device&) { module->clearFaults(); });
        EXPECT_EQ(!Since(mark).empty(), c.asked);
        EXPECT_EQ(fileDialogs, c.fileDialogs);
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_EQ(SysExSetting(), QStringLiteral("earlier.sysex"));
    }
}

TEST_F(DocumentCommands, WithoutAModuleInTestModeExportOpensTheFileDialogAndOverwritesNothing)
{
    const QString path = WriteFile(QStringLiteral("kept.sysex"), Joined(Capture(QStringLiteral("a2k-user-preset-0000.syx"))));
    const QByteArray before = ReadAll(path);
    ASSERT_FALSE(before.isEmpty());
    Disconnect();
    GetGlobalConfigurations().SetBool(TestUI, true);
    AnswerDialog<ExportDataDlg>({});
    NextFile(path);
    view->OnEditExportData();
    EXPECT_EQ(fileDialogs, 1);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(SysExSetting(), QStringLiteral("earlier.sysex"));
}

// ------------------------------------------------------------------------ Dump Preset (Save as SysEx)

TEST_F(DocumentCommands, SaveAsSysExDumpsTheEditBufferOrTheChosenPresetToTheCurrentFile)
{
    struct Case {
        const char* what;
        int answer; // to "save the edit buffer?"
        int rom, preset;
        const char* capture; // the module's preset is this real capture; null: generated
    };
    const Case cases[] = {
        {"the edit buffer", msgbox::IdYes, 0, -1, nullptr},
        {"a real ROM preset", msgbox::IdNo, 4, 0, "cs-rom4-preset-0000.syx"},
        {"a real user preset", msgbox::IdNo, 0, 0, "a2k-user-preset-0000.syx"},
        {"a generated user preset", msgbox::IdNo, 0, 77, nullptr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = Path(QStringLiteral("dump%1.sysex").arg(++n));
        view->SetPresetFile(path);
        view->SetPresetFilter(2);
        presenter->answers = {c.answer};
        AnswerDialog<DumpDlg>([&](DumpDlg& d) { EXPECT_TRUE(d.Selector()->OnPopupSelect(OBJECT_PRESET, c.rom, c.preset)); });
        const size_t mark = ToModule().size();
        view->OnFileSave();
        EXPECT_EQ(dialogs, c.answer == msgbox::IdNo ? 1 : 0);
        dialogs = 0;
        ASSERT_EQ(presenter->texts.size(), 1) << presenter->texts.join('\n').toStdString();
        presenter->texts.clear();
        const Messages sent = Since(mark);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.front().toHex(' '), Request(0x11, {c.preset, c.rom}, 0x02).toHex(' '));
        const Messages expected = c.capture ? Capture(QString::fromLatin1(c.capture)) : Stored(c.rom, c.preset);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(ReadAll(path).toHex(' '), Joined(expected).toHex(' '));
        // A stored preset is titled by its name; the edit buffer by the editor, absent here.
        EXPECT_EQ(PropertiesOf(path).title,
                  c.preset == -1 ? QString() : Connection().GetSimmObjectName(OBJECT_PRESET, c.rom, c.preset).trimmed());
        EXPECT_EQ(GetGlobalConfigurations().GetString(PresetFile), path);
    }
}

TEST_F(DocumentCommands, ACancelledDumpDialogSavesNothing)
{
    const QString path = Path(QStringLiteral("kept.sysex"));
    GetGlobalConfigurations().SetString(PresetFile, QStringLiteral("earlier.xml"));
    view->SetPresetFile(path);
    view->SetPresetFilter(2);
    presenter->answers = {msgbox::IdNo};
    AnswerDialog<DumpDlg>({}, false);
    const size_t mark = ToModule().size();
    view->OnFileSave();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(Since(mark).empty());
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(GetGlobalConfigurations().GetString(PresetFile), QStringLiteral("earlier.xml"));
}

TEST_F(DocumentCommands, AFailedDumpLeavesTheFileAsItWas)
{
    const QString path = WriteFile(QStringLiteral("old.sysex"), Joined(Capture(QStringLiteral("a2k-user-preset-0000.syx"))));
    const QByteArray before = ReadAll(path);
    view->SetPresetFile(path);
    view->SetPresetFilter(2);
    presenter->answers = {msgbox::IdYes};
    link->withDevice([&](sim::Device&) { module->addFault(sim::Fault::Silence().on(0x11)); });
    view->OnFileSave();
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_GE(presenter->texts.size(), 2) << "the failure is told";
}

// ------------------------------------------------------------------------ Import Data and Send Data

TEST_F(DocumentCommands, ImportRenumbersIntoTheEditBufferAndSendStoresWhereTheFileSays)
{
    struct Case {
        const char* what;
        bool import;
        const char* capture;
        int filePreset;   // the preset number written into the file's header; -2 as captured
        int storedAt;     // the module's preset that takes it (-1 the edit buffer)
    };
    const Case cases[] = {
        {"import a closed-loop dump", true, "a2k-user-preset-0000.syx", -2, -1},
        {"import an open-loop dump", true, "p2k-init-open-loop.syx", -2, -1},
        {"import a dump of the edit buffer", true, "cs-rom4-preset-0512-numbered-edit-buffer.syx", -2, -1},
        {"send a user preset", false, "a2k-user-preset-0000.syx", 21, 21},
        {"send an open-loop dump", false, "p2k-init-open-loop.syx", 3, 3},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Messages file = Capture(QString::fromLatin1(c.capture));
        ASSERT_FALSE(file.empty());
        if (c.filePreset != -2) {
            file[0][7] = char(c.filePreset & 0x7F);
            file[0][8] = char((c.filePreset >> 7) & 0x7F);
        }
        const QString path = WriteFile(QStringLiteral("in%1.syx").arg(++n), Joined(file));
        NextFile(path);
        ParamRecord* select = Connection().FindParameter(PRESET_SELECT);
        ASSERT_NE(select, nullptr);
        const int selected = select->value;
        const std::size_t uploads =
            link->withDevice([&](sim::Device&) { return sim::Dumps(*module).acceptedUploads.size(); });
        const size_t mark = ToModule().size();
        if (c.import)
            view->OnEditImportData();
        else
            view->OnEditSendData();
        EXPECT_EQ(offered, QStringLiteral("earlier.sysex"));
        EXPECT_TRUE(presenter->texts.isEmpty()) << presenter->texts.join('\n').toStdString();

        // What the module took: the file in the closed-loop form, renumbered
        // to the edit buffer by an import, as it is by a send.
        link->SleepMs(100);
        ASSERT_EQ(link->withDevice([&](sim::Device&) { return sim::Dumps(*module).acceptedUploads.size(); }), uploads + 1);
        Messages expected = WithSubCodes(file, 0x01, 0x02);
        if (c.import) {
            expected[0][7] = expected[0][8] = char(0x7F);
            expected[0][expected[0].size() - 3] = expected[0][expected[0].size() - 2] = 0;
        }
        const Messages taken =
            link->withDevice([&](sim::Device&) { return sim::Dumps(*module).acceptedUploads.back(); });
        EXPECT_EQ(Joined(taken).toHex(' '), Joined(expected).toHex(' '));
        EXPECT_EQ(Joined(Stored(0, c.storedAt)).toHex(' '), Joined(expected).toHex(' '));

        // Then the preset selection is sent again, so everything showing it asks anew.
        EXPECT_TRUE(Contains(Since(mark), viewtest::EditMessage(PRESET_SELECT, -1)));
        EXPECT_EQ(select->previousValue, selected);
        EXPECT_EQ(SysExSetting(), path);
        GetGlobalConfigurations().SetString(SysexFile, QStringLiteral("earlier.sysex"));
    }
}

TEST_F(DocumentCommands, ASectionIsImportedIntoTheEditBufferOnTheLayerChosenAndSentAsItIs)
{
    struct Case {
        const char* what;
        bool import;
        int subRequest;
        std::optional<int> layer; // the layer chooser's answer
        bool asked;               // whether the layer is asked for
        bool sent;
    };
    const Case cases[] = {
        {"import a preset section", true, 0x13, {}, false, true},
        {"import a layer section onto layer 4", true, 0x22, 3, true, true},
        {"import a layer section, the layer not chosen", true, 0x22, {}, true, false},
        {"send a layer section", false, 0x22, {}, false, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A section of ROM preset 4:7 (layer 2 for a layer section), as Export Data writes it.
        ByteBlockList section;
        ASSERT_TRUE(Connection().DownloadPreset(c.subRequest, 4, 7, 1, false, section));
        const QString path = Path(QStringLiteral("section%1.sysex").arg(++n));
        ASSERT_TRUE(Connection().WriteSysExFile(path, section, OleProps()));
        const QByteArray file = ReadAll(path);
        int asked = 0;
        SetLayerChooser([&](const QString&) {
            ++asked;
            return c.layer;
        });
        NextFile(path);
        const std::size_t uploads = link->withDevice([&](sim::Device&) { return sim::Dumps(*module).sectionUploads.size(); });
        const size_t mark = ToModule().size();
        if (c.import)
            view->OnEditImportData();
        else
            view->OnEditSendData();
        SetLayerChooser(nullptr);
        EXPECT_EQ(asked, c.asked ? 1 : 0);
        EXPECT_TRUE(presenter->texts.isEmpty()) << presenter->texts.join('\n').toStdString();
        const Messages sections = link->withDevice([&](sim::Device&) { return sim::Dumps(*module).sectionUploads; });
        if (!c.sent) {
            EXPECT_TRUE(Since(mark).empty());
            EXPECT_EQ(sections.size(), uploads);
            EXPECT_EQ(SysExSetting(), QStringLiteral("earlier.sysex"));
            continue;
        }
        ASSERT_EQ(sections.size(), uploads + 1);
        QByteArray expected = file;
        if (c.import) {
            expected[7] = expected[8] = char(0x7F); // the edit buffer
            if (c.layer) {
                expected[9] = char(*c.layer);
                expected[10] = 0;
            }
        }
        EXPECT_EQ(sections.back().toHex(' '), expected.toHex(' '));
        EXPECT_TRUE(Contains(Since(mark), viewtest::EditMessage(PRESET_SELECT, -1)));
        EXPECT_EQ(SysExSetting(), path);
        GetGlobalConfigurations().SetString(SysexFile, QStringLiteral("earlier.sysex"));
    }
}

TEST_F(DocumentCommands, AFileThatIsNoPresetDumpIsRefusedWithAMessageAndNothingIsSent)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        QStringList boxes;
    };
    const QString notADump = QStringLiteral("Failed to upload sysex dump file with File is not a previously saved Proteus dump file");
    const Case cases[] = {
        {"an arp pattern", Joined(Capture(QStringLiteral("xl7-arp-0000.syx"))), {notADump}},
        {"a setup", Joined(Capture(QStringLiteral("a2k-setup.syx"))), {notADump}},
        {"no SysEx at all", QByteArray("not a dump\n"), {notADump}},
        {"an empty file", QByteArray(), {notADump}},
        // Asked whether to go on with the whole messages (Yes), then refused.
        {"a preset cut short", Joined(Capture(QStringLiteral("a2k-user-preset-0000.syx"))).left(900),
         {QStringLiteral("File contains an incomplete SysEx. Try sending anyway?"),
          QStringLiteral("Failed to upload preset with 732 data bytes in the dump where its header announces 1492")}},
    };
    const struct {
        const char* name;
        void (View::*run)();
    } commands[] = {{"import", &View::OnEditImportData}, {"send", &View::OnEditSendData}, {"load", &View::OnFileLoad}};
    view->SetPresetFile(QStringLiteral("earlier.xml"));
    for (const auto& command : commands) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(command.name) + ": " + c.what);
            const QString path = WriteFile(QStringLiteral("bad.sysex"), c.bytes);
            NextFile(path);
            presenter->texts.clear();
            const size_t mark = ToModule().size();
            (view.get()->*command.run)();
            EXPECT_TRUE(Since(mark).empty()) << TranscriptText().right(400).toStdString();
            EXPECT_EQ(presenter->texts, c.boxes);
            EXPECT_EQ(SysExSetting(), QStringLiteral("earlier.sysex"));
            EXPECT_EQ(view->GetPresetFile(), QStringLiteral("earlier.xml"));
        }
    }
}

TEST_F(DocumentCommands, CancelledImportOrSendSendsNothing)
{
    for (bool import : {true, false}) {
        SCOPED_TRACE(import ? "import" : "send");
        NextFile(QString());
        fileDialogs = 0;
        const size_t mark = ToModule().size();
        if (import)
            view->OnEditImportData();
        else
            view->OnEditSendData();
        EXPECT_EQ(fileDialogs, 1);
        EXPECT_TRUE(Since(mark).empty());
        EXPECT_EQ(SysExSetting(), QStringLiteral("earlier.sysex"));
    }
}

} // namespace
