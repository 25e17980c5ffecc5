// The main panel's File and Edit commands with the preset editor, against
// the simulated module: every real preset capture goes file -> module ->
// preset document -> module -> file and comes back byte for byte but for
// its preset number (the document holding the capture's values on the way),
// and a value changed in the document changes exactly its bytes in the file;
// a file is SysEx by its suffix; files of the wrong kind are refused with a
// message and change nothing.
#include "app/ViewFixture.h"

#include "app/FileDialogs.h"
#include "core/MessageBox.h"
#include "editors/EditPopup.h"
#include "editors/EditorPopups.h"
#include "module/ParameterIds.h"
#include "sim/DumpHandlers.h"
#include "sim/SysExHex.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>

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
    return sim::SplitSysEx(bytes);
}

/// An attribute of the element `name` in a preset document: of the preset
/// (layer -1) or inside its <LAYER ID="layer">; nothing when it is not there.
std::optional<int> DocumentValue(const QByteArray& xml, const char* name, int layer, const char* attribute = "VALUE")
{
    QXmlStreamReader r(xml);
    int inLayer = -1;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isEndElement() && r.name() == QLatin1String("LAYER"))
            inLayer = -1;
        if (!r.isStartElement())
            continue;
        if (r.name() == QLatin1String("LAYER")) {
            inLayer = r.attributes().value(QLatin1String("ID")).toInt();
        } else if (r.name() == QLatin1String(name) && inLayer == layer) {
            bool ok = false;
            const int v = r.attributes().value(QLatin1String(attribute)).toInt(&ok);
            return ok ? std::optional<int>(v) : std::nullopt;
        }
    }
    return std::nullopt;
}

/// The document with the VALUE of `name` in <LAYER ID="layer"> set to value.
QByteArray WithLayerValue(QByteArray xml, const char* name, int layer, int value)
{
    const qsizetype inLayer = xml.indexOf("<LAYER ID=\"" + QByteArray::number(layer) + "\">");
    const QByteArray tag = "<" + QByteArray(name) + " VALUE=\"";
    const qsizetype at = inLayer < 0 ? -1 : xml.indexOf(tag, inLayer);
    const qsizetype end = at < 0 ? -1 : xml.indexOf('"', at + tag.size());
    if (end < 0)
        return {};
    return xml.replace(at + tag.size(), end - at - tag.size(), QByteArray::number(value));
}

