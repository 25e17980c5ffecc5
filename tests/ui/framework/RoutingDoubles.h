#pragma once
// Test doubles for the routing tests: a listener that answers from a table and
// records what reaches it, and a control that records what it was told.
#include "ui/framework/ControlBase.h"
#include "ui/framework/ControlListener.h"

#include <map>
#include <set>
#include <vector>

namespace routingtest {

/// Answers requests from `values` (ids missing there fail), accepts edits
/// unless their id is in `refused`, and records every call.
class TableListener : public ControlListener {
public:
    std::map<int, int> values;
    std::set<int> refused;
    std::vector<int> requests;                 ///< ids asked, in order
    std::vector<std::pair<int, int>> edits;    ///< (id, value) offered, in order
    std::vector<QString> editTexts;            ///< text of each edit
    bool deviceReady = true;

    bool RequestParameterValues(ParamRecord* r) override
    {
        requests.push_back(r->id);
        auto it = values.find(r->id);
        if (it == values.end())
            return false;
        r->value = it->second;
        return true;
    }
    bool RequestParameterMinMax(ParamRecord* r) override { return RequestParameterValues(r); }
    bool EditParameter(ParamRecord* r) override
    {
        edits.emplace_back(r->id, r->value);
        editTexts.push_back(r->text);
        return refused.count(r->id) == 0;
    }
    QString GetObjectName(int, int, int) override { return QStringLiteral("name"); }
    Proteus* GetProteus() override { return nullptr; }
    MidiPort* GetAltPort() override { return nullptr; }
    bool IsDeviceReady() override { return deviceReady; }
    void AddPopup(const QString&, QWidget*) override {}
    QWidget* FindPopup(const QString&) override { return nullptr; }
    void RemovePopup(const QString&) override {}
    int reverts = 0;
    void RevertLastEdit() override { ++reverts; }
};

/// Shows what it is told by recording it, then runs the default refresh, as a
/// concrete control does.
class RecordingControl : public ControlBase {
public:
    using ControlBase::ControlBase;
    std::vector<int> shown;   ///< ids passed to ParameterChanged, in order
    int displays = 0;
    int activations = 0;
    int deactivations = 0;
    bool allow = true;

    void Activate() override { ++activations; }
    void Deactivate() override { ++deactivations; }
    void ParameterChanged(ParamRecord* r) override
    {
        shown.push_back(r->id);
        ControlBase::ParameterChanged(r);
    }
    void UpdateDisplay() override { ++displays; }
    bool AllowParameterChange(ParamRecord*) override { return allow; }
};

} // namespace routingtest
