#pragma once
// What the editor tests share: a message presenter that answers from a
// script, an owner that lets popups close, file dialogs answered by the test,
// and the base of the editor tests over the simulated module (the
// application's style in a private folder and the dialog font; with a
// scripted presenter for the editors that ask questions).
#include "support/ProteusSimFixture.h"
#include "support/TestStyle.h"

#include "app/FileDialogs.h"
#include "core/MessageBox.h"
#include "core/resources/GuiFont.h"
#include "ui/framework/Popup.h"

#include <QDialog>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <vector>

namespace editortests {

/// Records every message; answers from `answers` in turn, then OK.
class ScriptedPresenter : public MessagePresenter {
public:
    int Present(QObject*, const QString& text, const QString&, unsigned type) override
    {
        texts << text;
        types.push_back(type);
        if (answers.empty())
            return msgbox::IdOk;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    QStringList texts;
    std::vector<unsigned> types;
    std::deque<int> answers;
};

class Owner : public PopupListener {
public:
    bool OnPopupClosing() override { return true; }
};

/// The user picks path in the next file dialog (or cancels with an empty path).
inline void NextFileChoice(const QString& path)
{
    SetFileDialogScript([path](FileDialogBase& d) {
        if (path.isEmpty())
            return int(QDialog::Rejected);
        d.Choose(path);
        return int(QDialog::Accepted);
    });
}

/// Writes bytes to the file name in folder; its path.
inline QString WriteFileIn(const QTemporaryDir& folder, const QString& name, const QByteArray& bytes)
{
    const QString path = folder.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

/// An editor over the simulated module (virtual time) with the application's
/// style in a private folder and the dialog font.
class SimEditorTest : public proteustest::ProteusSimTest {
protected:
    void SetUp() override
    {
        ProteusSimTest::SetUp();
        style = std::make_unique<GlobalStyle>();
        StartTestStyle(style.get(), dir, true);
        InstallGuiFont();
    }
    /// A derived test lets its popups and listeners go first.
    void TearDown() override
    {
        StopTestStyle(style.get());
        style.reset();
        ProteusSimTest::TearDown();
    }

    QTemporaryDir dir;
    std::unique_ptr<GlobalStyle> style;
    Owner owner;
};

/// The same with every message answered by a scripted presenter.
class ScriptedEditorTest : public SimEditorTest {
protected:
    void SetUp() override
    {
        SimEditorTest::SetUp();
        presenter = std::make_shared<ScriptedPresenter>();
        SetMessagePresenter(presenter);
    }

    std::shared_ptr<ScriptedPresenter> presenter;
};

} // namespace editortests
