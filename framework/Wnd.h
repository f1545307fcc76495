// CWnd: a window handle and the handful of calls the program makes on it. It owns nothing:
// the window belongs to the system or to the dialog that created it.
#pragma once

#include "framework/AfxRes.h"
#include "framework/MessageMap.h"
#include "framework/String.h"

class CDataExchange;

class CWnd : public CCmdTarget {
public:
    CWnd() : m_hWnd(NULL) {}

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }

    void SetDlgItemText(int nID, LPCSTR pszText) { ::SetDlgItemTextA(m_hWnd, nID, pszText); }
    void GetWindowRect(LPRECT pRect) const { ::GetWindowRect(m_hWnd, pRect); }
    void GetClientRect(LPRECT pRect) const { ::GetClientRect(m_hWnd, pRect); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon) {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                                   reinterpret_cast<LPARAM>(hIcon)));
    }
    void SetRedraw(BOOL bRedraw) { SendMessage(WM_SETREDRAW, bRedraw, 0); }
    void Invalidate() { ::InvalidateRect(m_hWnd, NULL, TRUE); }

    // Runs DoDataExchange; FALSE when a check failed (the exchange stops at the first one).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // What the window procedure does with a paint message it is not asked to handle.
    void OnPaint();

    HWND m_hWnd;

protected:
    virtual void DoDataExchange(CDataExchange*) {}

    // Looks the message up in the message map and calls its handler. FALSE when no entry
    // matches; *pResult then is untouched.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
};

class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_hWndLastControl(NULL),
          m_bFailed(FALSE) {}

    HWND PrepareCtrl(int nIDC);
    // Marks the exchange failed: the later exchange calls do nothing.
    void Fail() { m_bFailed = TRUE; }

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    HWND m_hWndLastControl;
    BOOL m_bFailed;
};

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// Loading limits the last edit control to nChars bytes. Saving refuses a longer text with a
// message: Wine's edit control counts its limit in UTF-16 units, so double-byte text can
// exceed a byte limit there.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

// An OK-only (by default) message box with a string-table text, owned by the active window
// and titled with the application's name.
// No help file ships, so there is no help context to pass.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK);
int AfxMessageBox(LPCSTR pszText, UINT nType = MB_OK);

class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd) { m_hDC = ::BeginPaint(m_hWnd, &m_ps); }
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }

    HDC m_hDC;
    PAINTSTRUCT m_ps;

private:
    HWND m_hWnd;
    CPaintDC(const CPaintDC&);
    CPaintDC& operator=(const CPaintDC&);
};
