// The mappings dialog over XML texts: the tree it builds for the current
// configuration, its context menu, label and value editing, the groups it
// removes again on OK, and a configuration name that no query could hold.
#include "AppDialogTestSupport.h"

#include "app/MappingsDlg.h"
#include "core/XMLDocument.h"
#include "module/NameLists.h"
#include "module/Proteus.h"
#include "ui/controls/EditCtrls.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeWidgetItem>

using apptest::AppDialogTest;

namespace {

class Mappings : public AppDialogTest {
protected:
    void SetUp() override
    {
        AppDialogTest::SetUp();
        const SimmSlot simms[] = {{.simmId = 4, .presets = 512}, {.simmId = 0, .presets = 128}};
        proteus->hardwareConfig.SetSimms(simms);
        GetSimmNameList()[4] = QStringLiteral("Composer");
    }
    void TearDown() override
    {
        GetSimmNameList().erase(4);
        AppDialogTest::TearDown();
    }

    std::unique_ptr<MappingsDlg> Open(const QString& xml)
    {
        auto dialog = std::make_unique<MappingsDlg>(QStringLiteral("Mappings Dialog"), &panel, nullptr);
        dialog->SetXML(xml);
        dialog->show();
        QCoreApplication::processEvents();
        return dialog;
    }
    /// OK, then the result loaded.
    static XMLDocument Close(MappingsDlg& dialog)
    {
        dialog.OnCommand(cmd::IdOk);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        XMLDocument doc;
        EXPECT_TRUE(doc.Create() && doc.LoadXML(dialog.GetXML())) << dialog.GetXML().toStdString();
        return doc;
    }
    static int Count(const XMLDocument& doc, const char* xpath)
    {
        std::vector<XMLNode> nodes;
        doc.GetDocumentElement().SelectNodes(QString::fromLatin1(xpath), nodes);
        return int(nodes.size());
    }
    /// The item reached by labels from the root level.
    static QTreeWidgetItem* Find(MappingsDlg& dialog, const QStringList& path)
    {
        QTreeWidgetItem* at = dialog.Tree()->invisibleRootItem();
        for (const QString& label : path) {
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < at->childCount() && !next; ++i)
                if (at->child(i)->text(0) == label)
                    next = at->child(i);
            if (!next)
                return nullptr;
            at = next;
        }
        return at;
    }
    static QStringList MenuTexts(MappingsDlg& dialog)
    {
        QStringList texts;
        if (std::unique_ptr<QMenu> menu = dialog.MakeTreeMenu())
            for (QAction* a : menu->actions())
                texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return texts;
    }
    static QStringList Children(QTreeWidgetItem* item)
    {
        QStringList labels;
        for (int i = 0; item && i < item->childCount(); ++i)
            labels << item->child(i)->text(0);
        return labels;
    }
};

const QString kDeviceOnly = QStringLiteral("<Mappings><DEVICE ID=\"Settings\"/></Mappings>");

} // namespace

TEST_F(Mappings, WithoutTheConfigurationsDeviceTheTreeIsEmpty)
{
    const QString xml = QStringLiteral("<Mappings><DEVICE ID=\"Studio\"><CONTROLLERS/></DEVICE></Mappings>");
    auto dialog = Open(xml);
    EXPECT_EQ(dialog->Tree()->topLevelItemCount(), 0);
    EXPECT_EQ(MenuTexts(*dialog), QStringList{QStringLiteral("Edit Tooltip...\tShift+F2")});
    EXPECT_FALSE(dialog->ValueEdit()->isEnabled());
    const XMLDocument doc = Close(*dialog);
    EXPECT_EQ(Count(doc, "//DEVICE"), 1);
    EXPECT_EQ(Count(doc, "//DEVICE[@ID='Studio']/CONTROLLERS"), 1);

    // Text that cannot be loaded gives an empty tree and comes back as it was.
    auto broken = Open(QStringLiteral("<Mappings><DEVICE"));
    EXPECT_EQ(broken->Tree()->topLevelItemCount(), 0);
    broken->OnCommand(cmd::IdOk);
    EXPECT_EQ(broken->GetXML(), QStringLiteral("<Mappings><DEVICE"));
}