/// 14-bit, low 7 bits first, negative + 0x4000.
QByteArray Pair14(int value)
{
    QByteArray pair(2, 0);
    pair[0] = char(value & 0x7F);
    pair[1] = char((value >> 7) & 0x7F);
    return pair;
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
    /// Where the module keeps parameter id (of layer, -1 the preset's) in a whole preset's messages.
    std::optional<sim::PresetDumpValue> InDump(const std::vector<QByteArray>& messages, int id, int layer)
    {
        return link->withDevice([&](sim::Device&) { return sim::FindPresetDumpValue(*module, messages, id, layer); });
    }
    /// Saves the edit buffer as a SysEx file and compares it with `expected`,
    /// but for the header's preset number and the ROM id after its counts,
    /// which name the edit buffer now (preset -1, ROM 0).
    void ExpectEditBufferFile(const std::vector<QByteArray>& expected)
    {
        const QString out = Path(QStringLiteral("OUT.SYX"));
        NextFile(out, 2);
        presenter->answers = {msgbox::IdYes}; // the edit buffer
        view->OnFileSaveAsPreset();
        const std::vector<QByteArray> back = Messages(ReadAll(out));
        QFile::remove(out);
        ASSERT_EQ(back.size(), expected.size());
        for (std::size_t i = 0; i < back.size(); ++i) {
            QByteArray a = expected[i];
            QByteArray b = back[i];
            if (i == 0) {
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
    }

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
    // Values the document must hold as the capture has them: preset values of
    // every section, name bytes, layer values (a negative one among them) of
    // every layer section, and the ROMs of a riff and an instrument.
    struct Checked {
        const char* name;
        int layer;
        const char* attribute;
        int dumpId; ///< the parameter whose place in the dump holds the attribute
    };
    const Checked checked[] = {
        {"PRESET_NAME_CHAR_0", -1, "VALUE", PRESET_NAME_CHAR_0},
        {"PRESET_NAME_CHAR_15", -1, "VALUE", PRESET_NAME_CHAR_0 + 15},
        {"PRESET_CTRL_A", -1, "VALUE", PRESET_CTRL_A},
        {"PRESET_FX_A_ALGORITHM", -1, "VALUE", PRESET_FX_A_ALGORITHM},
        {"PRESET_RIFF", -1, "SIMM_ID", PRESET_RIFF_ROM_ID},
        {"PRESET_ARP_MODE", -1, "VALUE", PRESET_ARP_MODE},
        {"LINK_1_VOLUME", -1, "VALUE", LINK_1_VOLUME},
        {"LAYER_INSTRUMENT", 2, "VALUE", LAYER_INSTRUMENT},
        {"LAYER_INSTRUMENT", 2, "SIMM_ID", LAYER_INST_ROM_ID},
        {"LAYER_VOLUME", 1, "VALUE", LAYER_VOLUME},
        {"LAYER_PAN", 1, "VALUE", LAYER_PAN},
        {"LAYER_KEY_HIGH", 3, "VALUE", LAYER_KEY_HIGH},
        {"LAYER_FILT_Q", 0, "VALUE", LAYER_FILT_Q},
        {"LAYER_CORD0_SRC", 3, "VALUE", LAYER_CORD0_SRC},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capture);
        const QString in = Copy(QString::fromLatin1(c.capture), QStringLiteral("in.sysex"), c.openLoop);
        const std::vector<QByteArray> original = Messages(ReadAll(in));
        NextFile(in);
        view->OnFileLoad();
        ASSERT_EQ(view->GetPresetFile(), in) << presenter->texts.join(QLatin1Char('|')).toStdString();

        const QString xml = Path(QStringLiteral("through.xml"));
        NextFile(xml, 1);
        view->OnFileSaveAsPreset();
        const QByteArray document = ReadAll(xml);
        ASSERT_TRUE(document.startsWith("<?xml")) << xml.toStdString();
        for (const Checked& v : checked) {
            SCOPED_TRACE(v.name);
            SCOPED_TRACE(v.attribute);
            const std::optional<sim::PresetDumpValue> inCapture = InDump(original, v.dumpId, v.layer);
            ASSERT_TRUE(inCapture);
            EXPECT_EQ(DocumentValue(document, v.name, v.layer, v.attribute), inCapture->value);
        }
        NextFile(xml);
        view->OnFileLoad();
        EXPECT_EQ(view->GetPresetFile(), xml);
        ExpectEditBufferFile(original);

        // One value changed in the document: the file differs from the
        // capture in that value's bytes and its packet's checksum only.
        const std::optional<sim::PresetDumpValue> volume = InDump(original, LAYER_VOLUME, 2);
        ASSERT_TRUE(volume);
        const int changed = volume->value == -20 ? -21 : -20;
        const QString edited = Path(QStringLiteral("edited.xml"));
        {
            const QByteArray text = WithLayerValue(document, "LAYER_VOLUME", 2, changed);
            ASSERT_FALSE(text.isEmpty());
            QFile f(edited);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(text);
        }
        NextFile(edited);
        view->OnFileLoad();
        EXPECT_EQ(view->GetPresetFile(), edited);
        std::vector<QByteArray> expected = original;
        QByteArray& packet = expected[std::size_t(volume->message)];
        packet.replace(volume->at, 2, Pair14(changed));
        packet[packet.size() - 2] = char(sim::PacketChecksum(packet));
        ExpectEditBufferFile(expected);
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
