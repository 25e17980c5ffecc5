// The file dialogs without a display: the file types each offers, the
// description shown for the type picked, the extension a typed name gets, the
// path and type index handed back, and the instrument definition options
// (their enable rules, and their values after OK and after Cancel alike).
#include "app/FileDialogs.h"

#include "core/MessageBox.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class FileDialogsTest : public ::testing::Test {
protected:
    void TearDown() override { SetFileDialogScript({}); }
    QTemporaryDir dir;
};

} // namespace

TEST(FileTypeStrings, BecomeNameFiltersWithEveryFileForStarDotStar)
{
    EXPECT_EQ(NameFiltersFromTypeString(LoadResourceString(131)),
              (QStringList{QStringLiteral("Preset Files (*.xml)"), QStringLiteral("Sysex Files (*.sysex)"),
                           QStringLiteral("All Files (*)")}));
    EXPECT_EQ(NameFiltersFromTypeString(LoadResourceString(140)),
              (QStringList{QStringLiteral("Scala Files (*.scl)"), QStringLiteral("All Files (*)")}));
    EXPECT_EQ(NameFiltersFromTypeString(LoadResourceString(299)),
              (QStringList{QStringLiteral("Instrument Files (*.ins)"), QStringLiteral("All Files (*)")}));
    EXPECT_EQ(NameFiltersFromTypeString(QStringLiteral("Two (*.a;*.b)|*.a;*.b||")),
              (QStringList{QStringLiteral("Two (*.a *.b)")}));
    EXPECT_TRUE(NameFiltersFromTypeString(QString()).isEmpty());
}

