#include "ui/controls/EditLogic.h"

#include "core/Logger.h"
#include "ui/controls/ControlGeometry.h"

void NumericEditLogic::Activate()
{
    if (ParamRecord* p = MainParameter())
        ShowText(QString::number(p->value));
}

void NumericEditLogic::ParameterChanged(ParamRecord* record)
{
    ParamRecord* p = MainParameter();
    if (p && record && record->id == p->id)
        ShowText(QString::number(record->value));
}

void NumericEditLogic::Commit(const QString& text)
{
    ParamRecord* p = MainParameter();
    if (!p)
        return;
    const int number = ParseDecimal(text);
    if (number == p->value)
        return;
    if (p->maximum > p->minimum && (number < p->minimum || number > p->maximum)) {
        // A number the parameter cannot hold never reaches the module.
        TLOG(kLogError, u"%d is outside the range %d to %d of %s; the value stays %d", number, p->minimum, p->maximum,
             p->name, p->value);
        ShowText(QString::number(p->value));
        return;
    }
    ParamRecord edit = *p;
    edit.previousValue = edit.value;
    edit.value = number;
    if (GetOwner() && GetOwner()->EditParameter(&edit)) {
        p->previousValue = p->value;
        p->value = number;
    } else {
        ShowText(QString::number(p->value));
    }
}
