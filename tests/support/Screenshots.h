#pragma once
// Screenshots of whole windows for a person to look at: PNG files in the
// build folder's screenshots/ (the environment's TABRINE_SCREENSHOTS), taken
// from the screen itself, so whatever lies over the window (a tooltip, a
// popup) is in the picture too.

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QString>
#include <QWidget>

/// The folder the pictures go to (made when missing).
inline QString ScreenshotFolder()
{
    QString folder = qEnvironmentVariable("TABRINE_SCREENSHOTS");
    if (folder.isEmpty())
        folder = QDir::current().filePath(QStringLiteral("screenshots"));
    QDir().mkpath(folder);
    return folder;
}

/// Saves an area of the primary screen as <name>.png; the path, or an empty
/// string when it failed.
inline QString SaveScreenArea(const QRect& area, const QString& name)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString path = QDir(ScreenshotFolder()).filePath(name + QStringLiteral(".png"));
    return !picture.isNull() && picture.save(path, "PNG") ? path : QString();
}

/// Saves the screen area of window (its frame, widened by margin on every
/// side) as <name>.png; the path, or an empty string when it failed.
inline QString SaveScreenshot(const QWidget* window, const QString& name, int margin = 0)
{
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QRect area = window->frameGeometry().adjusted(-margin, -margin, margin, margin);
    const QPixmap picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString path = QDir(ScreenshotFolder()).filePath(name + QStringLiteral(".png"));
    return !picture.isNull() && picture.save(path, "PNG") ? path : QString();
}
