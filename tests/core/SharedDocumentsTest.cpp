#include "ResourcesFixture.h"

#include "core/RegistryKey.h"

using SharedDocumentsTest = ResourcesFixture;

namespace {

// Tip 32820 has the string-table text "Reverts to the default value".
constexpr unsigned kTip = 32820;
const QString kShortTip = QStringLiteral("Reverts to the default value");

int Count(const XMLNode& context, QStringView xpath)
{
    std::vector<XMLNode> nodes;
    context.SelectNodes(xpath, nodes);
    return int(nodes.size());
}

std::vector<QString> WarningsContaining(const QString& text)
{
    std::vector<QString> found;
    for (const QString& line : TheTmpLogStore().TakeWaiting())
        if (line.contains(text))
            found.push_back(line);
    return found;
}

} // namespace

// ---------------------------------------------------------------- Tooltips

TEST_F(SharedDocumentsTest, ControlTooltipDependsOnTheSettingAndShowsCrLf)
{
    StartWith("<Proteus><Controls>\n"
              "  <Control ID='32820'><![CDATA[first\nsecond]]></Control>\n"
              "  <Control ID='130'>plain text only</Control>\n"
              "</Controls></Proteus>",
              nullptr, nullptr, nullptr);
    struct Row {
        std::uint32_t setting;
        QString expected;
    };
    for (const Row& row : {Row{0, kShortTip}, Row{1, kShortTip}, Row{2, QStringLiteral("first\r\nsecond")}}) {
        SCOPED_TRACE(row.setting);
        GetGlobalConfigurations().SetDword(EnableTooltips, row.setting);
        EXPECT_EQ(resources->GetTooltipText(kTip), row.expected);
    }
    // A Control without a CDATA section shows the string-table text.
    EXPECT_EQ(resources->GetTooltipText(130), QStringLiteral("Cancels the dialog"));
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SharedDocumentsTest, StoringControlTooltipsBuildsOnePathAndOneText)
{
    StartWith("<Proteus><Controls><Control ID='130'>plain</Control></Controls></Proteus>", nullptr, nullptr, nullptr);
    GetGlobalConfigurations().SetDword(EnableTooltips, 2);
    const XMLElement root = resources->Document(SharedDocument::Tooltips).GetDocumentElement();

    // The text currently shown changes nothing.
    resources->SetTooltipText(kTip, kShortTip);
    EXPECT_FALSE(resources->IsChanged(SharedDocument::Tooltips));

    resources->SetTooltipText(kTip, QStringLiteral("one\r\ntwo"));
    resources->SetTooltipText(131, QStringLiteral("other"));
    resources->SetTooltipText(kTip, QStringLiteral("three\r\nfour"));
    EXPECT_TRUE(resources->IsChanged(SharedDocument::Tooltips));
    EXPECT_EQ(Count(root, u"./Controls"), 1);
    EXPECT_EQ(Count(root, u"./Controls/Control"), 3);
    EXPECT_EQ(Count(root, u"./Controls/Control[@ID='32820']"), 1);
    const XMLNode control = root.SelectSingleNode(u"./Controls/Control[@ID='32820']");
    EXPECT_EQ(control.GetFirstChild().GetNodeType(), XMLNodeCDATASection);
    EXPECT_TRUE(control.GetFirstChild().GetNextSibling().IsNull());
    EXPECT_EQ(resources->GetTooltipText(kTip), QStringLiteral("three\r\nfour"));

    // Writing beside plain text adds a CDATA section and keeps the text.
    resources->SetTooltipText(130, QStringLiteral("long"));
    EXPECT_EQ(root.SelectSingleNode(u"./Controls/Control[@ID='130']").GetText(), QStringLiteral("plainlong"));
    EXPECT_EQ(resources->GetTooltipText(130), QStringLiteral("long"));

    // Line ends are normalised once: reading and storing the same text again,
    // in either convention, is not a change; nor is it after a save and reload.
    Restart();
    TakeMessages();
    for (const QString& same : {QStringLiteral("three\r\nfour"), QStringLiteral("three\nfour")}) {
        resources->SetTooltipText(kTip, same);
        EXPECT_FALSE(resources->IsChanged(SharedDocument::Tooltips));
    }
    EXPECT_EQ(resources->GetTooltipText(kTip), QStringLiteral("three\r\nfour"));
}

