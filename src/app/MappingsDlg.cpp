#include "app/MappingsDlg.h"

#include "ui_MappingsDlg.h"

#include "app/BackupDlg.h"
#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "module/Capabilities.h"
#include "module/Proteus.h"
#include "ui/controls/EditCtrls.h"
#include "ui/framework/ControlBase.h"
#include "ui/framework/TipEditor.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QTreeWidgetItem>

#include <set>

namespace {

// The module's real-time controllers in table order, with their default labels;
// M to P exist only on modules with sixteen controllers.
struct ControllerRow {
    const char16_t* id;
    const char16_t* label;
    bool needs16;
};
constexpr ControllerRow kControllers[] = {
    {u"A", u"Tone", false},         {u"B", u"Presence", false},          {u"C", u"Shape", false},
    {u"D", u"Image", false},        {u"E", u"Attack", false},            {u"F", u"Decay/Rls", false},
    {u"G", u"Movement", false},     {u"H", u"Rate", false},              {u"I", u"Dynamic 1", false},
    {u"J", u"Dynamic 2", false},    {u"K", u"FX A", false},              {u"L", u"FX B", false},
    {u"M", u"Mod 1", true},         {u"N", u"Mod 2", true},              {u"O", u"Arp Velocity", true},
    {u"P", u"Arp Gate", true},      {u"FS1", u"Sustain Pedal", false},   {u"FS2", u"Portamento Pedal", false},
    {u"FS3", u"Sostenuto Pedal", false},
};

bool IsElementNamed(const XMLNode& node, QStringView name)
{
    return !node.IsNull() && XMLElement(node).IsElement() && node.GetNodeName() == name;
}

std::vector<XMLElement> ChildElements(const XMLElement& parent, QStringView name)
{
    std::vector<XMLNode> nodes;
    parent.GetChildNodes(nodes);
    std::vector<XMLElement> out;
    for (const XMLNode& n : nodes)
        if (IsElementNamed(n, name))
            out.push_back(XMLElement(n));
    return out;
}

// The first child element of this name, when id is given the first whose ID is id.
XMLElement FindChild(const XMLElement& parent, QStringView name, const QString* id = nullptr)
{
    for (const XMLElement& e : ChildElements(parent, name))
        if (!id || e.GetAttribute(u"ID") == *id)
            return e;
    return XMLElement();
}

// An element with no child elements and no text but blanks counts as empty.
bool IsEmptyGroup(const XMLElement& e)
{
    std::vector<XMLNode> children;
    e.GetChildNodes(children);
    return children.empty() && e.GetText().trimmed().isEmpty();
}

// Removes empty MAPPINGS, NAMES, OBJECT and SIMM elements below e, deepest first.
void PruneEmptyGroups(XMLElement e)
{
    std::vector<XMLNode> children;
    e.GetChildNodes(children);
    for (const XMLNode& node : children) {
        const XMLElement child(node);
        PruneEmptyGroups(child);
        const QString name = child.GetNodeName();
        if ((name == u"MAPPINGS" || name == u"NAMES" || name == u"OBJECT" || name == u"SIMM") && IsEmptyGroup(child))
            e.RemoveChild(child);
    }
}

} // namespace

MappingsDlg::MappingsDlg(const QString& title, ControlListener* parent, QWidget* parentWnd)
    : ModalDialog(title, 179, parent, parentWnd), m_ui(std::make_unique<Ui::MappingsDlg>())
{
    m_ui->setupUi(this);
    InitialiseDialog();
    SetOwnTooltipId(21030);
    setWindowTitle(title);

    m_value = ItemAs<EditCtrl>(1351);
    m_tree = ItemAs<TreeCtrl>(1352);
    m_value->SetOwner(this);
    m_value->SetControlWindow(m_value);
    m_value->SetToolTipId(21031);
    m_tree->SetOwner(this);
    m_tree->SetControlWindow(m_tree);
    m_tree->SetToolTipId(TreeTooltipId);
    AddControl(m_value);
    AddControl(m_tree);

    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(true);
    m_tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::SelectedClicked);
    m_tree->setItemDelegate(new MappingLabelDelegate(this, m_tree));
    ApplyControlColours(m_tree);
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnSelectionChanged(current); });
    connect(m_value, &QLineEdit::textEdited, this, [this](const QString& text) { OnValueEdited(text); });
    m_value->setEnabled(false);
}

MappingsDlg::~MappingsDlg()
{
    ForgetControls();
    // The items go before the document they point into.
    m_tree->clear();
    m_items.clear();
}

void MappingsDlg::showEvent(QShowEvent* event)
{
    Initialise();
    ModalDialog::showEvent(event);
}

void MappingsDlg::Initialise()
{
    if (m_initialised)
        return;
    m_initialised = true;
    if (!m_document.Create() || !m_document.LoadXML(m_xml))
        return;
    const XMLElement root = m_document.GetDocumentElement();
    if (root.IsNull())
        return;
    const QString configuration = GetGlobalConfigurations().KeyName();
    const XMLElement device = FindChild(root, u"DEVICE", &configuration);
    if (device.IsNull())
        return;
    FillTree(device);
}

