#include "framework/Dialog.h"

#include "framework/WinApp.h"

#include <commctrl.h>

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal() {
    // The list-view and up-down classes exist only once the common controls are initialised.
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&icc);

    HWND hParent = m_pParentWnd ? m_pParentWnd->m_hWnd : NULL;
    CWinApp* pApp = AfxGetApp();
    if (hParent == NULL && pApp != NULL && pApp->m_pMainWnd != NULL && pApp->m_pMainWnd != this)
        hParent = pApp->m_pMainWnd->m_hWnd;
    // The template in the language chosen at start-up (AfxSetResourceLanguage).
    DWORD nBytes = 0;
    const void* pTemplate = AfxLoadResource(RT_DIALOG, m_nIDTemplate, &nBytes);
    if (pTemplate == NULL)
        return -1;
    INT_PTR nResult =
        ::DialogBoxIndirectParamA(::GetModuleHandleA(NULL), static_cast<LPCDLGTEMPLATEA>(pTemplate),
                                  hParent, DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = NULL;
    return nResult;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        pDlg->m_hWnd = hWnd;
        return pDlg->OnInitDialog();
    }
    CDialog* pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (pDlg == NULL)
        return FALSE;
    LRESULT result = 0;
    if (!pDlg->OnWndMsg(message, wParam, lParam, &result))
        return FALSE;
    // This message's value is the dialog procedure's own return value; the others go
    // through DWLP_MSGRESULT.
    if (message == WM_QUERYDRAGICON)
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrA(hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
