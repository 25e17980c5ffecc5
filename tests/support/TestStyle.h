#pragma once
// The application's style for a widget test: settings in memory under the
// configuration "Settings", the data folder inside a private temporary folder,
// then the colours, the skin and the shared documents.

#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "platform/SettingsStore.h"

#include <QTemporaryDir>

/// quietRepaint: a colour reload repaints nothing (the test paints itself).
inline void StartTestStyle(GlobalStyle* style, const QTemporaryDir& folder, bool quietRepaint = false)
{
    platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
    GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
    DataLocations l;
    l.documentsFolder = folder.filePath(QStringLiteral("docs"));
    style->SetDataLocations(l);
    if (quietRepaint)
        style->SetRepaintAllWindows([] {});
    style->Initialise();
}

/// Saves and closes the shared documents, then drops the settings.
inline void StopTestStyle(GlobalStyle* style)
{
    style->Shutdown();
    platform::SetCurrentSettingsStore(nullptr);
}