QTreeWidgetItem* MappingsDlg::AddItem(QTreeWidgetItem* parent, const QString& label, const MappingItemData& data)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, label);
    if (data.labelEditable)
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    if (!data.element.IsNull())
        m_items[item] = data;
    return item;
}

void MappingsDlg::AddMappingsGroup(QTreeWidgetItem* parent, XMLElement owner)
{
    XMLElement mappings = FindChild(owner, u"MAPPINGS");
    if (mappings.IsNull()) {
        mappings = m_document.CreateElement(u"MAPPINGS");
        owner.AppendChild(mappings);
    }
    QTreeWidgetItem* group = AddItem(parent, QStringLiteral("Mappings"), {mappings, false, false, true, false});
    for (const XMLElement& m : ChildElements(mappings, u"MAPPING"))
        AddItem(group, m.GetAttribute(u"ID"), {m, true, true, false, true});
}

void MappingsDlg::FillTree(XMLElement device)
{
    Proteus* proteus = GetProteus();
    std::vector<SimmSlot> roms;
    if (proteus)
        for (const SimmSlot& slot : proteus->hardwareConfig.GetSimms())
            if (slot.simmId != 0 && std::none_of(roms.begin(), roms.end(), [&](const SimmSlot& s) { return s.simmId == slot.simmId; }))
                roms.push_back(slot);

    for (int kind = OBJECT_PRESET; kind <= OBJECT_RIFF; ++kind) {
        const QString kindName = ObjectKindName(kind);
        XMLElement object = FindChild(device, u"OBJECT", &kindName);
        if (object.IsNull()) {
            object = m_document.CreateElement(u"OBJECT");
            object.SetAttribute(u"ID", kindName);
            device.AppendChild(object);
        }
        QTreeWidgetItem* kindItem = AddItem(nullptr, kindName, {object, false, false, false, false});
        AddMappingsGroup(kindItem, object);

        QTreeWidgetItem* simms = AddItem(kindItem, QStringLiteral("Simms"), {});
        for (const SimmSlot& rom : roms) {
            const QString id = QString::number(rom.simmId);
            const QString simmName = proteus->GetSimmName(rom.simmId);
            XMLElement simm = FindChild(object, u"SIMM", &id);
            if (simm.IsNull()) {
                simm = m_document.CreateElement(u"SIMM");
                simm.SetAttribute(u"ID", rom.simmId);
                simm.SetAttribute(u"NAME", simmName);
                object.AppendChild(simm);
            }
            QTreeWidgetItem* romItem = AddItem(simms, simmName, {simm, false, false, false, false});
            AddMappingsGroup(romItem, simm);
            XMLElement names = FindChild(simm, u"NAMES");
            if (names.IsNull()) {
                names = m_document.CreateElement(u"NAMES");
                simm.AppendChild(names);
            }
            QTreeWidgetItem* namesItem = AddItem(romItem, QStringLiteral("Names"), {names, false, false, true, false});
            for (const XMLElement& n : ChildElements(names, u"NAME"))
                AddItem(namesItem, n.GetAttribute(u"ID"), {n, true, true, false, true});
        }
    }

    XMLElement controllers = FindChild(device, u"CONTROLLERS");
    if (controllers.IsNull()) {
        controllers = m_document.CreateElement(u"CONTROLLERS");
        device.AppendChild(controllers);
    }
    QTreeWidgetItem* controllersItem = AddItem(nullptr, QStringLiteral("Controllers"), {controllers, false, false, false, false});
    const bool sixteen = (backupfiles::ModuleCapabilities(this) & CAP_16_CONTROLLERS) != 0;
    for (const ControllerRow& row : kControllers) {
        if (row.needs16 && !sixteen)
            continue;
        const QString id = QString::fromUtf16(row.id);
        XMLElement controller = FindChild(controllers, u"CONTROLLER", &id);
        if (controller.IsNull()) {
            controller = m_document.CreateElement(u"CONTROLLER");
            controller.SetAttribute(u"ID", id);
            controller.SetText(QString::fromUtf16(row.label));
            controllers.AppendChild(controller);
        }
        AddItem(controllersItem, id, {controller, false, true, false, false});
    }
    // Only the root level is sorted; deeper levels keep the document's order.
    m_tree->invisibleRootItem()->sortChildren(0, Qt::AscendingOrder);
}

const MappingItemData* MappingsDlg::ItemData(QTreeWidgetItem* item) const
{
    const auto it = m_items.find(item);
    return it == m_items.end() ? nullptr : &it->second;
}

void MappingsDlg::OnSelectionChanged(QTreeWidgetItem* item)
{
    const MappingItemData* data = ItemData(item);
    if (data && data->hasValue) {
        m_value->setEnabled(true);
        m_value->setText(data->element.GetText());
    } else {
        m_value->setEnabled(false);
        m_value->clear();
    }
}

void MappingsDlg::OnValueEdited(const QString& text)
{
    if (const MappingItemData* data = ItemData(m_tree->currentItem()); data && data->hasValue)
        XMLElement(data->element).SetText(text);
}

