#include "ui/framework/ItemId.h"

int ItemIdOf(const QObject* widget)
{
    if (!widget)
        return -1;
    const QString name = widget->objectName();
    if (!name.startsWith(QStringLiteral("item")) || name.size() == 4)
        return -1;
    bool ok = false;
    const int id = name.mid(4).toInt(&ok);
    // Only plain decimal digits: "item-1" or "item+5" name no item.
    return ok && name[4].isDigit() ? id : -1;
}

QString ItemName(int id)
{
    return QStringLiteral("item%1").arg(id);
}
