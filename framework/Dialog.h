// CDialog: a modal dialog from a template, with its messages dispatched through the message
// map of the derived class.
#pragma once

#include "framework/Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL)
        : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

    // IDOK or IDCANCEL as the dialog ended, or -1 when it could not be created.
    INT_PTR DoModal();
    void EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel() { EndDialog(IDCANCEL); }

protected:
    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
};
