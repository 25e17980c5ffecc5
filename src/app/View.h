#pragma once
// View: the main panel. It is the module connection's listener, the root of
// every chain of controls, dialogs and popups, the router of requests and
// edits to the module, and the keeper of the named popups.

#include "ui/framework/RootListener.h"

#include <QWidget>

class Document;

class View : public QWidget, public RootListener {
    Q_OBJECT
public:
    explicit View(Document& document, QWidget* parent = nullptr);
    ~View() override;

    /// Binds and sets up the panel's controls; the panel stays disabled until the module connects.
    void OnInitialUpdate();
    /// The ports changed: shows their names again and repaints.
    void OnUpdate();
    /// Sends ANY_PARAMETER so an editor with unsaved changes may ask and veto; true to go on.
    bool QueryClose();
    /// The channel tracker's range: 32 channels on a 32-channel module with its B port open, else 16.
    void UpdateChannelRange();
    /// The preset on the panel's channel.
    void GetCurrentPreset(int& romId, int& presetNumber);

    Document& GetDocument() const { return m_document; }

private:
    Document& m_document;
};
