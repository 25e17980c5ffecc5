#pragma once
// The tuning editor over a root listener and a Proteus connected to the
// simulated module (virtual time), with the application's style, a message
// presenter that answers from a script, and file dialogs that never show.
#include "EditorTestSupport.h"

#include "editors/TuningEditPopup.h"
#include "module/Capabilities.h"
#include "module/ParameterIds.h"
#include "ui/framework/RootListener.h"


namespace tuningtest {

using editortests::NextFileChoice;
using editortests::Owner;
using editortests::ScriptedPresenter;

class TuningEditorTest : public editortests::ScriptedEditorTest {
protected:
    void SetUp() override
    {
        ScriptedEditorTest::SetUp();
        // A file dialog no test answers is cancelled; none is ever shown.
        SetFileDialogScript([](FileDialogBase&) { return int(QDialog::Rejected); });
        proteus->SetCapabilities(CAP_TUNING_DUMPS);
        proteus->SetReady(true);
        root = std::make_unique<RootListener>(proteus.get());
        SetModuleTuning(13); // user tuning 2: tuning program 1
        popup = std::make_unique<TuningEditPopup>(root.get(), nullptr);
        root->AddControl(popup.get());
    }
    void TearDown() override
    {
        SetFileDialogScript({});
        popup.reset();
        root.reset();
        ScriptedEditorTest::TearDown();
    }

    void SetModuleTuning(int number)
    {
        link->withDevice([&](sim::Device&) { module->setParameterValue(PRESET_KBD_TUNE, number); });
    }
    /// The module's stored tuning program (16 name bytes, then 128 x 3).
    QByteArray ModuleTable(int program)
    {
        link->SleepMs(2000); // the dump is on the line for a while (virtual time)
        return link->withDevice([&](sim::Device&) { return module->state().tunings[program]; });
    }
    void SetModuleTable(int program, const QByteArray& body)
    {
        link->withDevice([&](sim::Device&) { module->state().tunings[program] = body; });
    }
    /// What the module plays for a key after single-note changes: semitone, fine high, fine low.
    std::optional<std::array<int, 3>> ModuleKey(int program, int key)
    {
        link->SleepMs(5000); // every change sent so far has reached the module (virtual time)
        return link->withDevice([&](sim::Device&) -> std::optional<std::array<int, 3>> {
            const auto& t = module->state().noteTunings;
            auto it = t.find({program, key});
            return it == t.end() ? std::nullopt : std::optional(it->second);
        });
    }
    /// The messages that reached the module starting with prefix (hex).
    std::vector<QByteArray> SentWith(const char* prefix)
    {
        const QByteArray p = sim::Hex(prefix);
        std::vector<QByteArray> out;
        for (const QByteArray& m : ToModule())
            if (m.startsWith(p))
                out.push_back(m);
        return out;
    }
    std::size_t SingleNoteMessages() { return SentWith("F0 7F 00 08 02").size(); }

    void Open() { popup->Show(&owner, QStringLiteral("Tuning Editor")); }
    QString WriteFile(const QString& name, const QByteArray& bytes) { return editortests::WriteFileIn(dir, name, bytes); }
    ParamRecord* Record(int id) { return popup->OwnRecord(id); }

    std::unique_ptr<RootListener> root;
    std::unique_ptr<TuningEditPopup> popup;
};

} // namespace tuningtest
