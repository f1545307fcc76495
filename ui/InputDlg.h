// The entry input dialog: one name and one CLSID, checked as typed.
#pragma once

#include "framework/Dialog.h"

class CInputDlg : public CDialog {
public:
    CInputDlg();

    CString m_strClsid; // at most 36 bytes
    CString m_strName;  // at most 50 bytes

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;

    DECLARE_MESSAGE_MAP()
};
