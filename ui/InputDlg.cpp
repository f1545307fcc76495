#include "ui/InputDlg.h"

#include "ui/resource.h"

namespace {

const int kClsidLength = 36;
const int kNameLength = 50;

bool HasHyphensInPlace(const CString& strClsid) {
    return strClsid[8] == '-' && strClsid[13] == '-' && strClsid[18] == '-' && strClsid[23] == '-';
}

} // namespace

BEGIN_MESSAGE_MAP(CInputDlg, CDialog)
END_MESSAGE_MAP()

CInputDlg::CInputDlg() : CDialog(IDD_INPUT) {}

void CInputDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_CLSID, m_strClsid);
    DDV_MaxChars(pDX, m_strClsid, kClsidLength);
    DDX_Text(pDX, IDC_NAME, m_strName);
    DDV_MaxChars(pDX, m_strName, kNameLength);
}

void CInputDlg::OnOK() {
    // A refused text has been reported already; the members would be half updated.
    if (!UpdateData(TRUE))
        return;
    if (m_strName.IsEmpty()) {
        AfxMessageBox(IDS_NAME_EMPTY);
        return;
    }
    if (m_strClsid.GetLength() != kClsidLength) {
        AfxMessageBox(IDS_CLSID_LENGTH);
        return;
    }
    if (!HasHyphensInPlace(m_strClsid)) {
        AfxMessageBox(IDS_CLSID_FORMAT);
        return;
    }
    CDialog::OnOK();
}
