#pragma once
// StackWaitCursor: shows the wait cursor for its lifetime. Nested ones share
// the shared count: the first sets the wait cursor, the last one out restores
// the normal cursor. User-interface thread only.

class StackWaitCursor {
public:
    StackWaitCursor();
    ~StackWaitCursor();
    StackWaitCursor(const StackWaitCursor&) = delete;
    StackWaitCursor& operator=(const StackWaitCursor&) = delete;

private:
    bool m_pushed = false;
};
