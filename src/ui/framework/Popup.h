#pragma once
// Popups: the modeless windows of the editor (the editors, the selection
// lists, the slider popup). A popup is made once, hidden and shown as needed,
// owned at any moment by at most one PopupListener (whoever opened it),
// registered by name up its parent chain, and keeps its screen rectangle in
// the configuration under its name. It is also a control of its parent, so
// activation and parameter changes flow through it to its own controls.
//
// A derived popup calls its form's setupUi on itself and then InitialisePopup.

#include "ui/framework/BasicDialog.h"
#include "ui/framework/ControlBase.h"
#include "core/resources/GuiFont.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

/// Whoever opens a popup.
class PopupListener {
public:
    virtual ~PopupListener() = default;
    /// The user closes the popup (false keeps it open), or another owner
    /// takes it over (the answer is then not used).
    virtual bool OnPopupClosing() = 0;
    /// A choice was made in a selection popup; true when it was taken.
    virtual bool OnPopupSelect(int selectionType, int romId, int value) { return false; }
};

class PopupBase : public BasicDialog, public ControlBase {
    Q_OBJECT
public:
    PopupBase(const QString& name, int templateId, bool topLevel, ControlListener* parent, QWidget* parentWnd);

    /// Hands the popup to owner (null hides it), with title as its caption when not empty.
    virtual void Show(PopupListener* owner, const QString& title) = 0;
    /// The owner's current choice, sent by selection owners right after showing.
    virtual void SetSelection(int romId, int value) {}

    using BasicDialog::GetToolTipText;
    using ControlBase::GetToolTipText;
};

class Popup : public PopupBase {
    Q_OBJECT
public:
    Popup(const QString& name, int templateId, bool topLevel, ControlListener* parent, QWidget* parentWnd);
    /// Unregisters the popup and saves its rectangle (see DestroyPopup).
    ~Popup() override;

    virtual bool IsResizable() const { return false; }
    /// After an owner agreed to a user close, before the popup is hidden.
    virtual void OnClose() {}

    void Show(PopupListener* owner, const QString& title) override;
    PopupListener* Owner() const { return m_owner; }

    /// The popup itself first, then each of its controls.
    void Activate() override;
    /// Each control, then the popup itself.
    void Deactivate() override;
    /// Only while owned: passed to every control; a reload notice then refreshes the window.
    void ParameterChanged(ParamRecord* record) override;
    /// False as soon as one control refuses.
    bool AllowParameterChange(ParamRecord* record) override;

    /// The saved rectangle text ("left top right bottom"), applied to current
    /// field by field as far as it parses; nullopt when the text is empty or
    /// the result has no area (right <= left or bottom <= top), so the
    /// template rectangle stays. Right and bottom are exclusive.
    static std::optional<QRect> ParseSavedRect(const QString& text, const QRect& current);
    static QString FormatSavedRect(const QRect& frame);

protected:
    /// After setupUi: the dialog's own set-up, the saved place (and size for a
    /// resizing popup), registration under the popup's name.
    void InitialisePopup();
    /// Unregisters the popup and writes its rectangle; once. A derived popup
    /// whose listeners go before it calls it from its own destructor.
    void DestroyPopup();

    /// Sets the size limits before a saved size is applied; nothing here.
    virtual void ApplyTrackLimits() {}

    /// Enter never closes a popup.
    void OnOK() override {}
    /// Esc and the window's close button: the close rule, then hidden.
    void OnCancel() override;

private:
    PopupListener* m_owner = nullptr;
    bool m_destroyed = false;
};

class ResizingPopup : public Popup {
    Q_OBJECT
public:
    ResizingPopup(const QString& name, int templateId, bool topLevel, ControlListener* parent, QWidget* parentWnd);

    bool IsResizable() const override { return true; }
    /// The largest client size: the form's size in dialog units converted with
    /// the dialog font, within the screen's available area.
    virtual QSize GetMaxTrackSize() const;

    /// The width is fixed at the largest width; the height may shrink.
    static QSize MaxTrackSize(const QSize& templateUnits, const DialogBaseUnits& base, const QSize& screen);

protected:
    /// The width fixed at the largest width, the height up to the largest height.
    void ApplyTrackLimits() override;
};
