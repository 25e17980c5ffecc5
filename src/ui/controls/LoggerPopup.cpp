#include "ui/controls/LoggerPopup.h"

#include "ui_LoggerPopup.h"

#include "core/RegistryKey.h"
#include "core/Settings.h"
#include "module/Proteus.h"
#include "ui/controls/ControlGeometry.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScrollBar>

// ---- line list ---------------------------------------------------------------------------------

LogList::LogList(QWidget* parent) : QListView(parent), ControlBase(nullptr)
{
    SetControlWindow(this);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ApplyControlColours(this);
}

std::unique_ptr<QMenu> LogList::MakeListMenu()
{
    // The same rule as every control's menu: shown only while tooltips are long.
    if (GetGlobalConfigurations().GetDword(EnableTooltips) != 2)
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    const std::pair<int, const char16_t*> items[] = {
        {logwindow::kCopy, u"&Copy to Clipboard"},
        {logwindow::kClear, u"Cl&ear"},
        {logwindow::kOnTop, u"Keep Window On &Top"},
    };
    for (auto [id, text] : items)
        menu->addAction(QString::fromUtf16(text))->setData(id);
    PrepareContextMenu(menu.get());
    return menu;
}

void LogList::PrepareContextMenu(QMenu* menu)
{
    for (QAction* action : menu->actions())
        if (action->data().toInt() == logwindow::kOnTop) {
            action->setCheckable(true);
            action->setChecked(m_popup && m_popup->IsOnTop());
        }
}

void LogList::OnContextMenuCommand(QWidget* parent, QPoint* point, int command)
{
    if (m_popup && (command == logwindow::kCopy || command == logwindow::kClear || command == logwindow::kOnTop))
        m_popup->RunListCommand(command);
    else
        ControlBase::OnContextMenuCommand(parent, point, command);
}

void LogList::contextMenuEvent(QContextMenuEvent* event)
{
    std::unique_ptr<QMenu> menu = MakeListMenu();
    if (!menu)
        return;
    QPoint at = event->globalPos();
    if (QAction* chosen = menu->exec(at))
        OnContextMenuCommand(this, &at, chosen->data().toInt());
}

// ---- window ------------------------------------------------------------------------------------

LoggerPopup::LoggerPopup(const QString& name, bool topLevel, ControlListener* parent, QWidget* parentWnd)
    : Popup(name, logwindow::kTemplate, topLevel, parent, parentWnd),
      Logger(QStringLiteral("Tabrine"), kDefaultLogFlags),
      m_ui(new Ui::LoggerPopup)
{
    AddRef(); // the window's lifetime is Qt's; no reference ever ends it
    GetTraceLevel();
    m_ui->setupUi(this);
    setWindowTitle(name);
    InitialisePopup();
    SetOwnTooltipId(logwindow::kWindowTip);
    m_thread = std::this_thread::get_id();

    m_level = ItemAs<EditCtrl>(logwindow::kLevelEdit);
    m_support = ItemAs<ButtonCtrl>(logwindow::kSupportButton);
    m_list = ItemAs<LogList>(logwindow::kLineList);
    m_level->SetOwner(this);
    m_level->SetToolTipId(logwindow::kLevelTip);
    m_support->SetOwner(this);
    m_support->Setup(logwindow::kButtonTip);
    m_list->SetOwner(this);
    m_list->SetToolTipId(logwindow::kListTip);
    m_list->SetPopup(this);
    m_list->setModel(&m_lines);
    const QFontMetrics metrics(m_list->font());
    m_lines.SetMeasure([metrics](const QString& line) { return metrics.horizontalAdvance(line); });
    m_lines.SetLineHeight(metrics.height());
    AddControl(m_level);
    AddControl(m_support);
    AddControl(m_list);

    {
        RegistryKey key(GetTraceKeyPath(), true);
        const std::optional<platform::StoredValue> stored = key.ReadValue(QStringLiteral("Tabrine"));
        m_level->setText(stored ? QString::number(std::int32_t(key.ReadDword(QStringLiteral("Tabrine"), 0)))
                                : QString());
    }
    // The level is stored on every change of the text, typed or pasted.
    connect(m_level, &QLineEdit::textEdited, this, &LoggerPopup::LevelEdited);

    if (GetGlobalConfigurations().GetBool(LoggerOnTop))
        SetOnTop(true);
    SetLogWindow(this);
    TakeWaitingLines();
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &LoggerPopup::TakeWaitingLines);
    m_timer.start();
}

