#pragma once
// A check for one window: no key sequence may be bound twice among the
// actions and shortcuts that belong to it, or only one of them would ever run.

#include <gtest/gtest.h>

#include <QAction>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include <map>
#include <set>
#include <string>

/// Every shortcut of the window's actions (those of its widgets and those
/// parented to them) and QShortcuts, each sequence bound at most once.
/// Widgets of other windows (child dialogs, popups) are not counted.
inline ::testing::AssertionResult EachKeyBoundOnce(const QWidget* window)
{
    std::set<const QAction*> actions;
    auto inWindow = [window](const QObject* object) {
        for (; object; object = object->parent())
            if (const auto* widget = qobject_cast<const QWidget*>(object))
                return widget->window() == window;
        return false;
    };
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(const_cast<QWidget*>(window));
    for (const QWidget* widget : widgets)
        if (widget->window() == window)
            for (const QAction* action : widget->actions())
                actions.insert(action);
    for (const QAction* action : window->findChildren<QAction*>())
        if (inWindow(action))
            actions.insert(action);

    std::map<QString, std::string> bound; // sequence -> who holds it
    std::string doubles;
    auto enter = [&](const QKeySequence& key, const std::string& who) {
        if (key.isEmpty())
            return;
        const QString text = key.toString(QKeySequence::PortableText);
        const auto [it, fresh] = bound.emplace(text, who);
        if (!fresh)
            doubles += " " + text.toStdString() + " (" + it->second + " and " + who + ");";
    };
    for (const QAction* action : actions)
        for (const QKeySequence& key : action->shortcuts())
            enter(key, "action '" + action->text().toStdString() + "'");
    for (const QShortcut* shortcut : window->findChildren<QShortcut*>())
        if (inWindow(shortcut))
            for (const QKeySequence& key : shortcut->keys())
                enter(key, "shortcut " + shortcut->objectName().toStdString());
    if (doubles.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "keys bound twice in " << window->objectName().toStdString() << ":" << doubles;
}
