#pragma once
// What the tests of the shell's dialogs share: a connected Proteus against
// the simulated module in virtual time, the application's style over a memory
// settings store with the data folder in a private temporary folder, a
// message presenter that records every box and answers from a script, and a
// parent listener that leads the dialogs to the module.
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "core/resources/GuiFont.h"
#include "module/Capabilities.h"
#include "support/ProteusSimFixture.h"
#include "support/TestStyle.h"
#include "ui/framework/ControlListener.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <memory>

namespace apptest {

/// Records every box; answers from the script, else questionAnswer for Yes/No
/// (No unless a test says otherwise) and OK otherwise.
class ScriptedPresenter final : public MessagePresenter {
public:
    int Present(QObject*, const QString& text, const QString&, unsigned type) override
    {
        texts << text;
        if (!answers.empty()) {
            const int a = answers.front();
            answers.pop_front();
            return a;
        }
        return (type & msgbox::ButtonsMask) == msgbox::YesNo ? questionAnswer : msgbox::IdOk;
    }
    QStringList texts;
    std::deque<int> answers;
    int questionAnswer = msgbox::IdNo;
};

/// The main panel as the dialogs see it: the module, ready.
class PanelListener : public ControlListener {
public:
    bool RequestParameterValues(ParamRecord*) override { return false; }
    bool RequestParameterMinMax(ParamRecord*) override { return false; }
    bool EditParameter(ParamRecord* r) override
    {
        edits.push_back(r ? r->id : 0);
        return true;
    }
    QString GetObjectName(int, int, int) override { return {}; }
    Proteus* GetProteus() override { return proteus; }
    MidiPort* GetAltPort() override { return nullptr; }
    bool IsDeviceReady() override { return true; }
    void AddPopup(const QString&, QWidget*) override {}
    QWidget* FindPopup(const QString&) override { return nullptr; }
    void RemovePopup(const QString&) override {}

    Proteus* proteus = nullptr;
    std::vector<int> edits;
};

constexpr std::uint32_t kAllKinds =
    CAP_TESTED | CAP_PRESET_DUMPS | CAP_SETUP_DUMPS | CAP_ARPS_AND_BEATS | CAP_TUNING_DUMPS | CAP_BANK_MAP_DUMPS;

class AppDialogTest : public proteustest::ProteusSimTest {
protected:
    void SetUp() override { StartAll({}); }
    void TearDown() override
    {
        if (style) {
            StopTestStyle(style.get());
            style.reset();
        }
        SetMessagePresenter(nullptr);
        Stop();
    }

    void StartAll(const proteustest::SimOptions& options, std::uint32_t capabilities = kAllKinds)
    {
        if (style) {
            StopTestStyle(style.get());
            style.reset();
        }
        Start(options);
        style = std::make_unique<GlobalStyle>();
        StartTestStyle(style.get(), dir, true);
        InstallGuiFont();
        presenter = std::make_shared<ScriptedPresenter>();
        SetMessagePresenter(presenter);
        SetCapabilities(capabilities);
        panel.proteus = proteus.get();
    }
    void SetCapabilities(std::uint32_t capabilities)
    {
        GetGlobalConfigurations().SetDword(Capabilities, capabilities);
        proteus->SetCapabilities(capabilities);
    }
    /// The data folder, with a trailing separator.
    QString DataFolder() { return style->GetDataFilePath(true, QString()); }

    /// Runs dialog modally; step runs inside once it is up, then the dialog is
    /// closed with OK (when step leaves it open). The dialog's result.
    static int RunModal(QDialog& dialog, const std::function<void()>& step = {})
    {
        QTimer::singleShot(0, &dialog, [&] {
            if (step)
                step();
            if (dialog.isVisible())
                dialog.reject();
        });
        return dialog.exec();
    }

    QTemporaryDir dir;
    std::unique_ptr<GlobalStyle> style;
    std::shared_ptr<ScriptedPresenter> presenter;
    PanelListener panel;
};

} // namespace apptest