LoggerPopup::~LoggerPopup()
{
    // The start-up logger is current again before anything of the window goes.
    SetLogWindow(nullptr);
    m_timer.stop();
    ForgetControls();
    DestroyPopup();
    delete m_ui;
}

void LoggerPopup::Output(int level, const QString& line)
{
    if (std::this_thread::get_id() != m_thread) {
        TheTmpLogStore().Output(level, line); // waits there, reaches the file once
        return;
    }
    TakeWaitingLines();
    AddText(line);
    TheTmpLogStore().AppendToLogFile(line);
    Logger::Output(level, line);
}

void LoggerPopup::TakeWaitingLines()
{
    for (const QString& line : TheTmpLogStore().TakeWaiting())
        AddText(line);
}

void LoggerPopup::AddText(const QString& text)
{
    for (const QString& piece : LogLines::SplitText(text))
        AddLine(piece);
}

void LoggerPopup::AddLine(const QString& line)
{
    QScrollBar* bar = m_list->verticalScrollBar();
    const int top = bar->value();
    const QModelIndex current = m_list->currentIndex();
    const bool followLast = current.isValid() && m_list->selectionModel()->isSelected(current)
                            && current.row() == m_lines.Count() - 1;
    m_lines.AddLine(line);
    if (followLast) {
        const QModelIndex last = m_lines.index(m_lines.Count() - 1);
        m_list->setCurrentIndex(last);
        m_list->scrollTo(last);
    } else {
        bar->setValue(top);
    }
}

bool LoggerPopup::IsOnTop() const
{
    return windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void LoggerPopup::SetOnTop(bool onTop)
{
    const QRect place = geometry();
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    setGeometry(place);
    if (visible)
        show(); // changing the flags hides a window
}

void LoggerPopup::RunListCommand(int command)
{
    switch (command) {
    case logwindow::kCopy:
        if (QClipboard* clipboard = QGuiApplication::clipboard())
            clipboard->setText(m_lines.AllText());
        break;
    case logwindow::kClear:
        m_lines.Clear();
        break;
    case logwindow::kOnTop: {
        const bool onTop = !GetGlobalConfigurations().GetBool(LoggerOnTop);
        GetGlobalConfigurations().SetBool(LoggerOnTop, onTop);
        SetOnTop(onTop);
        break;
    }
    default:
        break;
    }
}

void LoggerPopup::LevelEdited(const QString& text)
{
    RegistryKey key(GetTraceKeyPath(), true);
    key.WriteDword(QStringLiteral("Tabrine"), std::uint32_t(ParseDecimal(text)));
    // Both loggers read the new level at their next line.
    ForgetLastRead();
    TheTmpLogStore().ForgetLastRead();
}

void LoggerPopup::AppendSupportInfo()
{
    if (Proteus* proteus = GetProteus())
        AddText(proteus->GetModuleInfo());
}

void LoggerPopup::OnCommand(int id)
{
    if (id == logwindow::kSupportButton)
        AppendSupportInfo();
    else
        Popup::OnCommand(id);
}

void LoggerPopup::resizeEvent(QResizeEvent* event)
{
    Popup::resizeEvent(event);
    if (m_list) {
        const QPoint at = m_list->pos();
        m_list->setGeometry(at.x(), at.y(), width() - at.x(), std::max(0, height() - at.y()));
    }
}