TEST_F(SharedDocumentsTest, TooltipTextsSurviveMarkupAndCDataEnds)
{
    StartWith(nullptr, nullptr, nullptr, nullptr);
    GetGlobalConfigurations().SetDword(EnableTooltips, 2);
    const QString tricky = QStringLiteral("a <b> & \"c\" ]]> d ]]]]> e");
    resources->SetTooltipText(kTip, tricky);
    resources->SetObjectTooltip(OBJECT_ARP, 3, 4, tricky);
    Restart();
    EXPECT_EQ(resources->GetTooltipText(kTip), tricky);
    EXPECT_EQ(resources->GetObjectTooltip(OBJECT_ARP, 3, 4), tricky);
    resources->SetTooltipText(kTip, tricky);
    EXPECT_FALSE(resources->IsChanged(SharedDocument::Tooltips));
}

TEST_F(SharedDocumentsTest, ObjectNotesAreKeyedBySimmKindAndNumber)
{
    StartWith(nullptr, nullptr, nullptr, nullptr);
    GetGlobalConfigurations().SetDword(EnableTooltips, 0); // notes do not depend on it
    resources->SetObjectTooltip(OBJECT_PRESET, 2, 10, QStringLiteral("warm pad"));
    resources->SetObjectTooltip(OBJECT_PRESET, 2, 11, QStringLiteral("bright\r\nlead"));
    resources->SetObjectTooltip(static_cast<ObjectKind>(7), 2, 10, QStringLiteral("odd kind"));
    resources->SetObjectTooltip(OBJECT_RIFF, 5, 10, QStringLiteral("groove"));

    const XMLElement root = resources->Document(SharedDocument::Tooltips).GetDocumentElement();
    EXPECT_EQ(Count(root, u"./SIMMS"), 1);
    EXPECT_EQ(Count(root, u"./SIMMS/SIMM"), 2);
    EXPECT_EQ(Count(root, u"./SIMMS/SIMM[@ID='2']/Object"), 2);
    EXPECT_EQ(Count(root, u"./SIMMS/SIMM[@ID='2']/Object[@ID='Unknown']/Tooltip[@ID='10']"), 1);
    EXPECT_EQ(resources->GetObjectTooltip(OBJECT_PRESET, 2, 11), QStringLiteral("bright\r\nlead"));
    EXPECT_EQ(resources->GetObjectTooltip(static_cast<ObjectKind>(9), 2, 10), QStringLiteral("odd kind"));
    EXPECT_EQ(resources->GetObjectTooltip(OBJECT_RIFF, 2, 10), QString());
    EXPECT_EQ(resources->GetObjectTooltip(OBJECT_RIFF, 5, 10), QStringLiteral("groove"));
}

// ---------------------------------------------------------------- Keymaps

TEST_F(SharedDocumentsTest, KeyMapsListRangesOfTheFirstMatchingInstrument)
{
    StartWith(nullptr,
              "<KeyMaps>"
              "<SIMM ID='3' NAME='Rom'><INSTRUMENTS>"
              "<INSTRUMENT ID='1' NAME='Piano'><KEY KEYLO='60' KEYHI='72'>C5</KEY><KEY KEYLO='0'>Low</KEY></INSTRUMENT>"
              "<INSTRUMENT ID='2' NAME='Empty'/>"
              "</INSTRUMENTS></SIMM>"
              "<SIMM ID='3' NAME='Second'><INSTRUMENTS><INSTRUMENT ID='1'><KEY KEYLO='1' KEYHI='2'>X</KEY></INSTRUMENT>"
              "</INSTRUMENTS></SIMM>"
              "</KeyMaps>",
              nullptr, nullptr);
    std::vector<KeyRange> keys;
    ASSERT_TRUE(resources->GetKeyMap(3, 1, keys));
    const std::vector<KeyRange> expected = {{60, 72, QStringLiteral("C5")}, {0, 0, QStringLiteral("Low")}};
    EXPECT_EQ(keys, expected);
    ASSERT_TRUE(resources->GetKeyMap(3, 1, keys));
    EXPECT_EQ(keys.size(), 4u); // added to, not replaced
    EXPECT_TRUE(resources->GetKeyMap(3, 2, keys));
    EXPECT_FALSE(resources->GetKeyMap(3, 9, keys));
    EXPECT_FALSE(resources->GetKeyMap(4, 1, keys));
    EXPECT_EQ(keys.size(), 4u);
}

