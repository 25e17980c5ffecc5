// The main panel's File and Edit commands with the preset editor, against
// the simulated module: every real preset capture goes file -> module ->
// preset document -> module -> file and comes back byte for byte but for
// its preset number; a file is SysEx by its suffix; files of the wrong kind
// are refused with a message and change nothing.
#include "app/ViewFixture.h"

#include "app/FileDialogs.h"
#include "core/MessageBox.h"
#include "editors/EditPopup.h"
#include "editors/EditorPopups.h"
#include "module/ParameterIds.h"
#include "sim/DumpHandlers.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

namespace {

class AnsweringPresenter : public MessagePresenter {
public:
    int Present(QObject*, const QString& text, const QString&, unsigned type) override
    {
        texts << text;
        if (!answers.empty()) {
            const int a = answers.front();
            answers.pop_front();
            return a;
        }
        // Yes to "save the edit buffer?"; No to "save your edits first?".
        const unsigned buttons = type & msgbox::ButtonsMask;
        return buttons == msgbox::YesNo ? msgbox::IdYes : buttons == msgbox::YesNoCancel ? msgbox::IdNo : msgbox::IdOk;
    }
    QStringList texts;
    std::deque<int> answers;
};

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// The messages of a .syx file's bytes.
std::vector<QByteArray> Messages(const QByteArray& bytes)
{
    std::vector<QByteArray> out;
    qsizetype start = -1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (uchar(bytes[i]) == 0xF0)
            start = i;
        else if (uchar(bytes[i]) == 0xF7 && start >= 0) {
            out.push_back(bytes.mid(start, i - start + 1));
            start = -1;
        }
    }
    return out;
}

