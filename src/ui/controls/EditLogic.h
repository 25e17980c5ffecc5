#pragma once
// The numeric edit's logic: shows its bound parameter as a decimal number
// and commits the typed number when the field loses the focus. EditCtrls.h
// puts it on a line edit.

#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlBase.h"
#include "ui/framework/ControlListener.h"

#include <QString>

class NumericEditLogic : public ControlBase {
public:
    explicit NumericEditLogic(ControlListener* owner) : ControlBase(owner) {}
    /// The owner of a field a form built (forms build controls without one).
    void SetOwner(ControlListener* owner) { m_owner = owner; }

    /// Shows the bound parameter's value (no request is made).
    void Activate() override;
    /// A change of the bound parameter replaces the text, also while the user types.
    void ParameterChanged(ParamRecord* record) override;
    /// Reads text as a decimal number and sends it when it differs from the
    /// parameter's value. A number outside the parameter's known range
    /// (maximum above minimum) is refused without an edit, as is a number the
    /// owner refuses: the field shows the parameter's value again.
    void Commit(const QString& text);

protected:
    /// Puts text into the field.
    virtual void ShowText(const QString& text) = 0;

private:
    ParamRecord* MainParameter() { return ParameterCount() > 0 ? ParameterAt(0) : nullptr; }
};
