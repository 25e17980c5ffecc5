#pragma once
// The preset editor over a root listener and a Proteus connected to the
// simulated module (virtual time), with the application's style and a
// message presenter that answers from a script.
#include "EditorTestSupport.h"

#include "editors/EditPopup.h"
#include "module/Capabilities.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "sim/SysExHex.h"
#include "ui/framework/RootListener.h"


namespace presettest {

using editortests::Owner;
using editortests::ScriptedPresenter;

/// The editor with the save dialog and the tip editor answered by the test.
class ScriptedEditPopup : public EditPopup {
public:
    using EditPopup::EditPopup;
    int savePreset = -1; ///< the preset chosen in "Save Preset"; -1 cancels
    QString tipText;     ///< what the tip editor returns; null cancels
    int saveDialogs = 0;

protected:
    bool ChooseSavePreset(int* preset) override
    {
        ++saveDialogs;
        if (savePreset < 0)
            return false;
        *preset = savePreset;
        return true;
    }
    bool EditTooltipText(QString* text) override
    {
        if (tipText.isNull())
            return false;
        *text = tipText;
        return true;
    }
};

class PresetEditorTest : public editortests::ScriptedEditorTest {
protected:
    void SetUp() override
    {
        RegisterAllNameLists();
        ScriptedEditorTest::SetUp();
        proteus->SetCapabilities(CAP_TESTED | CAP_16_CONTROLLERS | CAP_ARPS_AND_BEATS | CAP_PRESET_DUMPS |
                                 CAP_TUNING_DUMPS | CAP_SYSEX_DUMPS);
        proteus->SetReady(true);
        root = std::make_unique<RootListener>(proteus.get());
        popup = std::make_unique<ScriptedEditPopup>(QStringLiteral("Edit"), true, root.get(), nullptr);
        root->AddControl(popup.get());
    }
    void TearDown() override
    {
        popup.reset();
        root.reset();
        ScriptedEditorTest::TearDown();
    }

    void Open()
    {
        root->OnDeviceConnected();
        popup->Activate();
        popup->Show(&owner, QStringLiteral("Edit Layer"));
    }
    /// The parameter edit message the module gets for id = value.
    static QByteArray EditMessage(int id, int value)
    {
        const int v = value < 0 ? value + 0x4000 : value;
        QByteArray m = sim::Hex("F0 18 0F 00 55 01 02");
        m.append(char(id & 0x7F));
        m.append(char((id >> 7) & 0x7F));
        m.append(char(v & 0x7F));
        m.append(char((v >> 7) & 0x7F));
        m.append(char(0xF7));
        return m;
    }
    bool Sent(const QByteArray& message)
    {
        for (const QByteArray& m : ToModule())
            if (m == message)
                return true;
        return false;
    }
    int ModuleValue(int id)
    {
        link->SleepMs(50); // whatever was sent has been handled (virtual time)
        return link->withDevice([&](sim::Device&) { return module->parameterValue(id).value_or(-9999); });
    }
    void SetModuleValue(int id, int value)
    {
        link->withDevice([&](sim::Device&) { module->setParameterValue(id, value); });
    }
    template <class T> T* Item(int id) { return popup->findChild<T*>(QStringLiteral("item%1").arg(id)); }

    std::unique_ptr<RootListener> root;
    std::unique_ptr<ScriptedEditPopup> popup;
};

} // namespace presettest
