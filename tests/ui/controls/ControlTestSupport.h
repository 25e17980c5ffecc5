#pragma once
// Test doubles for the controls: an owner that records every routing call and
// answers as scripted, and a surface that records what the logic asked of its
// window.
#include "module/ParamRecord.h"
#include "ui/controls/ControlSurface.h"
#include "ui/framework/ControlBase.h"
#include "ui/framework/ControlListener.h"

#include <QString>

#include <map>
#include <string>
#include <vector>

/// One call that reached the owner.
struct OwnerCall {
    std::string kind; ///< "edit" or "preview"
    int id = 0;
    int value = 0;
    int previousValue = 0;
    QString text;
    bool operator==(const OwnerCall&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const OwnerCall& c)
{
    return os << c.kind << "(" << c.id << ", " << c.value << ", prev " << c.previousValue << ", \""
              << c.text.toStdString() << "\")";
}

inline OwnerCall Edit(int id, int value, int previous = 0, const char* text = "")
{
    return {"edit", id, value, previous, QString::fromUtf8(text)};
}
inline OwnerCall Marker(int id, const char* text)
{
    return {"edit", id, 0, 0, QString::fromUtf8(text)};
}
inline OwnerCall Preview(int id, int value)
{
    return {"preview", id, value, 0, QString()};
}

class RecordingOwner : public ControlListener {
public:
    bool RequestParameterValues(ParamRecord*) override { return false; }
    bool RequestParameterMinMax(ParamRecord*) override { return false; }
    bool EditParameter(ParamRecord* r) override
    {
        // Markers carry their label as text; edits are compared without it.
        const bool marker = r->id == 9001 || r->id == 9002;
        calls.push_back({"edit", r->id, r->value, marker ? 0 : r->previousValue, marker ? r->text : QString()});
        return accept;
    }
    QString GetObjectName(int, int, int) override { return {}; }
    ParamRecord* GetParameter(int id) override
    {
        auto it = records.find(id);
        return it == records.end() ? nullptr : &it->second;
    }
    Proteus* GetProteus() override { return nullptr; }
    MidiPort* GetAltPort() override { return nullptr; }
    bool IsDeviceReady() override { return ready; }
    void AddPopup(const QString&, QWidget*) override {}
    QWidget* FindPopup(const QString&) override { return nullptr; }
    void RemovePopup(const QString&) override {}
    void PreviewParameterValue(ParamRecord* r, int value) override { calls.push_back({"preview", r->id, value, 0, {}}); }

    std::vector<OwnerCall> Take() { return std::exchange(calls, {}); }

    std::vector<OwnerCall> calls;
    std::map<int, ParamRecord> records;
    bool accept = true;
    bool ready = true;
};

class FakeSurface : public ControlSurface {
public:
    void Repaint(bool) override { ++repaints; }
    void TakeFocus() override { focused = true; }
    bool HasKeyboardFocus() const override { return focused; }
    bool IsWindowEnabled() const override { return enabled; }
    void SetWindowEnabled(bool e) override { enabled = e; }
    void SendCommand() override { ++commands; }
    QSize ClientSize() const override { return size; }
    /// Six pixels a character, 13 high.
    QSize TextSize(const QString& text) const override { return QSize(int(text.size()) * 6, 13); }
    QString Caption() const override { return caption; }

    int repaints = 0;
    int commands = 0;
    bool focused = false;
    bool enabled = true;
    QSize size{200, 40};
    QString caption = QStringLiteral("Level");
};
