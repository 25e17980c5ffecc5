#include "module/StackedProgress.h"

#include "module/ModuleLink.h"

StackedProgress::~StackedProgress()
{
    if (m_active)
        m_owner->NotifyEndProgress();
}

void StackedProgress::Step()
{
    if (m_active)
        m_owner->NotifyProgressStep();
}

QString StackedProgress::Cut(const QString& text)
{
    if (text.size() <= kProgressTextMax)
        return text;
    qsizetype n = kProgressTextMax;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

void StackedProgress::Begin(int lower, int upper, const QString& text)
{
    m_owner->NotifyBeginProgress(lower, upper, Cut(text));
}

void StackedProgress::Text(const QString& text)
{
    m_owner->NotifyProgressText(Cut(text));
}
