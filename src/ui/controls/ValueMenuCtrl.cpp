#include "ui/controls/ValueMenuCtrl.h"

#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/ConfiguredColours.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

template <class Logic>
std::optional<int> MenuWidget<Logic>::RunMenu(const std::vector<ValueMenuItem>& items)
{
    if (items.empty())
        return std::nullopt;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("valueMenu"));
    const bool plain = GetGlobalConfigurations().GetBool(ReaderFriendly);
    if (!plain)
        if (const GlobalStyle* style = Style()) {
            QPalette p = menu.palette();
            SetConfiguredColours(&p, *style);
            menu.setPalette(p);
        }
    for (const ValueMenuItem& item : items) {
        // A menu shows "&" as a mnemonic marker; a name's own ampersand is doubled.
        QAction* action = menu.addAction(QString(item.text).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setCheckable(true);
        action->setChecked(item.checked);
        action->setData(item.value);
    }
    m_menu = &menu;
    QAction* first = menu.actions().front();
    QTimer::singleShot(0, &menu, [&menu, first] { menu.setActiveAction(first); });
    QAction* chosen = menu.exec(mapToGlobal(QPoint(0, 0)));
    m_menu = nullptr;
    if (!chosen)
        return std::nullopt;
    return chosen->data().toInt();
}

template <class Logic>
void MenuWidget<Logic>::RunOtherPopup(ParamRecord* record)
{
    PopupTrackerDlg popup(Logic::PlainCaption(), false, Logic::GetOwner(), this, mapToGlobal(QPoint(0, 0)), this);
    popup.Configure(Logic::PlainCaption(), record, Logic::GetValueFormat(), true, 4);
    popup.exec();
}

template <class Logic>
void MenuWidget<Logic>::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const FaceState state = Logic::Face();
    ButtonFace face = CentredFace(&painter, state);
    face.text = Logic::Text();
    if (const GlobalStyle* style = Style())
        style->DrawTextButton(face);
    else
        PaintBackground(painter, rect());
}

template <class Logic>
void MenuWidget<Logic>::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    Logic::MousePress();
    event->accept();
}

template <class Logic>
void MenuWidget<Logic>::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    event->accept();
    Logic::MouseRelease(rect().contains(event->position().toPoint()));
}

template <class Logic>
void MenuWidget<Logic>::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    Logic::KeyUp(event->key() == Qt::Key_Space);
}

template <class Logic>
void MenuWidget<Logic>::contextMenuEvent(QContextMenuEvent* event)
{
    Logic::ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

template class MenuWidget<MenuLogic>;
template class MenuWidget<FXMenuLogic>;
template class MenuWidget<MasterFXMenuLogic>;
