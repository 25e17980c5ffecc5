#pragma once
// ChainedListener: the ControlListener of every dialog and popup. It answers
// from its own parameter table where it can and passes everything else to its
// parent listener. A top-level window (an editor popup made by the main
// panel) talks to the module itself for requests and edits, through its own
// GetProteus, which such editors override. Without a parent, each operation
// logs why it cannot be answered and answers false, null or an empty text;
// IsDeviceReady then answers true.
//
// RevertLastEdit and PreviewParameterValue are never passed on: they reach
// only an editor that owns the control directly and overrides them.

#include "ui/framework/ControlListener.h"

class ChainedListener : public ControlListener {
public:
    ChainedListener(ControlListener* parent, bool topLevel) : m_parent(parent), m_topLevel(topLevel) {}

    bool RequestParameterValues(ParamRecord* record) override;
    bool RequestParameterMinMax(ParamRecord* record) override;
    bool EditParameter(ParamRecord* record) override;
    QString GetObjectName(int kind, int romId, int index) override;
    /// Own table first, then the parent's.
    ParamRecord* GetParameter(int id) override;
    Proteus* GetProteus() override;
    MidiPort* GetAltPort() override;
    bool IsDeviceReady() override;
    void AddPopup(const QString& name, QWidget* popup) override;
    QWidget* FindPopup(const QString& name) override;
    void RemovePopup(const QString& name) override;

    ControlListener* GetParentListener() const { return m_parent; }
    bool IsTopLevel() const { return m_topLevel; }

private:
    ControlListener* m_parent;
    bool m_topLevel;
};
