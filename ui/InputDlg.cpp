#include "ui/InputDlg.h"

#include "storage/ClsidText.h"
#include "ui/resource.h"

namespace {

const int kNameLength = 50;

} // namespace

BEGIN_MESSAGE_MAP(CInputDlg, CDialog)
END_MESSAGE_MAP()

CInputDlg::CInputDlg() : CDialog(IDD_INPUT) {}

void CInputDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, IDC_CLSID, m_strClsid);
    DDV_MaxChars(pDX, m_strClsid, CLSID_TEXT_LENGTH);
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
    switch (CheckTypedClsid(m_strClsid)) {
    case CLSID_WRONG_LENGTH:
        AfxMessageBox(IDS_CLSID_LENGTH);
        return;
    case CLSID_HYPHEN_MISSING:
        AfxMessageBox(IDS_CLSID_FORMAT);
        return;
    case CLSID_TYPED_OK:
        break;
    }
    CDialog::OnOK();
}
