#pragma once
// The small popups of the controls: NameSelectionPopup (a filtered list of
// one kind of module object, through which a selector chooses), PopupTrackerDlg
// (one slider at a screen point, through which a value menu edits a value
// its list does not name) and PopupSwitchCtrl (a switch that shows a named
// popup and stays on while the popup is open).

#include "ui/controls/EditCtrls.h"
#include "ui/controls/ItemListCtrl.h"
#include "ui/controls/PopupTrackerLogic.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/Popup.h"

#include <QMargins>

#include <memory>

namespace Ui {
class NameSelectionPopup;
class PopupTrackerDlg;
}

class NameSelectionPopup : public ResizingPopup, public PopupListener {
    Q_OBJECT
public:
    /// Item ids of the form.
    static constexpr int ListItem = 1021;
    static constexpr int FilterItem = 1022;

    NameSelectionPopup(int selectionType, const QString& name, bool topLevel, ControlListener* parent,
                       QWidget* parentWnd);
    ~NameSelectionPopup() override;

    /// Fills the list at the first showing only.
    void Show(PopupListener* owner, const QString& title) override;
    void SetSelection(int romId, int value) override;
    void SetUserBankOnly(bool on);

    /// The resizing popup's limit, with the height of the desktop's work area.
    QSize GetMaxTrackSize() const override;

    bool OnPopupClosing() override { return true; }
    /// The list's choice, passed to the owner (accepted when there is none).
    bool OnPopupSelect(int type, int romId, int value) override;

    ItemListCtrl* List() const { return m_list; }
    EditCtrl* FilterEdit() const { return m_filter; }
    int SelectionType() const { return m_selectionType; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::unique_ptr<Ui::NameSelectionPopup> m_ui;
    int m_selectionType;
    QMargins m_listMargins;
    EditCtrl* m_filter;
    ItemListCtrl* m_list;
    bool m_filled = false;
};

class PopupTrackerDlg : public Popup {
    Q_OBJECT
public:
    static constexpr int SliderItem = 1098;

    PopupTrackerDlg(const QString& name, bool topLevel, ControlListener* parent, PopupTrackerListener* client,
                    QPoint at, QWidget* parentWnd);
    ~PopupTrackerDlg() override;

    /// Binds the slider to record (range and value) with its title and looks,
    /// and places the popup at its point. An empty title keeps the window's.
    void Configure(const QString& title, ParamRecord* record, int valueFormat, bool showTicks, int tickLength);

    /// The slider's edits go to the client, the first preceded by START_UNDO.
    bool EditParameter(ParamRecord* record) override;
    TrackerCtrl* Slider() const { return m_slider; }
    bool GroupOpen() const { return m_logic.GroupOpen(); }

protected:
    /// Enter: the value is taken and the undo group closes; the popup stays.
    void OnOK() override;
    /// Esc: the undo group closes, then the popup's close rule.
    void OnCancel() override;

private:
    std::unique_ptr<Ui::PopupTrackerDlg> m_ui;
    PopupTrackerLogic m_logic;
    TrackerCtrl* m_slider;
    ParamRecord* m_record = nullptr;
    QPoint m_at;
};

class PopupSwitchCtrl : public SwitchCtrl, public PopupListener {
    Q_OBJECT
public:
    explicit PopupSwitchCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    // As a form builds it; the owner is set when the control is bound.
    explicit PopupSwitchCtrl(QWidget* parent) : PopupSwitchCtrl(nullptr, parent) {}
    ~PopupSwitchCtrl() override;

    using SwitchCtrl::Setup;
    void Setup(const QString& popupName, int tooltipId);
    /// Off, and the popup hidden.
    void ClosePopup();

    /// Shows (on) or hides (off) the popup, then the switch's edit and command.
    void OnToggled() override;
    /// The popup closes: the parameter goes to 0 (a refusal keeps it open and the switch on).
    bool OnPopupClosing() override;
    bool OnPopupSelect(int, int, int) override { return true; }
    PopupBase* KnownPopup() const { return m_popup; }

private:
    PopupBase* m_popup = nullptr;
    QString m_popupName;
};
