// Preset documents against the simulated module in virtual time: a document
// saved from the module loads back without a single edit, a changed value
// goes out as its edit on the right layer, and files that are no preset
// document are refused with a message before anything is sent or written.
#include "../dump/DumpSimTest.h"
#include "../dump/RecordingPresenter.h"

#include "connection/PresetDocument.h"
#include "module/ParameterIds.h"
#include "sim/Fault.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace dumptest;

namespace {

class PresetDocumentTest : public DumpSimTest {
protected:
    void SetUp() override
    {
        DumpSimTest::SetUp();
        SetMessagePresenter(scope.presenter); // over the one the connection's set-up installs
    }
    /// Every record handed to the editor, sent as the editor would.
    Proteus::ParameterEditor Editor()
    {
        return [this](ParamRecord* record) {
            edits.push_back({record->id, record->value, LayerShown()});
            return proteus->ParameterEdit(record);
        };
    }
    int LayerShown()
    {
        ParamRecord* r = proteus->FindParameter(LAYER_SELECT);
        return r ? r->value : -1;
    }
    int ModuleValueOnLayer(int id, int layer)
    {
        return OnModule([&](sim::Module& m) {
            const int shown = m.parameterValue(LAYER_SELECT).value_or(0);
            m.setParameterValue(LAYER_SELECT, layer);
            const int v = m.parameterValue(id).value_or(-9999);
            m.setParameterValue(LAYER_SELECT, shown);
            return v;
        });
    }
    void SetModuleValueOnLayer(int id, int layer, int value)
    {
        OnModule([&](sim::Module& m) {
            const int shown = m.parameterValue(LAYER_SELECT).value_or(0);
            m.setParameterValue(LAYER_SELECT, layer);
            m.setParameterValue(id, value);
            m.setParameterValue(LAYER_SELECT, shown);
            return 0;
        });
    }
    QString Write(const char* name, const QByteArray& text)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    }
    std::size_t EditsSent()
    {
        std::size_t n = 0;
        for (const QByteArray& m : ToModule())
            if (m.startsWith(Hex("F0 18 0F 00 55 01 02")) && !m.startsWith(Hex("F0 18 0F 00 55 01 02 02 07")))
                ++n; // parameter edits other than LAYER_SELECT (898 = 02 07)
        return n;
    }

    struct Edit {
        int id, value, layer;
    };
    PresenterScope scope;
    QTemporaryDir dir;
    std::vector<Edit> edits;
};

} // namespace

TEST_F(PresetDocumentTest, ASavedDocumentLoadsBackWithoutAnEditAndAChangeGoesToItsLayer)
{
    SetModuleValueOnLayer(LAYER_VOLUME, 2, -9);
    const QString path = dir.filePath(QStringLiteral("pad.xml"));
    OleProps props;
    props.comments = QStringLiteral("A warm pad");
    ASSERT_TRUE(SavePresetDocument(*proteus, path, props));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("<LAYER ID=\"2\">"));
    EXPECT_TRUE(text.contains("<LAYER_VOLUME VALUE=\"-9\""));
    EXPECT_TRUE(text.contains("<TOOLTIP>A warm pad</TOOLTIP>"));
    EXPECT_EQ(LayerShown(), 0); // the layer shown before is shown again

    OleProps read;
    const std::size_t before = EditsSent();
    ASSERT_TRUE(LoadPresetDocument(*proteus, Editor(), path, read));
    EXPECT_TRUE(edits.empty());
    EXPECT_EQ(EditsSent(), before);
    EXPECT_EQ(read.comments, QStringLiteral("A warm pad"));

    // The module's layer 2 changes; loading puts the document's value back there only.
    SetModuleValueOnLayer(LAYER_VOLUME, 2, -20);
    ASSERT_TRUE(LoadPresetDocument(*proteus, Editor(), path, read));
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0].id, LAYER_VOLUME);
    EXPECT_EQ(edits[0].value, -9);
    EXPECT_EQ(edits[0].layer, 2);
    EXPECT_EQ(ModuleValueOnLayer(LAYER_VOLUME, 2), -9);
    EXPECT_EQ(LayerShown(), 0);
}

