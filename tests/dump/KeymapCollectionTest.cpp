// The key-map collection against the simulated module: what KeymapCache.xml
// holds, which downloads a second collection saves, beat riffs, unique user
// presets, and failures that leave the cache file as it was.
#include "support/ConnectSupport.h"
#include "support/ProteusSimFixture.h"

#include "core/GlobalResources.h"
#include "core/Settings.h"
#include "module/ParameterIds.h"
#include "sim/Profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace proteustest;

namespace {

// Six user presets, six presets on ROM SIMM 4; the module's key-map values
// follow the rules documented with "keymapSections" in profiles.json.
constexpr char kProfile[] = R"({"base": "full", "userPresets": 6,
    "simms": [{"id": 4, "name": "Composer", "tag": "CMP", "presets": 6, "instruments": 16, "arps": 0, "demos": 0, "riffs": 0}]})";

class KeymapCollectionTest : public ProteusSimTest {
protected:
    void SetUp() override
    {
        SimOptions options;
        options.profileJson = kProfile;
        options.runConnectSequence = true;
        options.beforeOpen = [this](TestProteus&) {
            GetGlobalConfigurations().SetDword(Capabilities, CapabilitiesOf(module->profile()));
        };
        Start(options);
        ASSERT_TRUE(proteus->IsReady());

        resources = std::make_unique<GlobalResources>();
        DataLocations l;
        l.documentsFolder = root.filePath(QStringLiteral("docs"));
        l.programFolder = root.filePath(QStringLiteral("bin"));
        resources->SetDataLocations(l);
        // Instruments 1-8 of SIMM 4 have key maps: two ranges each.
        QString keymaps = QStringLiteral("<?xml version='1.0' ?><KeyMaps><SIMM ID='4' NAME='Composer'><INSTRUMENTS>");
        for (int i = 1; i <= 8; ++i)
            keymaps += QStringLiteral("<INSTRUMENT ID='%1'><KEY KEYLO='0' KEYHI='59'>Low%1</KEY>"
                                      "<KEY KEYLO='60' KEYHI='127'>High%1</KEY></INSTRUMENT>").arg(i);
        keymaps += QStringLiteral("</INSTRUMENTS></SIMM></KeyMaps>");
        Write(CachePath(QStringLiteral("Keymaps.xml")), keymaps.toUtf8());
        resources->LoadDocuments();

        // Riffs of SIMM 67: the odd ones are beat riffs, named in lower case.
        auto riffs = TPtr<_SimmData>(new _SimmData(67, 0, 0, 0, 0, 0, 16, 1));
        for (int i = 0; i < 16; ++i)
            riffs->SetName(OBJECT_RIFF, i, i % 2 ? QStringLiteral("bts-Groove %1").arg(i) : QStringLiteral("Loop %1").arg(i));
        proteus->AddSimmData(riffs);
    }

    void TearDown() override
    {
        resources.reset();
        Stop();
    }

