#pragma once
// The name edit's logic: a module object's name whose characters are separate
// parameters (bound parameter i holds the character at position i). Each
// change of the text goes out at once, one edit per changed character,
// bracketed as one undo step "Name Change". NameCtrl (NameEditCtrl.h) is the
// line edit that shows it.

#include "ui/framework/ControlBase.h"

class NameEditLogic : public ControlBase {
public:
    /// The longest name.
    static constexpr int MaxChars = 16;

    explicit NameEditLogic(ControlListener* owner) : ControlBase(owner) {}

    /// The text as the parameters hold it (trailing spaces cut), shown with the
    /// caret at its end.
    void Fill();
    /// The user changed the text: the differing characters go out.
    void Commit(const QString& text);
    bool IsFilling() const { return m_filling; }

    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;

    /// The text the parameters hold.
    QString NameText();

protected:
    /// Shows text; selects [selectionStart, selectionEnd) (both at the end: just the caret).
    virtual void ShowText(const QString& text, int selectionStart, int selectionEnd) {}

private:
    bool m_committing = false;
    bool m_filling = false;
};