TEST_F(PresetDocumentTest, FilesThatAreNoPresetDocumentAreRefusedBeforeAnythingIsSent)
{
    struct Case {
        const char* name;
        QByteArray text;
    };
    const Case cases[] = {
        {"broken.xml", "<ProteusSettings><PRESET>"},
        {"other.xml", "<?xml version='1.0' ?><Other><PRESET/><PRESETARP/></Other>"},
        {"noarp.xml", "<ProteusSettings><PRESET><LAYER_VOLUME VALUE=\"3\"/></PRESET></ProteusSettings>"},
        {"badlayer.xml", "<ProteusSettings><PRESET><PRESET_CTRL_A VALUE=\"5\"/><LAYER ID=\"7\"/></PRESET>"
                         "<PRESETARP/></ProteusSettings>"},
        {"empty.xml", ""},
    };
    for (const Case& c : cases) {
        const QString path = Write(c.name, c.text);
        const std::size_t shown = scope.presenter->shown.size();
        const std::size_t sent = ToModule().size();
        OleProps props;
        props.comments = QStringLiteral("kept");
        EXPECT_FALSE(LoadPresetDocument(*proteus, Editor(), path, props)) << c.name;
        EXPECT_GT(scope.presenter->shown.size(), shown) << c.name;
        EXPECT_EQ(ToModule().size(), sent) << c.name;
        EXPECT_TRUE(edits.empty()) << c.name;
        EXPECT_EQ(props.comments, QStringLiteral("kept")) << c.name;
    }
}

TEST_F(PresetDocumentTest, AValueTheModuleDoesNotAnswerFailsTheSaveAndWritesNothing)
{
    const QString path = dir.filePath(QStringLiteral("never.xml"));
    AddFault(sim::Fault::Silence().on(0x02).forSubject(LAYER_FILT_Q));
    OleProps props;
    EXPECT_FALSE(SavePresetDocument(*proteus, path, props));
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_FALSE(scope.presenter->shown.empty());
    EXPECT_TRUE(scope.presenter->shown.back().text.contains(QStringLiteral("LAYER_FILT_Q")));
}

// A document value the module does not take (the editor refuses it, or the
// send fails on a lost connection) leaves the cached record as it was, and
// the module too; a value the module takes lands in the cache.
TEST_F(PresetDocumentTest, AValueTheModuleDoesNotTakeLeavesTheCacheAsItWas)
{
    const QString path = dir.filePath(QStringLiteral("ctrl.xml"));
    OnModule([](sim::Module& m) {
        m.setParameterValue(PRESET_CTRL_A, 5);
        return 0;
    });
    OleProps props;
    ASSERT_TRUE(SavePresetDocument(*proteus, path, props));
    OnModule([](sim::Module& m) {
        m.setParameterValue(PRESET_CTRL_A, 9);
        return 0;
    });
    ParamRecord* cached = proteus->PresetParameters.Find(PRESET_CTRL_A);
    ASSERT_NE(cached, nullptr);
    ASSERT_TRUE(proteus->ParameterRequest(cached));
    ASSERT_EQ(cached->value, 9);
    const ParamRecord before = *cached;

    const struct {
        const char* name;
        Proteus::ParameterEditor editor;
    } rows[] = {
        {"refused", [](ParamRecord*) { return false; }},
        {"send fails", [this](ParamRecord* record) {
             proteus->SetConnected(false);
             return proteus->ParameterEdit(record);
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LoadPresetDocument(*proteus, row.editor, path, props);
        proteus->SetConnected(true);
        EXPECT_EQ(cached->value, before.value);
        EXPECT_EQ(cached->previousValue, before.previousValue);
        EXPECT_EQ(cached->romId, before.romId);
        EXPECT_EQ(OnModule([](sim::Module& m) { return m.parameterValue(PRESET_CTRL_A).value_or(-1); }), 9);
    }

    ASSERT_TRUE(LoadPresetDocument(*proteus, Editor(), path, props));
    EXPECT_EQ(cached->value, 5);
    EXPECT_EQ(OnModule([](sim::Module& m) { return m.parameterValue(PRESET_CTRL_A).value_or(-1); }), 5);
}