TEST_F(Mappings, TheTreeShowsKindsRomsAndControllersSortedAtTheRootOnly)
{
    SetCapabilities(apptest::kAllKinds | CAP_16_CONTROLLERS);
    auto dialog = Open(kDeviceOnly);
    QStringList roots;
    for (int i = 0; i < dialog->Tree()->topLevelItemCount(); ++i)
        roots << dialog->Tree()->topLevelItem(i)->text(0);
    EXPECT_EQ(roots, (QStringList{"Arp", "Controllers", "Demo", "Instrument", "Preset", "Riff", "Setup"}));
    EXPECT_EQ(Children(Find(*dialog, {"Preset"})), (QStringList{"Mappings", "Simms"}));
    EXPECT_EQ(Children(Find(*dialog, {"Preset", "Simms"})), QStringList{"Composer"});
    EXPECT_EQ(Children(Find(*dialog, {"Preset", "Simms", "Composer"})), (QStringList{"Mappings", "Names"}));
    // Controllers keep the module's order.
    const QStringList controllers = Children(Find(*dialog, {"Controllers"}));
    ASSERT_EQ(controllers.size(), 19);
    EXPECT_EQ(controllers.first(), QStringLiteral("A"));
    EXPECT_EQ(controllers.mid(15), (QStringList{"P", "FS1", "FS2", "FS3"}));
}

TEST_F(Mappings, OkOnABareDeviceLeavesTheControllersAndNoEmptyGroups)
{
    struct Case {
        std::uint32_t caps;
        int controllers;
    };
    for (const Case c : {Case{apptest::kAllKinds | CAP_16_CONTROLLERS, 19}, Case{apptest::kAllKinds, 15}}) {
        SetCapabilities(c.caps);
        auto dialog = Open(kDeviceOnly);
        const XMLDocument doc = Close(*dialog);
        EXPECT_EQ(Count(doc, "//DEVICE/CONTROLLERS/CONTROLLER"), c.controllers);
        EXPECT_EQ(Count(doc, "//OBJECT"), 0);
        EXPECT_EQ(Count(doc, "//CONTROLLER[@ID='F'][.='Decay/Rls']"), 1);
        EXPECT_EQ(Count(doc, "//CONTROLLER[@ID='M']"), c.controllers == 19 ? 1 : 0);

        // Reopening finds them again: no duplicates, a user's label kept.
        const QString again = doc.GetXML().replace(QStringLiteral(">Tone<"), QStringLiteral(">Brightness<"));
        auto reopened = Open(again);
        const XMLDocument second = Close(*reopened);
        EXPECT_EQ(Count(second, "//CONTROLLER"), c.controllers);
        EXPECT_EQ(Count(second, "//CONTROLLER[@ID='A'][.='Brightness']"), 1);
    }
}

TEST_F(Mappings, MenuItemsFollowTheSelectedItem)
{
    auto dialog = Open(kDeviceOnly);
    const QString tip = QStringLiteral("Edit Tooltip...\tShift+F2");
    EXPECT_EQ(MenuTexts(*dialog), QStringList{tip}); // nothing selected
    struct Case {
        QStringList path;
        QStringList menu;
    };
    const Case cases[] = {
        {{"Preset"}, {tip}},
        {{"Preset", "Mappings"}, {"Add New Mapping", "-", tip}},
        {{"Preset", "Simms"}, {tip}},
        {{"Preset", "Simms", "Composer", "Names"}, {"Add New Name", "-", tip}},
        {{"Controllers", "B"}, {tip}},
    };
    for (const Case& c : cases) {
        QTreeWidgetItem* item = Find(*dialog, c.path);
        ASSERT_TRUE(item) << c.path.join('/').toStdString();
        dialog->Tree()->setCurrentItem(item);
        EXPECT_EQ(MenuTexts(*dialog), c.menu) << c.path.join('/').toStdString();
    }
    dialog->Tree()->setCurrentItem(Find(*dialog, {"Preset", "Mappings"}));
    dialog->OnTreeCommand(MappingsDlg::AddMappingCommand);
    EXPECT_EQ(MenuTexts(*dialog), (QStringList{"Delete Mapping", "-", tip}));
    dialog->Tree()->setCurrentItem(Find(*dialog, {"Arp", "Simms", "Composer", "Names"}));
    dialog->OnTreeCommand(MappingsDlg::AddNameCommand);
    EXPECT_EQ(MenuTexts(*dialog), (QStringList{"Delete Name", "-", tip}));
}

