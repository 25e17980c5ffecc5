#pragma once
// Dialog items in Qt Designer forms carry their item id in the objectName:
// "item1189" is item 1189, "item1" OK, "item2" Cancel. Widgets without an id
// (plain static texts, frames) have any other name.

#include <QWidget>

/// The item id of a form widget; -1 when its name carries none.
int ItemIdOf(const QObject* widget);

/// The objectName of item id.
QString ItemName(int id);

/// The widget of item id under form (searching all descendants); null when
/// there is none or it is not a T.
template <class T = QWidget>
T* FindItem(const QWidget* form, int id)
{
    return form ? form->findChild<T*>(ItemName(id)) : nullptr;
}
