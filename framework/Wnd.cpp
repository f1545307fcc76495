#include "framework/Wnd.h"

#include "framework/WinApp.h"

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

void CWnd::OnPaint() {
    // As the default window procedure does: validate the update region.
    CPaintDC dc(this);
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    UINT nCode = 0;
    UINT nID = 0;
    if (message == WM_COMMAND) {
        nCode = HIWORD(wParam);
        nID = LOWORD(wParam);
    } else if (message == WM_NOTIFY) {
        const NMHDR* pNMHDR = reinterpret_cast<const NMHDR*>(lParam);
        nCode = pNMHDR->code;
        nID = static_cast<UINT>(pNMHDR->idFrom);
    }
    CCmdTarget* pTarget = this;
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(message, nCode, nID);
    // Commands that no window handles go on to the application object.
    if (pEntry == NULL && message == WM_COMMAND && AfxGetApp() != NULL) {
        pTarget = AfxGetApp();
        pEntry = pTarget->FindMessageEntry(message, nCode, nID);
    }
    if (pEntry == NULL)
        return FALSE;
    *pResult = pEntry->pfnThunk(pTarget, wParam, lParam);
    return TRUE;
}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    m_hWndLastControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    return m_hWndLastControl;
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    if (pDX->m_bFailed)
        return;
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        ::SetWindowTextA(hWnd, value);
        return;
    }
    // The length is an upper bound in double-byte text, so the buffer is sized by it and the
    // text taken up to its terminator.
    int nLength = ::GetWindowTextLengthA(hWnd);
    CString text;
    ::GetWindowTextA(hWnd, text.GetBuffer(nLength), nLength + 1);
    text.ReleaseBuffer();
    value = text;
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars) {
    if (pDX->m_bFailed)
        return;
    if (!pDX->m_bSaveAndValidate) {
        ::SendMessageA(pDX->m_hWndLastControl, EM_LIMITTEXT, nChars, 0);
        return;
    }
    if (value.GetLength() <= nChars)
        return;
    CString format;
    format.LoadString(AFX_IDP_PARSE_STRING_SIZE);
    CString text;
    text.Format(format, nChars);
    AfxMessageBox(text, MB_OK);
    pDX->Fail();
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    // Bound afresh on every exchange: a handle kept from an earlier DoModal of the same dialog
    // names a window that is gone.
    rControl.m_hWnd = pDX->PrepareCtrl(nIDC);
}

namespace {

BOOL CALLBACK FindEnabledWindow(HWND hWnd, LPARAM lParam) {
    if (!::IsWindowVisible(hWnd) || !::IsWindowEnabled(hWnd))
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

// The dialog that raised the message. It is the active window, unless another program holds
// the foreground; then it is this thread's one enabled window, since a modal dialog disables
// the windows it was opened from.
HWND GetMessageBoxOwner() {
    HWND hOwner = ::GetActiveWindow();
    if (hOwner == NULL)
        ::EnumThreadWindows(::GetCurrentThreadId(), FindEnabledWindow,
                            reinterpret_cast<LPARAM>(&hOwner));
    return hOwner;
}

} // namespace

int AfxMessageBox(LPCSTR pszText, UINT nType) {
    if ((nType & MB_ICONMASK) == 0 &&
        ((nType & MB_TYPEMASK) == MB_OK || (nType & MB_TYPEMASK) == MB_OKCANCEL))
        nType |= MB_ICONEXCLAMATION;
    CWinApp* pApp = AfxGetApp();
    LPCSTR pszCaption = pApp && pApp->m_pszAppName ? pApp->m_pszAppName : "Quellbox";
    return ::MessageBoxA(GetMessageBoxOwner(), pszText, pszCaption, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType) {
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text, nType);
}
