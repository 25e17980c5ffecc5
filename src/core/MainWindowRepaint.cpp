#include "core/MainWindowRepaint.h"

namespace {

std::function<void()>& Repaint()
{
    static std::function<void()> repaint;
    return repaint;
}

} // namespace

void SetMainWindowRepaint(std::function<void()> repaint)
{
    Repaint() = std::move(repaint);
}

void RepaintMainWindow()
{
    // A copy: the repaint may install another one.
    if (const std::function<void()> repaint = Repaint())
        repaint();
}