    QString CachePath(const QString& name = QStringLiteral("KeymapCache.xml")) const
    {
        return root.filePath(QStringLiteral("docs/Tabrine/") + name);
    }
    static void Write(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray Read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Section requests (0x21 layer, 0x10 preset) for SIMM simmId sent since `from`.
    int SectionRequests(std::size_t from, int sub, int simmId)
    {
        const std::vector<QByteArray> sent = ToModule();
        int n = 0;
        for (std::size_t i = from; i < sent.size(); ++i) {
            const QByteArray& m = sent[i];
            if (m.size() > 8 && uchar(m[5]) == 0x11 && uchar(m[6]) == sub
                && Get14Signed(m, sub == 0x21 ? 11 : 9) == simmId)
                ++n;
        }
        return n;
    }

    bool Collect(bool saveBeats, bool onlyUnique, Proteus::PresetDataMap& results,
                 const std::set<QString>& romNames = {})
    {
        return proteus->CollectKeymapData(saveBeats, onlyUnique, romNames, results);
    }

    static KeyTexts Texts(const Proteus::PresetDataMap& results, int simmId, int preset)
    {
        KeyTexts texts;
        auto it = results.find(Proteus::PresetDataKey(simmId, preset));
        if (it != results.end())
            it->second->keyMap.ToKeyArray(texts);
        return texts;
    }

    QTemporaryDir root;
    std::unique_ptr<GlobalResources> resources;
};

TEST_F(KeymapCollectionTest, CacheHoldsRomLayersAndSecondCollectionDownloadsOnlyUserPresets)
{
    std::size_t mark = ToModule().size();
    Proteus::PresetDataMap first;
    ASSERT_TRUE(Collect(false, false, first));
    EXPECT_EQ(SectionRequests(mark, 0x21, 0), 6 * 4);
    EXPECT_EQ(SectionRequests(mark, 0x21, 4), 6 * 4);
    EXPECT_EQ(SectionRequests(mark, 0x10, 4), 0);

    // Presets 0-4 sound a mapped instrument on layer 0; preset 5 does not transpose
    // (no key map) and has no beat riff in this collection: no entry.
    for (int simm : {0, 4}) {
        for (int p = 0; p < 5; ++p)
            EXPECT_EQ(first.count(Proteus::PresetDataKey(simm, p)), 1u) << simm << ":" << p;
        EXPECT_EQ(first.count(Proteus::PresetDataKey(simm, 5)), 0u);
    }
    // Preset 1: layer 0 instrument 2 over all keys, transposed by 1 - 2 = -1.
    const KeyTexts t = Texts(first, 4, 1);
    EXPECT_TRUE(t[10].contains(QStringLiteral("Low2"))) << t[10].toStdString();
    EXPECT_TRUE(t[100].contains(QStringLiteral("High2"))) << t[100].toStdString();

    // The file: only the ROM SIMM, every layer with the values the module sent.
    XMLDocument cache;
    cache.Create();
    ASSERT_TRUE(cache.Load(CachePath()));
    EXPECT_TRUE(cache.GetDocumentElement().SelectSingleNode(u"./SIMM[@ID='0']").IsNull());
    XMLElement simm = cache.GetDocumentElement().SelectSingleNode(u"./SIMM[@ID='4']");
    ASSERT_FALSE(simm.IsNull());
    EXPECT_EQ(simm.GetAttribute(u"NAME"), proteus->GetSimmName(4));
    for (int p = 0; p < 6; ++p) {
        XMLElement preset = simm.SelectSingleNode(u"./PRESET[@ID='%d']", {p});
        ASSERT_FALSE(preset.IsNull()) << p;
        EXPECT_EQ(preset.GetAttribute(u"NAME"), proteus->GetSimmObjectName(OBJECT_PRESET, 4, p));
        EXPECT_TRUE(preset.SelectSingleNode(u"./RIFF").IsNull());
        for (int l = 0; l < 4; ++l) {
            SCOPED_TRACE(QStringLiteral("preset %1 layer %2").arg(p).arg(l).toStdString());
            XMLElement layer = preset.SelectSingleNode(u"./LAYER[@ID='%d']", {l});
            ASSERT_FALSE(layer.IsNull());
            const bool sounding = l == 0 || p % 4 == l;
            EXPECT_EQ(layer.GetIntAttribute(u"INSTRUMENT"), sounding ? 1 + (p + l) % 8 : 0);
            EXPECT_EQ(layer.GetIntAttribute(u"KEYLO"), l == 0 ? 0 : 24 + 12 * l);
            EXPECT_EQ(layer.GetIntAttribute(u"KEYHI"), l == 0 ? 127 : 47 + 12 * l);
            EXPECT_EQ(layer.GetIntAttribute(u"XPOSE"), p % 5 - 2);
            EXPECT_EQ(layer.GetIntAttribute(u"NO_XPOSE"), p % 6 == 5 ? 1 : 0);
            EXPECT_EQ(layer.GetIntAttribute(u"SIMM"), 4);
        }
    }

    // With beats: ROM riffs are downloaded once and cached, ROM layers never again.
    mark = ToModule().size();
    Proteus::PresetDataMap second;
    ASSERT_TRUE(Collect(true, false, second));
    EXPECT_EQ(SectionRequests(mark, 0x21, 4), 0);
    EXPECT_EQ(SectionRequests(mark, 0x21, 0), 6 * 4);
    EXPECT_EQ(SectionRequests(mark, 0x10, 4), 6);
    // Preset 5 plays riff 5, a beat riff ("bts-" in lower case): it now has an entry.
    EXPECT_EQ(second.count(Proteus::PresetDataKey(4, 5)), 1u);
    EXPECT_EQ(second.count(Proteus::PresetDataKey(4, 4)), 1u);

    mark = ToModule().size();
    Proteus::PresetDataMap third;
    ASSERT_TRUE(Collect(true, false, third));
    EXPECT_EQ(SectionRequests(mark, 0x21, 4) + SectionRequests(mark, 0x10, 4), 0);
    EXPECT_EQ(SectionRequests(mark, 0x10, 0), 6);
    ASSERT_EQ(third.size(), second.size());
    for (const auto& [key, entry] : second)
        EXPECT_EQ(Texts(third, entry->simmId, entry->presetNumber), Texts(second, entry->simmId, entry->presetNumber));
    XMLDocument again;
    again.Create();
    ASSERT_TRUE(again.Load(CachePath()));
    XMLElement riff = again.GetDocumentElement().SelectSingleNode(u"./SIMM[@ID='4']/PRESET[@ID='3']/RIFF");
    ASSERT_FALSE(riff.IsNull());
    EXPECT_EQ(riff.GetIntAttribute(u"SIMM"), 67);
    EXPECT_EQ(riff.GetIntAttribute(u"ID"), 3);
    EXPECT_EQ(riff.GetAttribute(u"NAME"), QStringLiteral("bts-Groove 3"));
}

TEST_F(KeymapCollectionTest, OnlyUniqueSkipsUserPresetsNamedLikeRomPresets)
{
    proteus->SetUserObjectName(OBJECT_PRESET, 0, QStringLiteral("Shared Name"));
    proteus->SetUserObjectName(OBJECT_PRESET, 1, QStringLiteral("Twin"));
    proteus->SetUserObjectName(OBJECT_PRESET, 2, QStringLiteral("Twin"));
    const std::set<QString> romNames{QStringLiteral("Shared Name")};
    struct Row {
        bool onlyUnique;
        bool preset0Kept;
    };
    for (const Row& row : {Row{true, false}, Row{false, true}}) {
        SCOPED_TRACE(row.onlyUnique);
        const std::size_t mark = ToModule().size();
        Proteus::PresetDataMap results;
        ASSERT_TRUE(Collect(false, row.onlyUnique, results, romNames));
        EXPECT_EQ(results.count(Proteus::PresetDataKey(0, 0)), row.preset0Kept ? 1u : 0u);
        EXPECT_EQ(results.count(Proteus::PresetDataKey(0, 1)), 1u); // two user presets of one name: both kept
        EXPECT_EQ(results.count(Proteus::PresetDataKey(0, 2)), 1u);
        EXPECT_EQ(SectionRequests(mark, 0x21, 0), row.onlyUnique ? 5 * 4 : 6 * 4);
    }
}

// The cache file is written whole or not at all: a collection that fails
// leaves the previous file byte for byte; a damaged file is reported and replaced.
TEST_F(KeymapCollectionTest, ACacheThatCannotBeSavedIsReported)
{
    // A folder in place of the file: the save fails after a good collection.
    ASSERT_TRUE(QDir().mkpath(CachePath()));
    env->presenter->texts.clear();
    Proteus::PresetDataMap results;
    EXPECT_TRUE(Collect(false, false, results));
    EXPECT_FALSE(results.empty());
    // (The folder does not load either, which has its own message.)
    EXPECT_EQ(env->presenter->texts.filter(QStringLiteral("KeymapCache.xml could not be saved")).size(), 1)
        << env->presenter->texts.join('\n').toStdString();
}

TEST_F(KeymapCollectionTest, FailedCollectionLeavesTheCacheFileAsItWas)
{
    struct Row {
        const char* name;
        QByteArray before; // empty: no file
        bool damaged;
    };
    const Row rows[] = {
        {"no file yet", {}, false},
        {"a good file", "<?xml version=\"1.0\"?>\n<Proteus><SIMM ID=\"9\" NAME=\"Other\"/></Proteus>\n", false},
        {"a damaged file", "<?xml version='1.0' ?><Proteus><SIMM", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(CachePath());
        if (!row.before.isEmpty())
            Write(CachePath(), row.before);
        // The fifth layer request (each comes with a request that reselects the
        // edit buffer) is refused: ROM SIMM 4, listed first, is half collected then.
        AddFault(sim::Fault::ModuleError(6).on(0x11).forSubject(-1).nth(9).limit(1));
        Proteus::PresetDataMap results;
        EXPECT_FALSE(Collect(false, false, results));
        EXPECT_EQ(QFile::exists(CachePath()), !row.before.isEmpty());
        EXPECT_EQ(Read(CachePath()), row.before);
        if (row.damaged)
            EXPECT_TRUE(Log().Contains(QStringLiteral("Failed to load LAYER_CACHE document")));

        // The next collection succeeds and replaces the file whole.
        Proteus::PresetDataMap retry;
        ASSERT_TRUE(Collect(false, false, retry));
        XMLDocument cache;
        cache.Create();
        ASSERT_TRUE(cache.Load(CachePath()));
        EXPECT_FALSE(cache.GetDocumentElement().SelectSingleNode(u"./SIMM[@ID='4']/PRESET[@ID='5']/LAYER[@ID='3']").IsNull());
    }
}

} // namespace
