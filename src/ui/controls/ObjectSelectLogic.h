#pragma once
// The object select button's logic: the caption "caption: object name
// (SIMM)", the named selection popup it opens and closes, and the choice
// made there sent as an edit of its parameter (SIMM id and object number).
// SelectCtrl (ObjectSelectCtrl.h) draws it.

#include "ui/controls/ButtonLogic.h"
#include "ui/framework/Popup.h"

class SelectLogic : public PressableLogic, public PopupListener {
public:
    explicit SelectLogic(ControlListener* owner) : PressableLogic(owner) {}

    void Setup(int kind, bool userBankOnly, bool showLocation, const QString& popupName, const QString& popupTitle,
               int tooltipId);
    bool ClosePopup();
    void RefreshText();
    const QString& Text() const { return m_text; }
    bool IsOpen() const { return m_open; }
    /// The popup's title: the one set up, else "Select" and the kind's name.
    QString PopupTitle() const;

    void MousePress();
    void MouseRelease(bool inside);
    void KeyUp(bool space);
    void Toggle();

    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;
    void Deactivate() override;
    bool OnPopupClosing() override;
    bool OnPopupSelect(int type, int romId, int value) override;

    /// Where a SIMM's name comes from; the module's SIMM names by default.
    std::function<QString(int simmId)> simmName;

protected:
    bool ShowsPressed() const override { return m_open || m_captured; }

private:
    PopupBase* m_popup = nullptr;
    bool m_open = false;
    bool m_userBankOnly = false;
    bool m_showLocation = false;
    QString m_popupName;
    QString m_popupTitle;
    QString m_caption;
    QString m_text;
    int m_kind = 1;
};