class PresetFileCommandsTest : public viewtest::ViewFixture {
protected:
    void SetUp() override
    {
        Start(R"({"base": "full"})", [](Document& d) {
            auto v = std::make_unique<View>(d);
            v->SetEditorFactory(CreateEditorPopup);
            return v;
        });
        Connect();
        presenter = std::make_shared<AnsweringPresenter>();
        SetMessagePresenter(presenter);
    }
    void TearDown() override
    {
        SetFileDialogScript({});
        ViewFixture::TearDown();
    }
    /// The user picks path (of file type `type`) in the next file dialogs.
    void NextFile(const QString& path, int type = 0)
    {
        SetFileDialogScript([path, type](FileDialogBase& d) {
            d.Choose(path, type);
            return int(QDialog::Accepted);
        });
    }
    QString Path(const QString& name) { return folder->filePath(name); }
    QString Copy(const QString& capture, const QString& name, bool closedLoop)
    {
        QByteArray bytes = ReadAll(QDir(sim::CapturesFolder()).filePath(capture));
        if (closedLoop) {
            // An open-loop capture as a download brings it: sub-codes 01 and 02.
            std::vector<QByteArray> m = Messages(bytes);
            bytes.clear();
            for (std::size_t i = 0; i < m.size(); ++i) {
                m[i][6] = char(i == 0 ? 0x01 : 0x02);
                bytes += m[i];
            }
        }
        const QString path = Path(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    ::EditPopup* Editor() { return dynamic_cast<::EditPopup*>(view->GetPopup(View::EditPopup)); }

    std::shared_ptr<AnsweringPresenter> presenter;
};

} // namespace

TEST(PresetFileType, AFileIsSysExByItsSuffixInAnyCase)
{
    struct Case {
        const char* path;
        bool sysex;
    };
    const Case cases[] = {{"pad.sysex", true}, {"PAD.SYSEX", true}, {"bass.syx", true}, {"Bass.Syx", true},
                          {"pad.xml", false},  {"my.sysex.d/p.xml", false}, {"sysex", false}, {"", false}};
    for (const Case& c : cases)
        EXPECT_EQ(View::IsSysExPath(QString::fromLatin1(c.path)), c.sysex) << c.path;
}

TEST_F(PresetFileCommandsTest, EveryRealPresetComesBackThroughTheModuleAndAPresetDocument)
{
    ASSERT_NE(Editor(), nullptr);
    struct Case {
        const char* capture;
        bool openLoop;
    };
    const Case cases[] = {{"a2k-user-preset-0000.syx", false},
                          {"cs-rom4-preset-0000.syx", false},
                          {"cs-rom4-preset-0512-numbered-edit-buffer.syx", false},
                          {"p2k-init-open-loop.syx", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capture);
        const QString in = Copy(QString::fromLatin1(c.capture), QStringLiteral("in.sysex"), c.openLoop);
        NextFile(in);
        view->OnFileLoad();
        ASSERT_EQ(view->GetPresetFile(), in) << presenter->texts.join(QLatin1Char('|')).toStdString();

        const QString xml = Path(QStringLiteral("through.xml"));
        NextFile(xml, 1);
        view->OnFileSaveAsPreset();
        ASSERT_TRUE(ReadAll(xml).startsWith("<?xml")) << xml.toStdString();
        NextFile(xml);
        view->OnFileLoad();
        EXPECT_EQ(view->GetPresetFile(), xml);

        const QString out = Path(QStringLiteral("OUT.SYX"));
        NextFile(out, 2);
        presenter->answers = {msgbox::IdYes}; // the edit buffer
        view->OnFileSaveAsPreset();
        const std::vector<QByteArray> original = Messages(ReadAll(in));
        const std::vector<QByteArray> back = Messages(ReadAll(out));
        ASSERT_EQ(back.size(), original.size());
        for (std::size_t i = 0; i < back.size(); ++i) {
            QByteArray a = original[i];
            QByteArray b = back[i];
            if (i == 0) {
                // The header's preset number and the ROM id after its counts
                // name the edit buffer now (preset -1, ROM 0).
                ASSERT_GE(b.size(), 12);
                EXPECT_EQ(b.mid(7, 2), QByteArray("\x7F\x7F", 2));
                EXPECT_EQ(b.mid(b.size() - 3, 2), QByteArray(2, 0));
                for (QByteArray* m : {&a, &b}) {
                    m->replace(7, 2, QByteArray(2, 0));
                    m->replace(m->size() - 3, 2, QByteArray(2, 0));
                }
            }
            EXPECT_EQ(b.toHex(' '), a.toHex(' ')) << "message " << i << " first difference at "
                                                   << std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
        }
        QFile::remove(out);
    }
}

TEST_F(PresetFileCommandsTest, ARefusedEditFromADocumentLeavesTheModulesValueShowing)
{
    /// An editor elsewhere that refuses every change of the preset's tuning.
    class Veto : public ControlBase {
    public:
        Veto() : ControlBase(nullptr) {}
        bool AllowParameterChange(ParamRecord* r) override { return !r || r->id != PRESET_KBD_TUNE; }
    };
    static Veto veto; // outlives the panel that holds it
    const QString xml = Path(QStringLiteral("tuned.xml"));
    NextFile(xml, 1);
    view->OnFileSaveAsPreset();
    ParamRecord* tune = Connection().FindParameter(PRESET_KBD_TUNE);
    ASSERT_NE(tune, nullptr);
    const int saved = tune->value;
    link->withDevice([&](sim::Device&) { module->setParameterValue(PRESET_KBD_TUNE, saved + 3); });
    view->AddControl(&veto);
    NextFile(xml);
    view->OnFileLoad();
    EXPECT_EQ(tune->value, saved + 3);
}

TEST_F(PresetFileCommandsTest, SaveAfterLoadingASysExFileWritesSysExAgain)
{
    const QString in = Copy(QStringLiteral("a2k-user-preset-0000.syx"), QStringLiteral("bass.sysex"), false);
    view->SetPresetFilter(1); // as a preset document was last chosen
    NextFile(in);
    view->OnFileLoad();
    presenter->answers = {msgbox::IdYes};
    view->OnFileSave();
    EXPECT_EQ(uchar(ReadAll(in).at(0)), 0xF0);
}

TEST_F(PresetFileCommandsTest, FilesOfTheWrongKindAreRefusedAndChangeNothing)
{
    const QString arp = Copy(QStringLiteral("xl7-arp-0000.syx"), QStringLiteral("arp.sysex"), false);
    const QString badXml = Path(QStringLiteral("bad.xml"));
    {
        QFile f(badXml);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<ProteusSettings><PRESET>");
    }
    view->SetPresetFile(QString());
    for (const QString& path : {arp, badXml}) {
        const qsizetype shown = presenter->texts.size();
        const std::size_t uploads =
            link->withDevice([&](sim::Device&) { return sim::Dumps(*module).acceptedUploads.size(); });
        NextFile(path);
        view->OnFileLoad();
        EXPECT_GT(presenter->texts.size(), shown) << path.toStdString();
        EXPECT_EQ(view->GetPresetFile(), QString()) << path.toStdString();
        EXPECT_EQ(link->withDevice([&](sim::Device&) { return sim::Dumps(*module).acceptedUploads.size(); }), uploads);
        EXPECT_FALSE(Editor()->IsModified());
    }
}
