#pragma once
// The preset editor's child popups (splits, preset arpeggiator, links, preset
// and layer patch cords) under a parent listener over a Proteus connected to
// the simulated module (virtual time), with the application's style. The
// parent is a RootListener that keeps the undo history, as the preset editor
// does for its children, and can be told to refuse edits.
#include "EditorTestSupport.h"

#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "ui/framework/Popup.h"
#include "ui/framework/RootListener.h"

#include <memory>
#include <utility>
#include <vector>

namespace childpopuptest {

using editortests::Owner;

/// The preset editor's part for its children: forwards to the module and
/// records; refuses every module edit while `refuse` is set.
class ParentListener : public RootListener {
public:
    using RootListener::RootListener;
    bool EditParameter(ParamRecord* record) override
    {
        if (refuse && record && record->id < SHORT_MIDI_MSG)
            return false;
        return RootListener::EditParameter(record);
    }
    bool refuse = false;
};

/// A selection list registered under a name, as the main panel registers its own.
class SelectionList : public Popup {
public:
    SelectionList(const QString& name, ControlListener* parent) : Popup(name, 0, false, parent, nullptr)
    {
        InitialisePopup();
    }
};

/// One edit as it reached the module: parameter id and value.
using Edit = std::pair<int, int>;

class ChildPopupTest : public editortests::SimEditorTest {
protected:
    void SetUp() override
    {
        RegisterAllNameLists();
        SimEditorTest::SetUp();
        proteus->SetReady(true);
        root = std::make_unique<ParentListener>(proteus.get());
        // The ranges the connection learns when it connects, for the popups' parameters.
        for (auto [first, last] : {std::pair{931, 966}, {1025, 1043}, {1281, 1298}, {1413, 1424}, {1921, 1992}})
            for (int id = first; id <= last; ++id)
                if (ParamRecord* r = proteus->FindParameter(id))
                    proteus->ParameterRequestWithMinMax(r);
    }
    void TearDown() override
    {
        DropPopups();
        root.reset();
        SimEditorTest::TearDown();
    }
    /// Popups of a test go before the parent they are entered in.
    virtual void DropPopups() {}

    /// Makes the popup under the parent listener, enters it and shows it.
    template <class P> std::unique_ptr<P> Make()
    {
        auto popup = std::make_unique<P>(root.get(), nullptr);
        root->AddControl(popup.get());
        root->OnDeviceConnected();
        return popup;
    }

    void SetModule(int id, int value)
    {
        link->withDevice([&](sim::Device&) { module->setParameterValue(id, value); });
    }
    int ModuleValue(int id)
    {
        link->SleepMs(200); // what was sent has reached the module and been handled (virtual time)
        return link->withDevice([&](sim::Device&) { return module->parameterValue(id).value_or(-99999); });
    }
    /// Every parameter edit that reached the module, in order (a message may carry several).
    std::vector<Edit> Edits()
    {
        const QByteArray prefix = sim::Hex("F0 18 0F 00 55 01");
        std::vector<Edit> out;
        for (const QByteArray& m : ToModule()) {
            if (!m.startsWith(prefix))
                continue;
            auto word = [&](int at) {
                int v = (std::uint8_t(m[at]) & 0x7F) | ((std::uint8_t(m[at + 1]) & 0x7F) << 7);
                return v >= 8192 ? v - 16384 : v;
            };
            for (int at = 7; at + 4 < m.size(); at += 4)
                out.emplace_back(word(at), word(at + 2));
        }
        return out;
    }
    /// The edit messages that reached the module, as hex text.
    QStringList EditMessages()
    {
        QStringList out;
        for (const QByteArray& m : ToModule())
            if (m.startsWith(sim::Hex("F0 18 0F 00 55 01")))
                out << sim::ToHex(m).toUpper();
        return out;
    }
    /// A change of a selector as the editor makes it: sent to the module and passed to every control.
    void Select(int id, int value)
    {
        ParamRecord* r = root->GetParameter(id);
        r->previousValue = r->value;
        r->value = value;
        ASSERT_TRUE(root->EditParameter(r)) << id;
    }

    std::unique_ptr<ParentListener> root;
};

} // namespace childpopuptest