TEST_F(Mappings, ANewNameTakesTheSmallestFreeNumber)
{
    const QString xml = QStringLiteral(
        "<Mappings><DEVICE ID=\"Settings\"><OBJECT ID=\"Preset\"><SIMM ID=\"4\" NAME=\"Composer\"><NAMES>"
        "<NAME ID=\"0\">Grand</NAME><NAME ID=\"1\">Upright</NAME><NAME ID=\"3\">Rhodes</NAME>"
        "</NAMES></SIMM></OBJECT></DEVICE></Mappings>");
    auto dialog = Open(xml);
    QTreeWidgetItem* names = Find(*dialog, {"Preset", "Simms", "Composer", "Names"});
    ASSERT_TRUE(names);
    EXPECT_EQ(Children(names), (QStringList{"0", "1", "3"}));
    dialog->Tree()->setCurrentItem(names);
    dialog->OnTreeCommand(MappingsDlg::AddNameCommand);
    EXPECT_EQ(Children(names), (QStringList{"0", "1", "2", "3"}));
    EXPECT_EQ(dialog->Tree()->currentItem()->text(0), QStringLiteral("2"));
    EXPECT_TRUE(dialog->ValueEdit()->isEnabled());
    QTest::keyClicks(dialog->ValueEdit(), QStringLiteral("Wurli"));
    const XMLDocument doc = Close(*dialog);
    EXPECT_EQ(Count(doc, "//SIMM[@ID='4']/NAMES/NAME"), 4);
    EXPECT_EQ(Count(doc, "//NAME[@ID='2'][.='Wurli']"), 1);
}

