#pragma once
// The Mappings dialog: a tree editor of the current configuration's part of
// the Mappings document (the DEVICE element whose ID is the configuration
// name): per object kind its text mappings and, per ROM, its mappings and its
// object names; and the labels of the real-time controllers. It works on a
// private copy of the document given as text (SetXML) and gives the edited
// text back after OK (GetXML), with empty groups removed.
//
// The device is found by comparing ID attributes in code, never by putting
// the configuration name into a query, so any configuration name works.

#include "core/XMLDocument.h"
#include "ui/framework/BasicDialog.h"

#include <QStyledItemDelegate>

#include <map>
#include <memory>

class EditCtrl;
class QMenu;
class QTreeWidgetItem;
class TreeCtrl;

namespace Ui {
class MappingsDlg;
}

/// What each tree item stands for.
struct MappingItemData {
    XMLElement element;
    bool labelEditable = false;
    bool hasValue = false;
    bool canAddChildren = false;
    bool deletable = false;
};

class MappingsDlg : public ModalDialog {
    Q_OBJECT
public:
    // The commands of the tree's context menu.
    static constexpr int AddMappingCommand = 32814;
    static constexpr int DeleteMappingCommand = 32815;
    static constexpr int DeleteNameCommand = 32816;
    static constexpr int AddNameCommand = 32817;
    static constexpr int EditTooltipCommand = 32798;
    static constexpr int TreeTooltipId = 21032;

    MappingsDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~MappingsDlg() override;

    /// The document text to edit, given before the dialog runs.
    void SetXML(const QString& text) { m_xml = text; }
    /// After OK: the edited document.
    QString GetXML() const { return m_xml; }

    /// Loads the text and fills the tree (done once, when the dialog is first shown).
    void Initialise();

    TreeCtrl* Tree() const { return m_tree; }
    EditCtrl* ValueEdit() const { return m_value; }
    /// The record behind an item; null for "Simms" and unknown items.
    const MappingItemData* ItemData(QTreeWidgetItem* item) const;
    /// The context menu as it would show now for the selected item (each
    /// action's data is its command); null when nothing is left in it.
    std::unique_ptr<QMenu> MakeTreeMenu();
    /// Runs a command of the context menu on the selected item.
    void OnTreeCommand(int command);
    /// Whether the label of item may be edited.
    bool CanEditLabel(QTreeWidgetItem* item) const;
    /// The end of a label edit: a new, non-empty text becomes the label and
    /// the element's ID. False when nothing changed.
    bool EndLabelEdit(QTreeWidgetItem* item, const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void OnOK() override;

private:
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& label, const MappingItemData& data);
    void AddMappingsGroup(QTreeWidgetItem* parent, XMLElement owner);
    void FillTree(XMLElement device);
    void OnSelectionChanged(QTreeWidgetItem* item);
    void OnValueEdited(const QString& text);
    void ForgetItem(QTreeWidgetItem* item);
    /// The label a new child of the selected group gets.
    QString NewChildLabel(const MappingItemData& data) const;

    std::unique_ptr<Ui::MappingsDlg> m_ui;
    EditCtrl* m_value = nullptr;
    TreeCtrl* m_tree = nullptr;
    QString m_xml;
    XMLDocument m_document;
    std::map<const QTreeWidgetItem*, MappingItemData> m_items;
    bool m_initialised = false;
};

/// The tree's in-place label editor: digits only for a name's number.
class MappingLabelDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    MappingLabelDelegate(MappingsDlg* dialog, QObject* parent) : QStyledItemDelegate(parent), m_dialog(dialog) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    MappingsDlg* m_dialog;
};