TEST_F(SharedDocumentsTest, KeymapDiagnosticReportsDuplicatesAndSuspiciousRanges)
{
    struct Row {
        const char* name;
        const char* keys; // the KEY elements of one instrument
        const char* expected; // the one line logged, or null for none
    };
    const Row rows[] = {
        {"adjoining same sample", "<KEY KEYLO='60' KEYHI='72'>S</KEY><KEY KEYLO='0' KEYHI='59'>S</KEY>",
         "Keymap: SIMM 3 (Rom), Instrument 1 (Piano) - Key has adjoining samples (60-72 S)  (0-59 S). Could the ranges be "
         "aggregated?"},
        {"overlapping same sample", "<KEY KEYLO='0' KEYHI='60'>S</KEY><KEY KEYLO='60' KEYHI='72'>S</KEY>",
         "Keymap: SIMM 3 (Rom), Instrument 1 (Piano) - Key has overlapping sample (60-72 S)  (0-60 S). Is it a "
         "duplicate?"},
        {"overlapping different samples", "<KEY KEYLO='0' KEYHI='60'>S</KEY><KEY KEYLO='60' KEYHI='72'>T</KEY>", nullptr},
        {"key above range", "<KEY KEYLO='10' KEYHI='128'>S</KEY>",
         "Keymap: SIMM 3 (Rom), Instrument 1 (Piano) Key S has key hi greater than 127"},
        {"key below zero", "<KEY KEYLO='-1' KEYHI='5'>S</KEY>",
         "Keymap: SIMM 3 (Rom), Instrument 1 (Piano) Key S has key lo less than zero"},
        {"reversed range", "<KEY KEYLO='20' KEYHI='10'>S</KEY>",
         "Keymap: SIMM 3 (Rom), Instrument 1 (Piano) Key S has key hi less than key lo"},
        // The highest number a file can hold is compared with the next key
        // without wrapping around.
        {"key hi at the integer limit", "<KEY KEYLO='0' KEYHI='2147483647'>S</KEY><KEY KEYLO='1' KEYHI='2'>T</KEY>",
         "Keymap: SIMM 3 (Rom), Instrument 1 (Piano) Key S has key hi greater than 127"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray doc = QByteArray("<KeyMaps><SIMM ID='3' NAME='Rom'><INSTRUMENTS><INSTRUMENT ID='1' NAME='Piano'>") +
                               row.keys + "</INSTRUMENT></INSTRUMENTS></SIMM></KeyMaps>";
        StartWith(nullptr, doc.constData(), nullptr, nullptr);
        TheTmpLogStore().TakeWaiting();
        resources->ValidateKeymaps();
        const std::vector<QString> lines = WarningsContaining(QStringLiteral("Keymap: "));
        if (!row.expected) {
            EXPECT_TRUE(lines.empty());
            continue;
        }
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_TRUE(lines[0].contains(QStringLiteral("WARNING: ") + QString::fromUtf8(row.expected)))
            << lines[0].toStdString();
    }

    // Duplicate SIMM ids: one line, and the second SIMM's instruments are
    // examined against the first one's keys.
    StartWith(nullptr,
              "<KeyMaps><SIMM ID='3' NAME='A'><INSTRUMENTS><INSTRUMENT ID='1' NAME='I'>"
              "<KEY KEYLO='0' KEYHI='9'>S</KEY><KEY KEYLO='10' KEYHI='20'>S</KEY></INSTRUMENT></INSTRUMENTS></SIMM>"
              "<SIMM ID='3' NAME='B'><INSTRUMENTS><INSTRUMENT ID='1' NAME='J'/><INSTRUMENT ID='1' NAME='J'/>"
              "</INSTRUMENTS></SIMM></KeyMaps>",
              nullptr, nullptr);
    TheTmpLogStore().TakeWaiting();
    resources->ValidateKeymaps();
    const std::vector<QString> lines = WarningsContaining(QStringLiteral("Keymap: "));
    auto count = [&](const char* text) {
        return std::count_if(lines.begin(), lines.end(), [&](const QString& l) { return l.contains(QString::fromUtf8(text)); });
    };
    EXPECT_EQ(count("Keymap: SIMM 3 has duplicate SIMM ID"), 1);
    EXPECT_EQ(count("Keymap: SIMM 3 (B), Instrument 1 has duplicate instrument ID"), 1);
    EXPECT_EQ(count("Keymap: SIMM 3 (B), Instrument 1 (J) has duplicate instrument Name"), 1);
    EXPECT_EQ(count("(B), Instrument 1 (J) - Key has adjoining samples (10-20 S)  (0-9 S)"), 2);
    EXPECT_EQ(lines.size(), 6u);
}

// ---------------------------------------------------------------- Mappings

TEST_F(SharedDocumentsTest, MappingLookUpsFollowTheConfigurationName)
{
    StartWith(nullptr, nullptr,
              "<Mappings>"
              "<DEVICE ID='Studio'><OBJECT ID='Preset'><MAPPING ID='Pno'>Studio piano</MAPPING></OBJECT></DEVICE>"
              "<DEVICE ID='Settings'>"
              "<OBJECT ID='Preset'><MAPPING ID='Pno'>Piano</MAPPING><MAPPING ID='Pno'>Second</MAPPING>"
              "<MAPPING ID='Gtr'>Guitar</MAPPING>"
              "<SIMM ID='2'><MAPPINGS><MAPPING ID='Str'>Strings</MAPPING></MAPPINGS>"
              "<NAMES><NAME ID='5'>Five</NAME><NAME ID='6'></NAME></NAMES></SIMM></OBJECT>"
              "<CONTROLLERS><CONTROLLER ID='A'>Mod wheel</CONTROLLER><CONTROLLER ID='A'>Dup</CONTROLLER></CONTROLLERS>"
              "</DEVICE>"
              "<DEVICE ID=\"it's\"><CONTROLLERS/></DEVICE>"
              "</Mappings>",
              nullptr);
    std::map<QString, QString> map;
    EXPECT_TRUE(resources->GetObjectMappings(QStringLiteral("Settings"), QStringLiteral("Preset"), map));
    const std::map<QString, QString> objectWide = {{QStringLiteral("Gtr"), QStringLiteral("Guitar")},
                                                   {QStringLiteral("Pno"), QStringLiteral("Piano")}};
    EXPECT_EQ(map, objectWide);

    map.clear();
    EXPECT_TRUE(resources->GetSimmMappings(QStringLiteral("Settings"), QStringLiteral("Preset"), 2, map));
    EXPECT_EQ(map, (std::map<QString, QString>{{QStringLiteral("Str"), QStringLiteral("Strings")}}));
    map.clear();
    EXPECT_TRUE(resources->GetSimmMappings(QStringLiteral("Settings"), QStringLiteral("Preset"), 3, map));
    EXPECT_TRUE(resources->GetObjectMappings(QStringLiteral("Nobody"), QStringLiteral("Preset"), map));
    EXPECT_TRUE(map.empty());

    QString name = QStringLiteral("unchanged");
    EXPECT_FALSE(resources->GetMappedObjectName(QStringLiteral("Settings"), QStringLiteral("Preset"), 2, 7, name));
    EXPECT_EQ(name, QStringLiteral("unchanged"));
    EXPECT_TRUE(resources->GetMappedObjectName(QStringLiteral("Settings"), QStringLiteral("Preset"), 2, 5, name));
    EXPECT_EQ(name, QStringLiteral("Five"));
    EXPECT_TRUE(resources->GetMappedObjectName(QStringLiteral("Settings"), QStringLiteral("Preset"), 2, 6, name));
    EXPECT_EQ(name, QString());

    map.clear();
    EXPECT_TRUE(resources->GetControllerNames(QStringLiteral("Settings"), map));
    EXPECT_EQ(map, (std::map<QString, QString>{{QStringLiteral("A"), QStringLiteral("Mod wheel")}}));
    EXPECT_TRUE(resources->GetControllerNames(QStringLiteral("it's"), map));
    EXPECT_FALSE(resources->GetControllerNames(QStringLiteral("Studio"), map));
    // A name that would widen a pasted query finds nothing.
    EXPECT_FALSE(resources->GetControllerNames(QStringLiteral("x' or @ID='Settings"), map));
    EXPECT_TRUE(TakeMessages().empty());
}

// The command line may name a configuration with quotes or brackets in it;
// every Mappings look-up by that name still finds its own DEVICE and only it.
TEST_F(SharedDocumentsTest, ConfigurationNamesWithQuotesFindTheirOwnDevice)
{
    StartWith(nullptr, nullptr,
              "<Mappings>"
              "<DEVICE ID=\"Tom's Studio\"><OBJECT ID='Preset'><MAPPING ID='Pno'>Tom piano</MAPPING>"
              "<SIMM ID='2'><MAPPINGS><MAPPING ID='Str'>Tom strings</MAPPING></MAPPINGS>"
              "<NAMES><NAME ID='5'>Tom five</NAME></NAMES></SIMM></OBJECT>"
              "<CONTROLLERS><CONTROLLER ID='B'>Tom breath</CONTROLLER></CONTROLLERS></DEVICE>"
              "<DEVICE ID='Rig [2]'><CONTROLLERS><CONTROLLER ID='C'>Rig pedal</CONTROLLER></CONTROLLERS></DEVICE>"
              "<DEVICE ID='Settings'><OBJECT ID='Preset'><MAPPING ID='Pno'>Piano</MAPPING></OBJECT>"
              "<CONTROLLERS><CONTROLLER ID='A'>Mod wheel</CONTROLLER></CONTROLLERS></DEVICE>"
              "</Mappings>",
              nullptr);
    struct Case {
        QString name;
        QString controller, controllerLabel; // empty: no controllers
        QString objectMapping;               // the 'Pno' mapping, empty when none
    };
    const Case cases[] = {
        {QStringLiteral("Tom's Studio"), QStringLiteral("B"), QStringLiteral("Tom breath"), QStringLiteral("Tom piano")},
        {QStringLiteral("Rig [2]"), QStringLiteral("C"), QStringLiteral("Rig pedal"), QString()},
        {QStringLiteral("x' or @ID='Settings"), QString(), QString(), QString()},
        {QStringLiteral("Tom's"), QString(), QString(), QString()},
    };
    for (const Case& c : cases) {
        // The name goes the program's way: kept by the settings, read back from them.
        ASSERT_TRUE(IsValidConfigurationName(c.name)) << c.name.toStdString();
        GetGlobalConfigurations().SetKeyName(c.name);
        const QString device = GetGlobalConfigurations().KeyName();
        ASSERT_EQ(device, c.name);

        std::map<QString, QString> controllers;
        EXPECT_EQ(resources->GetControllerNames(device, controllers), !c.controller.isEmpty()) << c.name.toStdString();
        if (!c.controller.isEmpty())
            EXPECT_EQ(controllers, (std::map<QString, QString>{{c.controller, c.controllerLabel}}));

        std::map<QString, QString> objects;
        EXPECT_TRUE(resources->GetObjectMappings(device, QStringLiteral("Preset"), objects));
        EXPECT_EQ(objects.count(QStringLiteral("Pno")) ? objects[QStringLiteral("Pno")] : QString(), c.objectMapping)
            << c.name.toStdString();

        const bool tom = c.name == QStringLiteral("Tom's Studio");
        std::map<QString, QString> simm;
        EXPECT_TRUE(resources->GetSimmMappings(device, QStringLiteral("Preset"), 2, simm));
        EXPECT_EQ(simm.size(), tom ? 1u : 0u) << c.name.toStdString();
        QString name;
        EXPECT_EQ(resources->GetMappedObjectName(device, QStringLiteral("Preset"), 2, 5, name), tom);
        if (tom)
            EXPECT_EQ(name, QStringLiteral("Tom five"));
    }
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(SharedDocumentsTest, MappingsTextEditsReplaceTheDocumentOnlyWhenTheyParse)
{
    EXPECT_EQ(resources->GetMappingsXML(), QStringLiteral("<?xml version='1.0' ?><Mappings></Mappings>"));
    const char* original = "<Mappings><DEVICE ID='Settings'/></Mappings>";
    StartWith(nullptr, nullptr, original, nullptr);

    EXPECT_FALSE(resources->SetMappingsXML(QStringLiteral("<Mappings><DEVICE></Mappings>")));
    const std::vector<QString> shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Failed to load edited MAPPINGS document. Parse Error. ")));
    EXPECT_FALSE(resources->IsChanged(SharedDocument::Mappings));
    EXPECT_FALSE(resources->GetMappingsXML().isEmpty());
    EXPECT_FALSE(resources->Document(SharedDocument::Mappings).GetDocumentElement().IsNull());

    // Handing back the unchanged text still counts as an edit.
    ASSERT_TRUE(resources->SetMappingsXML(resources->GetMappingsXML()));
    EXPECT_TRUE(resources->IsChanged(SharedDocument::Mappings));
    resources->Shutdown();
    EXPECT_EQ(Read(DataFile(QStringLiteral("Mappings.xml"))), QByteArray("<Mappings><DEVICE ID=\"Settings\"/></Mappings>\n"));
}

// ---------------------------------------------------------------- Names

TEST_F(SharedDocumentsTest, FunctionNamesAreStoredOncePerValue)
{
    // The default document counts as changed; start from a saved one.
    resources->Initialise();
    Restart();
    std::map<int, QString> names;
    EXPECT_FALSE(resources->GetFunctionNames(QStringLiteral("FILTER_NAME"), names));

    EXPECT_TRUE(resources->SetFunctionName(QStringLiteral("FILTER_NAME"), 12, QStringLiteral("Low pass")));
    EXPECT_TRUE(resources->SetFunctionName(QStringLiteral("FILTER_NAME"), 3, QStringLiteral("Band")));
    EXPECT_TRUE(resources->SetFunctionName(QStringLiteral("it's \"quoted\""), 1, QStringLiteral("Odd tag")));
    EXPECT_TRUE(resources->IsChanged(SharedDocument::Names));
    const XMLElement root = resources->Document(SharedDocument::Names).GetDocumentElement();
    EXPECT_EQ(Count(root, u"./FUNCTIONS"), 1);
    EXPECT_EQ(Count(root, u"./FUNCTIONS/FUNCTION"), 2);
    EXPECT_EQ(Count(root, u"./FUNCTIONS/FUNCTION[@ID='FILTER_NAME']/NAME[@ID='12']"), 1);

    EXPECT_TRUE(resources->GetFunctionNames(QStringLiteral("FILTER_NAME"), names));
    EXPECT_EQ(names, (std::map<int, QString>{{3, QStringLiteral("Band")}, {12, QStringLiteral("Low pass")}}));
    names.clear();
    EXPECT_TRUE(resources->GetFunctionNames(QStringLiteral("it's \"quoted\""), names));
    EXPECT_EQ(names[1], QStringLiteral("Odd tag"));

    // Storing what is stored is no change.
    Restart();
    EXPECT_TRUE(resources->SetFunctionName(QStringLiteral("FILTER_NAME"), 12, QStringLiteral("Low pass")));
    EXPECT_FALSE(resources->IsChanged(SharedDocument::Names));
}

TEST_F(SharedDocumentsTest, NamesAndMappingsReadTheSameAfterASaveAndReload)
{
    // A carriage return written as a character reference in the user's file
    // is one too.
    StartWith(nullptr, nullptr, nullptr,
              "<Proteus><FUNCTIONS><FUNCTION ID='LFO'><NAME ID='5'>h&#13;i</NAME></FUNCTION></FUNCTIONS></Proteus>");
    ASSERT_TRUE(resources->SetMappingsXML(
        QStringLiteral("<Mappings><DEVICE ID='Settings'><OBJECT ID='PRESET'><MAPPING ID='x'>a&#13;b</MAPPING>"
                       "</OBJECT></DEVICE></Mappings>")));
    std::map<QString, QString> mappingsBefore;
    resources->GetObjectMappings(QStringLiteral("Settings"), QStringLiteral("PRESET"), mappingsBefore);
    ASSERT_EQ(mappingsBefore.size(), 1u);
    const std::map<int, QString> given = {{1, QStringLiteral("a\rb")}, {2, QStringLiteral("c\r\nd")},
                                          {3, QStringLiteral("e\nf")}, {4, QStringLiteral(" g ")}};
    for (const auto& [id, name] : given)
        ASSERT_TRUE(resources->SetFunctionName(QStringLiteral("LFO"), id, name));
    std::map<int, QString> before;
    ASSERT_TRUE(resources->GetFunctionNames(QStringLiteral("LFO"), before));
    Restart();
    std::map<int, QString> after;
    ASSERT_TRUE(resources->GetFunctionNames(QStringLiteral("LFO"), after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(after.size(), 5u);
    std::map<QString, QString> mappingsAfter;
    resources->GetObjectMappings(QStringLiteral("Settings"), QStringLiteral("PRESET"), mappingsAfter);
    EXPECT_EQ(mappingsAfter, mappingsBefore);
    // Storing a name again with other line ends is no change.
    for (const auto& [id, name] : given)
        ASSERT_TRUE(resources->SetFunctionName(QStringLiteral("LFO"), id, name));
    EXPECT_FALSE(resources->IsChanged(SharedDocument::Names));
}

TEST_F(SharedDocumentsTest, DuplicateNamesReadAndRewriteTheFirst)
{
    StartWith(nullptr, nullptr, nullptr,
              "<Proteus><FUNCTIONS><FUNCTION ID='LFO'><NAME ID='3'>First</NAME><NAME ID='3'>Second</NAME>"
              "</FUNCTION></FUNCTIONS></Proteus>");
    std::map<int, QString> names;
    ASSERT_TRUE(resources->GetFunctionNames(QStringLiteral("LFO"), names));
    EXPECT_EQ(names[3], QStringLiteral("First"));
    EXPECT_TRUE(resources->SetFunctionName(QStringLiteral("LFO"), 3, QStringLiteral("New")));
    const XMLElement list = resources->Document(SharedDocument::Names).GetDocumentElement().SelectSingleNode(
        u"./FUNCTIONS/FUNCTION");
    std::vector<XMLNode> entries;
    list.SelectNodes(u"./NAME", entries);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].GetText(), QStringLiteral("New"));
    EXPECT_EQ(entries[1].GetText(), QStringLiteral("Second"));
}

TEST_F(SharedDocumentsTest, StoringANameRewritesTheEntryTheLookUpReads)
{
    // IDs the look-up reads as numbers though written otherwise; a missing ID reads as 0.
    StartWith(nullptr, nullptr, nullptr,
              "<Proteus><FUNCTIONS><FUNCTION ID='LFO'><NAME ID='07'>Seven</NAME><NAME>Zero</NAME>"
              "</FUNCTION></FUNCTIONS></Proteus>");
    EXPECT_TRUE(resources->SetFunctionName(QStringLiteral("LFO"), 7, QStringLiteral("New seven")));
    EXPECT_TRUE(resources->SetFunctionName(QStringLiteral("LFO"), 0, QStringLiteral("New zero")));
    std::map<int, QString> names;
    ASSERT_TRUE(resources->GetFunctionNames(QStringLiteral("LFO"), names));
    EXPECT_EQ(names, (std::map<int, QString>{{0, QStringLiteral("New zero")}, {7, QStringLiteral("New seven")}}));
    EXPECT_EQ(Count(resources->Document(SharedDocument::Names).GetDocumentElement(), u"./FUNCTIONS/FUNCTION/NAME"), 2);
}

TEST_F(SharedDocumentsTest, NamesWithoutADocumentOrRoot)
{
    std::map<int, QString> names;
    // No document: reads fail, writes succeed and store nothing.
    EXPECT_FALSE(resources->GetFunctionNames(QStringLiteral("LFO"), names));
    EXPECT_TRUE(resources->SetFunctionName(QStringLiteral("LFO"), 1, QStringLiteral("x")));
    // No root: one report however many calls.
    StartWith(nullptr, nullptr, nullptr, "<Proteus>");
    TakeMessages();
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(resources->GetFunctionNames(QStringLiteral("LFO"), names));
        EXPECT_TRUE(resources->SetFunctionName(QStringLiteral("LFO"), i, QStringLiteral("x")));
    }
    const std::vector<QString> shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Failed to get root element of NAMES document")));
    EXPECT_FALSE(resources->IsChanged(SharedDocument::Names));
}

// ---------------------------------------------------------------- setup names

namespace {

// Counts the writes that reach the store.
class CountingStore : public platform::SettingsStore {
public:
    std::shared_ptr<platform::SettingsStore> inner = platform::MakeMemorySettingsStore();
    int writes = 0;
    bool CreateKey(const QString& p) override { return inner->CreateKey(p); }
    bool KeyExists(const QString& p) override { return inner->KeyExists(p); }
    std::optional<platform::StoredValue> ReadValue(const QString& p, const QString& n) override { return inner->ReadValue(p, n); }
    bool WriteValue(const QString& p, const QString& n, const platform::StoredValue& v) override
    {
        ++writes;
        return inner->WriteValue(p, n, v);
    }
    bool DeleteValue(const QString& p, const QString& n) override { return inner->DeleteValue(p, n); }
    QStringList ValueNames(const QString& p) override { return inner->ValueNames(p); }
    QStringList SubKeys(const QString& p) override { return inner->SubKeys(p); }
    bool DeleteKey(const QString& p) override { return inner->DeleteKey(p); }
};

} // namespace

TEST_F(SharedDocumentsTest, SetupNamesLiveUnderTheConfigurationsSetupsKey)
{
    auto store = std::make_shared<CountingStore>();
    platform::SetCurrentSettingsStore(store);
    GetGlobalConfigurations().SetKeyName(QStringLiteral("Studio"));
    EXPECT_TRUE(resources->SetSetupName(5, QStringLiteral("Live set")));
    EXPECT_TRUE(resources->SetSetupName(0, QStringLiteral("Default")));
    EXPECT_EQ(RegistryKey(QStringLiteral("Software\\Brimcote Limited\\Tabrine\\Studio\\Setups"), false)
                  .ReadString(QStringLiteral("5"), QString(), false),
              QStringLiteral("Live set"));

    const int writes = store->writes;
    EXPECT_TRUE(resources->SetSetupName(5, QStringLiteral("Live set")));
    EXPECT_EQ(store->writes, writes);

    // Values named by hand: leading digits count, no digits is 0, the first wins.
    RegistryKey key(QStringLiteral("Software\\Brimcote Limited\\Tabrine\\Studio\\Setups"), false);
    key.WriteString(QStringLiteral("7th"), QStringLiteral("Seven"));
    key.WriteString(QStringLiteral("none"), QStringLiteral("Zero again"));
    std::map<int, QString> names;
    EXPECT_TRUE(resources->GetSetupNames(names));
    EXPECT_EQ(names, (std::map<int, QString>{{0, QStringLiteral("Default")}, {5, QStringLiteral("Live set")},
                                             {7, QStringLiteral("Seven")}}));

    GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
    names.clear();
    EXPECT_TRUE(resources->GetSetupNames(names));
    EXPECT_TRUE(names.empty());
}

TEST_F(SharedDocumentsTest, WithNoConfigurationOpenSetupNamesAreNotStored)
{
    // A refused configuration name opens no key: setup names must not go to a
    // key shared by every configuration.
    platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
    GetGlobalConfigurations().SetKeyName(QStringLiteral("bad/name"));
    ASSERT_EQ(GetGlobalConfigurations().KeyPath(), QString());
    EXPECT_TRUE(resources->SetSetupName(5, QStringLiteral("Live set")));
    std::map<int, QString> names;
    EXPECT_TRUE(resources->GetSetupNames(names));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(platform::CurrentSettingsStore().KeyExists(QStringLiteral("Setups")));
    const QStringList top = platform::CurrentSettingsStore().SubKeys(QString());
    EXPECT_TRUE(top.isEmpty() || top == QStringList{QStringLiteral("Software")}) << top.join(u',').toStdString();
    EXPECT_FALSE(RegistryKey(QString(), true).IsOpen()) << "the top of the store is no key";
    GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
}
