#include "ResourcesFixture.h"

#include <QFileInfo>

using DataFolderTest = ResourcesFixture;

TEST_F(DataFolderTest, WritesGoToTheDataFolderAndReadsFallBackInOrder)
{
    const QString folder = root.filePath(QStringLiteral("docs/Tabrine"));
    EXPECT_EQ(resources->GetDataFilePath(true, QStringLiteral("Names.xml")), folder + QStringLiteral("/Names.xml"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(resources->GetDataFilePath(true, QString()), folder + u'/');

    // Reading: the first place that has the file, the data folder first.
    struct Row {
        const char* name;
        std::vector<const char*> present;
        const char* expected; // null: no path
    };
    const Row rows[] = {
        {"nowhere", {}, nullptr},
        {"program folder", {"app/bin"}, "app/bin"},
        {"parent folder", {"app", "app/Install"}, "app"},
        {"parent's Install folder", {"app/Install", "share/tabrine"}, "app/Install"},
        {"installed data folder", {"share/tabrine"}, "share/tabrine"},
        {"data folder before all", {"docs/Tabrine", "app/bin", "app"}, "docs/Tabrine"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString file = QStringLiteral("f%1.xml").arg(n++);
        for (const char* dir : row.present)
            Write(root.filePath(QString::fromUtf8(dir) + u'/' + file), "<x/>");
        const QString expected = row.expected ? root.filePath(QString::fromUtf8(row.expected) + u'/' + file) : QString();
        EXPECT_EQ(resources->GetDataFilePath(false, file), expected);
    }

    // Without a Documents folder nothing can be written; reading falls back.
    DataLocations none = Locations();
    none.documentsFolder.clear();
    resources->SetDataLocations(none);
    EXPECT_EQ(resources->GetDataFilePath(true, QStringLiteral("Names.xml")), QString());
    EXPECT_EQ(resources->GetDataFilePath(false, QStringLiteral("f1.xml")), root.filePath(QStringLiteral("app/bin/f1.xml")));
}

TEST_F(DataFolderTest, DesktopIniCarriesTheInfoTip)
{
    EXPECT_EQ(GlobalResources::DesktopIniText(),
              QStringLiteral("[.ShellClassInfo]\r\nConfirmFileOp=0\r\nInfoTip=\"Contains Personalised Configuration files "
                             "for the Tabrine Application\"\r\nIconFile=IconFile.ico\r\nIconIndex=0\r\n"));
}

// First run with no files anywhere: the defaults are written at exit, except
// the Keymaps, which would hide a shipped copy for ever.
TEST_F(DataFolderTest, FirstRunWritesDefaultDocumentsButNotKeymaps)
{
    resources->Initialise();
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_TRUE(QFileInfo::exists(DataFile(QStringLiteral("Configurations.txt"))));
    EXPECT_EQ(GetGlobalConfigurations().GetDword(ConfigDescription), kProfileVersion);
    EXPECT_FALSE(resources->IsChanged(SharedDocument::Keymaps));

    resources->Shutdown();
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_EQ(Read(DataFile(QStringLiteral("Names.xml"))), QByteArray("<?xml version=\"1.0\"?>\n<Proteus/>\n"));
    EXPECT_EQ(Read(DataFile(QStringLiteral("Mappings.xml"))), QByteArray("<?xml version=\"1.0\"?>\n<Mappings/>\n"));
    EXPECT_TRUE(QFileInfo::exists(DataFile(QStringLiteral("Tooltips.xml"))));
    EXPECT_FALSE(QFileInfo::exists(DataFile(QStringLiteral("Keymaps.xml"))));
    EXPECT_TRUE(resources->Document(SharedDocument::Names).IsNull());

    // A shipped Keymaps.xml installed later is found at the next start.
    Write(Path(QStringLiteral("share/tabrine/Keymaps.xml")), "<KeyMaps><SIMM ID='1'/></KeyMaps>");
    resources = MakeResources();
    resources->Initialise();
    EXPECT_FALSE(resources->Document(SharedDocument::Keymaps).GetDocumentElement().SelectSingleNode(u"./SIMM").IsNull());
}

// A shipped document is read from the program's folders and written to the
// data folder only once the user has changed it.
TEST_F(DataFolderTest, ShippedDocumentIsCopiedToTheDataFolderOnlyWhenEdited)
{
    const QByteArray shipped = "<Mappings>\n  <DEVICE ID='Settings'/>\n</Mappings>\n";
    Write(Path(QStringLiteral("app/Mappings.xml")), shipped);
    resources->Initialise();
    EXPECT_FALSE(resources->IsChanged(SharedDocument::Mappings));
    Restart();
    EXPECT_FALSE(QFileInfo::exists(DataFile(QStringLiteral("Mappings.xml"))));

    ASSERT_TRUE(resources->SetMappingsXML(QStringLiteral("<Mappings><DEVICE ID='Studio'/></Mappings>")));
    Restart();
    EXPECT_EQ(Read(DataFile(QStringLiteral("Mappings.xml"))), QByteArray("<Mappings><DEVICE ID=\"Studio\"/></Mappings>\n"));
    EXPECT_EQ(Read(Path(QStringLiteral("app/Mappings.xml"))), shipped);
    EXPECT_FALSE(resources->Document(SharedDocument::Mappings)
                     .GetDocumentElement()
                     .SelectSingleNode(u"./DEVICE[@ID='Studio']")
                     .IsNull());
}

// A user's file that does not parse: one report at start-up with the details,
// one missing-root report however often the document is consulted, and the
// file left as it was.
TEST_F(DataFolderTest, BadUserFileIsReportedOnceAndNeverOverwritten)
{
    const QByteArray broken = "<Proteus>\n<Controls><Control ID='5'><![CDATA[x]]></Control>\n";
    Write(DataFile(QStringLiteral("Tooltips.xml")), broken);
    resources->Initialise();
    std::vector<QString> shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Failed to load TOOLTIPS document. Parse Error. XML reports:\n")));
    EXPECT_TRUE(shown[0].contains(QStringLiteral("\nURL: ") + DataFile(QStringLiteral("Tooltips.xml"))));

    GetGlobalConfigurations().SetDword(EnableTooltips, 2);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(resources->GetTooltipText(32820), QStringLiteral("Reverts to the default value"));
        resources->SetTooltipText(32820, QStringLiteral("mine"));
        EXPECT_EQ(resources->GetObjectTooltip(OBJECT_PRESET, 1, 2), QString());
    }
    shown = TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Failed to get root element of TOOLTIPS document")));
    EXPECT_FALSE(resources->IsChanged(SharedDocument::Tooltips));

    resources->Shutdown();
    EXPECT_EQ(Read(DataFile(QStringLiteral("Tooltips.xml"))), broken);
}

TEST_F(DataFolderTest, UnwritableDataFolderReportsEachChangedDocument)
{
    Write(root.filePath(QStringLiteral("docs/Tabrine")), "not a folder");
    resources->Initialise();
    TakeMessages();
    resources->Shutdown();
    const std::vector<QString> shown = TakeMessages();
    const std::vector<QString> expected = {QStringLiteral("Failed to save TOOLTIPS document"),
                                           QStringLiteral("Failed to save MAPPINGS document"),
                                           QStringLiteral("Failed to save NAMES document")};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(GetGlobalConfigurations().GetDword(ConfigDescription), 0u); // tried again next run
}
