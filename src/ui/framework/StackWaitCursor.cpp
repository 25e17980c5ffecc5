#include "ui/framework/StackWaitCursor.h"

#include "core/resources/GlobalStyle.h"

StackWaitCursor::StackWaitCursor()
{
    if (GlobalStyle* style = TheGlobalStyle()) {
        style->GetWaitCursorState().Push();
        m_pushed = true;
    }
}

StackWaitCursor::~StackWaitCursor()
{
    // Pops only what this one pushed, also when the style went in between.
    if (m_pushed) {
        if (GlobalStyle* style = TheGlobalStyle())
            style->GetWaitCursorState().Pop();
    }
}