bool MappingsDlg::CanEditLabel(QTreeWidgetItem* item) const
{
    const MappingItemData* data = ItemData(item);
    return data && data->labelEditable;
}

bool MappingsDlg::EndLabelEdit(QTreeWidgetItem* item, const QString& text)
{
    const MappingItemData* data = ItemData(item);
    if (!data || !data->labelEditable || text.isEmpty() || text == item->text(0))
        return false;
    if (data->element.GetNodeName() == u"NAME")
        for (const QChar c : text)
            if (!c.isDigit() || c.unicode() > 127)
                return false;
    XMLElement(data->element).SetAttribute(u"ID", text);
    item->setText(0, text);
    return true;
}

QString MappingsDlg::NewChildLabel(const MappingItemData& data) const
{
    if (data.element.GetNodeName() != u"NAMES")
        return QStringLiteral("New Item");
    std::set<QString> taken;
    for (const XMLElement& n : ChildElements(data.element, u"NAME"))
        taken.insert(n.GetAttribute(u"ID"));
    int n = 0;
    while (taken.count(QString::number(n)))
        ++n;
    return QString::number(n);
}

std::unique_ptr<QMenu> MappingsDlg::MakeTreeMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    auto add = [&](int command, const QString& text) { menu->addAction(text)->setData(command); };
    const MappingItemData* data = ItemData(m_tree->currentItem());
    if (data) {
        if (data->canAddChildren) {
            if (data->element.GetNodeName() == u"NAMES")
                add(AddNameCommand, QStringLiteral("Add New Name"));
            else
                add(AddMappingCommand, QStringLiteral("Add New Mapping"));
        }
        if (data->deletable) {
            if (data->element.GetNodeName() == u"NAME")
                add(DeleteNameCommand, QStringLiteral("Delete Name"));
            else
                add(DeleteMappingCommand, QStringLiteral("Delete Mapping"));
        }
    }
    menu->addSeparator();
    if (m_tree->GetToolTipId() != 0)
        add(EditTooltipCommand, QStringLiteral("Edit Tooltip...\tShift+F2"));
    if (ControlBase::TrimMenuSeparators(menu.get()) == 0)
        return nullptr;
    return menu;
}

bool MappingsDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ContextMenu && (watched == m_tree || watched == m_tree->viewport())) {
        // The menu acts on the selected item, wherever the click was.
        if (std::unique_ptr<QMenu> menu = MakeTreeMenu()) {
            const QPoint at = static_cast<QContextMenuEvent*>(event)->globalPos();
            if (QAction* chosen = menu->exec(at))
                OnTreeCommand(chosen->data().toInt());
        }
        return true;
    }
    return ModalDialog::eventFilter(watched, event);
}

void MappingsDlg::ForgetItem(QTreeWidgetItem* item)
{
    for (int i = 0; i < item->childCount(); ++i)
        ForgetItem(item->child(i));
    m_items.erase(item);
}

void MappingsDlg::OnTreeCommand(int command)
{
    QTreeWidgetItem* item = m_tree->currentItem();
    if (command == EditTooltipCommand) {
        EditTooltip(unsigned(m_tree->GetToolTipId()), this, this);
        return;
    }
    const MappingItemData* data = ItemData(item);
    if (!data)
        return;
    if ((command == AddMappingCommand || command == AddNameCommand) && data->canAddChildren) {
        QString tag = data->element.GetNodeName();
        tag.chop(1); // MAPPINGS holds MAPPING, NAMES holds NAME
        XMLElement child = m_document.CreateElement(tag);
        if (child.IsNull())
            return;
        const QString label = NewChildLabel(*data);
        child.SetAttribute(u"ID", label);
        XMLElement(data->element).AppendChild(child);
        QTreeWidgetItem* added = AddItem(item, label, {child, true, true, false, true});
        item->sortChildren(0, Qt::AscendingOrder);
        item->setExpanded(true);
        m_tree->setCurrentItem(added);
    } else if ((command == DeleteMappingCommand || command == DeleteNameCommand) && data->deletable) {
        XMLElement element = data->element;
        ForgetItem(item);
        delete item;
        element.RemoveFromParent();
        OnSelectionChanged(m_tree->currentItem());
    }
}

void MappingsDlg::OnOK()
{
    if (!m_document.IsNull()) {
        const XMLElement root = m_document.GetDocumentElement();
        if (!root.IsNull()) {
            PruneEmptyGroups(root);
            m_xml = m_document.GetXML();
        }
    }
    ModalDialog::OnOK();
}

QWidget* MappingLabelDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                            const QModelIndex& index) const
{
    auto* tree = m_dialog->Tree();
    QTreeWidgetItem* item = tree->itemFromIndex(index);
    if (!m_dialog->CanEditLabel(item))
        return nullptr;
    auto* editor = new EditCtrl(m_dialog, parent);
    const MappingItemData* data = m_dialog->ItemData(item);
    if (data && data->element.GetNodeName() == u"NAME")
        editor->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), editor));
    Q_UNUSED(option);
    return editor;
}

void MappingLabelDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const
{
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line)
        m_dialog->EndLabelEdit(m_dialog->Tree()->itemFromIndex(index), line->text());
}