TEST_F(FileDialogsTest, ModesAndFileTypesOfEachDialog)
{
    FileDlg openPreset(true, QString(), nullptr);
    EXPECT_EQ(openPreset.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(openPreset.fileMode(), QFileDialog::ExistingFile);
    EXPECT_TRUE(openPreset.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(openPreset.nameFilters().size(), 3);
    FileDlg savePreset(false, QString(), nullptr);
    EXPECT_EQ(savePreset.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(savePreset.testOption(QFileDialog::DontConfirmOverwrite));
    SysexFileDlg sysex(false, QString(), nullptr);
    EXPECT_EQ(sysex.nameFilters().value(0), QStringLiteral("Sysex Files (*.sysex)"));
    ScalaFileDlg scala(QString(), nullptr);
    EXPECT_TRUE(scala.IsOpenDialog());
    EXPECT_EQ(scala.fileMode(), QFileDialog::ExistingFile);
    SonarFileDlg sonar(QString(), true, true, nullptr);
    EXPECT_FALSE(sonar.IsOpenDialog());
    EXPECT_EQ(sonar.nameFilters().value(0), QStringLiteral("Instrument Files (*.ins)"));
}

TEST_F(FileDialogsTest, DescriptionFollowsTheFileTypePicked)
{
    struct Case {
        const char* dialog;
        int type; // 0: as the dialog starts
        unsigned text;
    };
    const Case cases[] = {
        {"preset", 0, 134}, {"preset", 2, 138}, {"preset", 3, 141}, {"preset", 1, 134},
        {"sysex", 0, 138},  {"sysex", 2, 141},  {"sysex", 1, 138},
        {"scala", 0, 137},  {"scala", 2, 141},  {"scala", 1, 137},
    };
    for (const Case& c : cases) {
        std::unique_ptr<FileDialogBase> dlg;
        if (QLatin1String(c.dialog) == QLatin1String("preset"))
            dlg = std::make_unique<FileDlg>(true, QString(), nullptr);
        else if (QLatin1String(c.dialog) == QLatin1String("sysex"))
            dlg = std::make_unique<SysexFileDlg>(true, QString(), nullptr);
        else
            dlg = std::make_unique<ScalaFileDlg>(QString(), nullptr);
        if (c.type)
            dlg->SelectFileType(c.type);
        EXPECT_EQ(dlg->DescriptionText(), LoadResourceString(c.text)) << c.dialog << " type " << c.type;
    }
    EXPECT_TRUE(LoadResourceString(137).endsWith(QStringLiteral("https://www.huygens-fokker.org/scala/")));
    SonarFileDlg sonar(QString(), true, true, nullptr);
    EXPECT_TRUE(sonar.DescriptionText().isEmpty());
}

TEST_F(FileDialogsTest, TypedNameGetsTheExtensionOfTheTypePicked)
{
    struct Case {
        int type;
        const char* typed;
        const char* expected;
    };
    // Preset dialog: the XML type, the SysEx type, and every file (the dialog's own "xml").
    const Case cases[] = {{1, "bass", "bass.xml"},
                          {2, "bass", "bass.sysex"},
                          {3, "bass", "bass.xml"},
                          {2, "bass.xml", "bass.xml"},
                          {2, "lead.SYSEX", "lead.SYSEX"}};
    for (const Case& c : cases) {
        FileDlg dlg(false, QString(), nullptr);
        SetFileDialogScript([&](FileDialogBase& d) {
            d.Choose(dir.filePath(QLatin1String(c.typed)), c.type);
            return int(QDialog::Accepted);
        });
        ASSERT_EQ(dlg.DoModal(), QDialog::Accepted);
        EXPECT_EQ(dlg.GetPathName(), dir.filePath(QLatin1String(c.expected))) << c.type << " " << c.typed;
        EXPECT_EQ(dlg.GetFilterIndex(), c.type);
    }
    // The dialogs that start with a point in their default extension.
    SysexFileDlg sysex(false, QString(), nullptr);
    EXPECT_EQ(sysex.CurrentDefaultSuffix(), QStringLiteral("sysex"));
    sysex.SelectFileType(2);
    EXPECT_EQ(sysex.CurrentDefaultSuffix(), QStringLiteral("sysex"));
    SonarFileDlg sonar(QString(), false, false, nullptr);
    EXPECT_EQ(sonar.CurrentDefaultSuffix(), QStringLiteral("ins"));
    // An open dialog takes the path as chosen.
    ScalaFileDlg scala(QString(), nullptr);
    SetFileDialogScript([&](FileDialogBase& d) {
        d.Choose(dir.filePath(QStringLiteral("scale")));
        return int(QDialog::Accepted);
    });
    ASSERT_EQ(scala.DoModal(), QDialog::Accepted);
    EXPECT_EQ(scala.GetPathName(), dir.filePath(QStringLiteral("scale")));
}

TEST_F(FileDialogsTest, RealDialogAddsTheTypeExtensionToATypedName)
{
    // Qt's own dialog, not run: the name typed into it and the type picked.
    FileDlg dlg(false, dir.filePath(QStringLiteral("first.xml")), nullptr);
    EXPECT_EQ(dlg.directory().absolutePath(), QDir(dir.path()).absolutePath());
    dlg.SelectFileType(2);
    dlg.selectFile(QStringLiteral("pad"));
    EXPECT_EQ(dlg.selectedFiles().value(0), QDir(dir.path()).absoluteFilePath(QStringLiteral("pad.sysex")));
}

TEST_F(FileDialogsTest, CancelGivesNoPath)
{
    SetFileDialogScript([&](FileDialogBase& d) {
        d.Choose(dir.filePath(QStringLiteral("x.sysex")));
        return int(QDialog::Rejected);
    });
    SysexFileDlg dlg(true, QString(), nullptr);
    EXPECT_EQ(dlg.DoModal(), QDialog::Rejected);
    EXPECT_TRUE(dlg.GetPathName().isEmpty());
}

TEST_F(FileDialogsTest, SonarOptionsEnableRules)
{
    struct Case {
        bool sysexDumps;
        bool arpsAndBeats;
        bool keyMapChecked;
        bool keyMapEnabled;
        bool beatsVisible;
        bool beatsEnabled; ///< looked at only while the box is shown
    };
    const Case cases[] = {
        {false, false, false, false, false, false},
        {false, true, false, false, true, false},
        {true, false, true, true, false, false},
        {true, true, true, true, true, true},
        {true, true, false, true, true, false},
    };
    for (const Case& c : cases) {
        SonarFileDlg dlg(QString(), c.arpsAndBeats, c.sysexDumps, nullptr);
        dlg.insertKeyMap = true; // asked for, but only a module with SysEx dumps can have it
        if (!c.keyMapChecked && c.sysexDumps)
            dlg.insertKeyMap = false;
        SetFileDialogScript([&](FileDialogBase&) {
            EXPECT_EQ(dlg.InsertKeyMapBox()->isChecked(), c.keyMapChecked);
            EXPECT_EQ(dlg.InsertKeyMapBox()->isEnabled(), c.keyMapEnabled);
            EXPECT_EQ(!dlg.BeatsTriggersBox()->isHidden(), c.beatsVisible);
            if (c.beatsVisible) {
                EXPECT_EQ(dlg.BeatsTriggersBox()->isEnabled(), c.beatsEnabled);
            }
            return int(QDialog::Rejected);
        });
        dlg.DoModal();
    }
    // Clicking "Insert Keymap Data" runs the rules again.
    SonarFileDlg dlg(QString(), true, true, nullptr);
    SetFileDialogScript([&](FileDialogBase&) {
        EXPECT_FALSE(dlg.BeatsTriggersBox()->isEnabled());
        dlg.InsertKeyMapBox()->click();
        EXPECT_TRUE(dlg.BeatsTriggersBox()->isEnabled());
        dlg.InsertKeyMapBox()->click();
        EXPECT_FALSE(dlg.BeatsTriggersBox()->isEnabled());
        return int(QDialog::Rejected);
    });
    dlg.DoModal();
}

TEST_F(FileDialogsTest, SonarOptionsAreReadBackAfterOkAndAfterCancel)
{
    for (int result : {int(QDialog::Accepted), int(QDialog::Rejected)}) {
        SonarFileDlg dlg(QString(), true, true, nullptr);
        dlg.deviceName = QStringLiteral("Proteus 2000");
        SetFileDialogScript([&](FileDialogBase& d) {
            EXPECT_TRUE(dlg.UniqueNamesBox()->isChecked());
            EXPECT_FALSE(dlg.NoCategoryBox()->isChecked());
            EXPECT_EQ(dlg.DeviceNameEdit()->text(), QStringLiteral("Proteus 2000"));
            dlg.UniqueNamesBox()->setChecked(false);
            dlg.NoCategoryBox()->setChecked(true);
            dlg.InsertKeyMapBox()->click();
            dlg.BeatsTriggersBox()->setChecked(true);
            dlg.DeviceNameEdit()->setText(QStringLiteral("P2K"));
            d.Choose(dir.filePath(QStringLiteral("proteus")));
            return result;
        });
        EXPECT_EQ(dlg.DoModal(), result);
        EXPECT_FALSE(dlg.onlyUniqueUserPresets);
        EXPECT_TRUE(dlg.includeNoCategory);
        EXPECT_TRUE(dlg.insertKeyMap);
        EXPECT_TRUE(dlg.includeBeatsTriggers);
        EXPECT_EQ(dlg.deviceName, QStringLiteral("P2K"));
        EXPECT_EQ(dlg.GetPathName(),
                  result == QDialog::Accepted ? dir.filePath(QStringLiteral("proteus.ins")) : QString());
    }
}

TEST_F(FileDialogsTest, DialogRunByTheUserHandsBackWhatWasAccepted)
{
    // The dialog as the user meets it (opened without blocking): a typed name
    // and OK; the instrument options are read back when it closes.
    SysexFileDlg save(false, QString(), nullptr);
    save.setDirectory(dir.path());
    save.open();
    save.selectFile(QStringLiteral("setup"));
    QMetaObject::invokeMethod(&save, "accept"); // as the OK button does
    EXPECT_EQ(save.result(), QDialog::Accepted);
    EXPECT_EQ(save.GetPathName(), QDir(dir.path()).absoluteFilePath(QStringLiteral("setup.sysex")));
    EXPECT_EQ(save.GetFilterIndex(), 1);

    SonarFileDlg sonar(QString(), true, true, nullptr);
    sonar.deviceName = QStringLiteral("Audity");
    sonar.open();
    sonar.NoCategoryBox()->setChecked(true);
    sonar.reject();
    EXPECT_TRUE(sonar.GetPathName().isEmpty());
    EXPECT_TRUE(sonar.includeNoCategory);
    EXPECT_EQ(sonar.deviceName, QStringLiteral("Audity"));
}
