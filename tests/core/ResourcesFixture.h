#pragma once
// A GlobalResources over a private folder tree, a memory settings store and a
// recording message presenter:
//   root/docs           the user's Documents folder (data folder: docs/Tabrine)
//   root/app/bin        the program folder (parent root/app, root/app/Install)
//   root/share/tabrine  the installed data folder
#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/Settings.h"
#include "platform/SettingsStore.h"
#include "RecordingPresenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class ResourcesFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
        presenter = RecordingPresenter::Install();
        TheTmpLogStore().TakeWaiting();
        for (const char* dir : {"docs", "app/bin", "app/Install", "share/tabrine"})
            QDir().mkpath(root.filePath(QString::fromUtf8(dir)));
        resources = MakeResources();
    }

    void TearDown() override
    {
        resources.reset();
        SetMessagePresenter(nullptr);
        GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
        platform::SetCurrentSettingsStore(nullptr);
    }

    std::unique_ptr<GlobalResources> MakeResources()
    {
        auto r = std::make_unique<GlobalResources>();
        r->SetDataLocations(Locations());
        return r;
    }

    DataLocations Locations() const
    {
        DataLocations l;
        l.documentsFolder = root.filePath(QStringLiteral("docs"));
        l.programFolder = root.filePath(QStringLiteral("app/bin"));
        l.installedDataFolders = {root.filePath(QStringLiteral("share/tabrine"))};
        return l;
    }

    /// Shuts the current resources down and starts a new run on the same folders.
    void Restart()
    {
        resources->Shutdown();
        resources = MakeResources();
        resources->Initialise();
    }

    QString DataFile(const QString& name) const { return root.filePath(QStringLiteral("docs/Tabrine/") + name); }
    QString Path(const QString& relative) const { return root.filePath(relative); }

    void Write(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static QByteArray Read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    /// Loads the four documents with the given Tooltips/Keymaps/Mappings/Names
    /// texts placed in the data folder (null: no file).
    void StartWith(const char* tooltips, const char* keymaps, const char* mappings, const char* names)
    {
        const char* texts[] = {tooltips, keymaps, mappings, names};
        const char* files[] = {"Tooltips.xml", "Keymaps.xml", "Mappings.xml", "Names.xml"};
        for (int i = 0; i < 4; ++i)
            if (texts[i])
                Write(DataFile(QString::fromUtf8(files[i])), QByteArray(texts[i]));
        resources->LoadDocuments();
    }

    /// Messages shown since the last call.
    std::vector<QString> TakeMessages() { return std::exchange(presenter->texts, {}); }

    QTemporaryDir root;
    std::shared_ptr<RecordingPresenter> presenter;
    std::unique_ptr<GlobalResources> resources;
};
