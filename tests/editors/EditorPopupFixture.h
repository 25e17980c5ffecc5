#pragma once
// The arp pattern and multisetup editors on the main panel over the simulated
// module: the panel makes them at the first connect through a maker that
// builds test versions, whose modal dialogs are answered by the test instead
// of being shown; file dialogs never show either. What reached the module is
// read from its transcript.
#include "../app/ViewFixture.h"
#include "EditorTestSupport.h"

#include "app/FileDialogs.h"
#include "core/MessageBox.h"
#include "editors/ArpEditPopup.h"
#include "editors/EditorPopups.h"
#include "editors/SetupInfoPopup.h"
#include "module/Capabilities.h"
#include "module/ParameterIds.h"

#include <QDialog>
#include <QFile>

#include <deque>
#include <functional>

namespace editortest {

/// Answers the popup's modal dialogs from a script: each entry sets the
/// dialog's fields and gives its result; with none left the dialog is cancelled.
using DialogAnswer = std::function<int(QDialog&)>;

template <class Base>
class Scripted : public Base {
public:
    using Base::Base;
    std::deque<DialogAnswer> answers;
    int dialogsRun = 0;

protected:
    int RunDialog(QDialog& dialog) override
    {
        ++dialogsRun;
        if (answers.empty())
            return QDialog::Rejected;
        DialogAnswer a = std::move(answers.front());
        answers.pop_front();
        return a(dialog);
    }
};
using TestArpEditPopup = Scripted<ArpEditPopup>;
using TestSetupInfoPopup = Scripted<SetupInfoPopup>;

/// Records every message; answers OK.
using RecordingPresenter = editortests::ScriptedPresenter;
using editortests::NextFileChoice;
using editortests::Owner;

class EditorPopupTest : public viewtest::ViewFixture {
protected:
    void SetUp() override
    {
        SetFileDialogScript([](FileDialogBase&) { return int(QDialog::Rejected); });
    }
    void TearDown() override
    {
        SetFileDialogScript({});
        ViewFixture::TearDown();
    }

    /// A panel over a module of profileJson, connected, with the test editors.
    void StartConnected(const QByteArray& profileJson)
    {
        Start(profileJson);
        view->SetEditorFactory([](int slot, View& v) -> std::unique_ptr<PopupBase> {
            if (slot == View::ArpEditPopup)
                return std::make_unique<TestArpEditPopup>(View::PopupSlotName(slot), true, &v, &v);
            if (slot == View::SetupInfoPopup)
                return std::make_unique<TestSetupInfoPopup>(View::PopupSlotName(slot), true, &v, &v);
            return CreateEditorPopup(slot, v);
        });
        Connect();
        presenter = std::make_shared<RecordingPresenter>();
        SetMessagePresenter(presenter);
    }
    TestArpEditPopup* Arp() { return dynamic_cast<TestArpEditPopup*>(view->GetPopup(View::ArpEditPopup)); }
    TestSetupInfoPopup* SetupPopup() { return dynamic_cast<TestSetupInfoPopup*>(view->GetPopup(View::SetupInfoPopup)); }

    /// The parameter edits (F0 18 0F dd 55 01 02 id value F7) among messages, as {id, value}.
    static std::vector<std::pair<int, int>> Edits(const std::vector<QByteArray>& messages)
    {
        std::vector<std::pair<int, int>> out;
        for (const QByteArray& m : messages)
            if (m.size() == 12 && quint8(m[5]) == 0x01 && quint8(m[6]) == 0x02)
                out.emplace_back(sim::Module::Get14(m, 7), sim::Module::Get14(m, 9));
        return out;
    }
    static std::vector<int> EditsOf(const std::vector<QByteArray>& messages, int id)
    {
        std::vector<int> out;
        for (const auto& [i, v] : Edits(messages))
            if (i == id)
                out.push_back(v);
        return out;
    }
    /// Messages of a command (byte 5).
    static std::vector<QByteArray> Commands(const std::vector<QByteArray>& messages, int command)
    {
        std::vector<QByteArray> out;
        for (const QByteArray& m : messages)
            if (m.size() > 6 && quint8(m[0]) == 0xF0 && quint8(m[5]) == command)
                out.push_back(m);
        return out;
    }
    QString WriteFile(const QString& name, const QByteArray& bytes) { return editortests::WriteFileIn(*folder, name, bytes); }
    static QByteArray ReadFile(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::shared_ptr<RecordingPresenter> presenter;
    Owner owner;
};

} // namespace editortest