TEST_F(Mappings, ValuesAndLabelsAreEditedInPlace)
{
    const QString xml = QStringLiteral(
        "<Mappings><DEVICE ID=\"Settings\"><OBJECT ID=\"Preset\"><MAPPINGS><MAPPING ID=\"Pno\">Piano</MAPPING>"
        "</MAPPINGS><SIMM ID=\"4\" NAME=\"Composer\"><NAMES><NAME ID=\"7\">Strings</NAME></NAMES></SIMM></OBJECT>"
        "</DEVICE></Mappings>");
    auto dialog = Open(xml);
    QTreeWidgetItem* mapping = Find(*dialog, {"Preset", "Mappings", "Pno"});
    QTreeWidgetItem* name = Find(*dialog, {"Preset", "Simms", "Composer", "Names", "7"});
    ASSERT_TRUE(mapping && name);

    // A group disables and empties the value box; a mapping shows its text.
    dialog->Tree()->setCurrentItem(mapping);
    EXPECT_EQ(dialog->ValueEdit()->text(), QStringLiteral("Piano"));
    dialog->Tree()->setCurrentItem(mapping->parent());
    EXPECT_FALSE(dialog->ValueEdit()->isEnabled());
    EXPECT_TRUE(dialog->ValueEdit()->text().isEmpty());
    dialog->Tree()->setCurrentItem(mapping);
    dialog->ValueEdit()->selectAll();
    QTest::keyClicks(dialog->ValueEdit(), QStringLiteral("Grand Piano"));

    // Only mapping and name labels can be edited; a name's label takes digits only.
    EXPECT_FALSE(dialog->CanEditLabel(mapping->parent()));
    EXPECT_FALSE(dialog->CanEditLabel(Find(*dialog, {"Controllers", "A"})));
    EXPECT_TRUE(dialog->EndLabelEdit(mapping, QStringLiteral("Pno.")));
    dialog->Tree()->setCurrentItem(name);
    dialog->Tree()->editItem(name);
    auto* editor = dialog->Tree()->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("x1y2"));
    EXPECT_EQ(editor->text(), QStringLiteral("12"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_EQ(name->text(0), QStringLiteral("12"));
    EXPECT_FALSE(dialog->EndLabelEdit(name, QStringLiteral("twelve")));
    EXPECT_FALSE(dialog->EndLabelEdit(name, QString())); // an emptied label changes nothing

    const XMLDocument doc = Close(*dialog);
    EXPECT_EQ(Count(doc, "//MAPPING[@ID='Pno.'][.='Grand Piano']"), 1);
    EXPECT_EQ(Count(doc, "//MAPPING"), 1);
    EXPECT_EQ(Count(doc, "//NAME[@ID='12'][.='Strings']"), 1);
}

TEST_F(Mappings, DeletingTheLastEntriesRemovesTheEmptyGroupsOnOk)
{
    const QString xml = QStringLiteral(
        "<Mappings><DEVICE ID=\"Settings\"><OBJECT ID=\"Riff\"><SIMM ID=\"4\" NAME=\"Composer\"><NAMES>"
        "<NAME ID=\"1\">Groove</NAME></NAMES></SIMM></OBJECT></DEVICE>"
        "<DEVICE ID=\"Studio\"><OBJECT ID=\"Arp\"><MAPPINGS>  </MAPPINGS></OBJECT><CONTROLLERS/></DEVICE></Mappings>");
    auto dialog = Open(xml);
    QTreeWidgetItem* name = Find(*dialog, {"Riff", "Simms", "Composer", "Names", "1"});
    ASSERT_TRUE(name);
    dialog->Tree()->setCurrentItem(name);
    dialog->OnTreeCommand(MappingsDlg::DeleteNameCommand);
    EXPECT_FALSE(Find(*dialog, {"Riff", "Simms", "Composer", "Names", "1"}));
    const XMLDocument doc = Close(*dialog);
    EXPECT_EQ(Count(doc, "//OBJECT"), 0);
    EXPECT_EQ(Count(doc, "//SIMM"), 0);
    EXPECT_EQ(Count(doc, "//DEVICE"), 2);
    EXPECT_EQ(Count(doc, "//DEVICE[@ID='Studio']/CONTROLLERS"), 1);
}

TEST_F(Mappings, AConfigurationNameWithQuotesFindsItsDevice)
{
    for (const QString& configuration : {QStringLiteral("Bob's Studio"), QStringLiteral("The \"Big\" Rig")}) {
        GetGlobalConfigurations().SetKeyName(configuration);
        XMLDocument source;
        ASSERT_TRUE(source.Create() && source.LoadXML(u"<Mappings/>"));
        XMLElement device = source.CreateElement(u"DEVICE");
        device.SetAttribute(u"ID", configuration);
        XMLElement root = source.GetDocumentElement();
        root.AppendChild(device);
        XMLElement other = source.CreateElement(u"DEVICE");
        other.SetAttribute(u"ID", QStringLiteral("Settings"));
        root.AppendChild(other);

        auto dialog = Open(source.GetXML());
        EXPECT_EQ(dialog->Tree()->topLevelItemCount(), 7) << configuration.toStdString();
        const XMLDocument doc = Close(*dialog);
        std::vector<XMLNode> devices;
        doc.GetDocumentElement().GetChildNodes(devices);
        ASSERT_EQ(devices.size(), 2u);
        std::vector<XMLNode> filled, empty;
        devices[0].GetChildNodes(filled);
        devices[1].GetChildNodes(empty);
        EXPECT_EQ(XMLElement(devices[0]).GetAttribute(u"ID"), configuration);
        EXPECT_EQ(filled.size(), 1u); // its CONTROLLERS
        EXPECT_TRUE(empty.empty());
    }
}

TEST_F(Mappings, ARightClickActsOnTheSelectedItemNotTheOneUnderTheCursor)
{
    auto dialog = Open(kDeviceOnly);
    QTreeWidgetItem* mappings = Find(*dialog, {"Preset", "Mappings"});
    QTreeWidgetItem* other = Find(*dialog, {"Arp"});
    ASSERT_TRUE(mappings && other);
    dialog->Tree()->setCurrentItem(mappings);

    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* a : menu->actions())
            if (!a->isSeparator())
                shown << a->text();
        menu->setActiveAction(menu->actions().first());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    const QPoint at = dialog->Tree()->visualItemRect(other).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, dialog->Tree()->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(dialog->Tree()->viewport(), &click);

    EXPECT_EQ(shown, (QStringList{"Add New Mapping", "Edit Tooltip...\tShift+F2"}));
    EXPECT_EQ(Children(mappings), QStringList{"New Item"});
    EXPECT_EQ(other->childCount(), 2); // "Mappings" and "Simms", as before
}
