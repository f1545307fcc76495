// CWaitCursor: the wait cursor while a handler blocks the message loop, and the cursor from
// before once it goes out of scope, however the handler leaves.
#pragma once

#include <windows.h>

class CWaitCursor {
public:
    CWaitCursor() : m_hRestore(::SetCursor(::LoadCursorA(NULL, IDC_WAIT))) {
        // A thread that has not shown a cursor yet has none to give back; the dialogs' own
        // is the arrow.
        if (m_hRestore == NULL)
            m_hRestore = ::LoadCursorA(NULL, IDC_ARROW);
    }
    ~CWaitCursor() { ::SetCursor(m_hRestore); }

private:
    CWaitCursor(const CWaitCursor&);
    CWaitCursor& operator=(const CWaitCursor&);

    HCURSOR m_hRestore;
};
