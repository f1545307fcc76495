#include "ui/QuellboxDlg.h"

#include "framework/WinApp.h"
#include "storage/KillBit.h"
#include "ui/InputDlg.h"
#include "ui/resource.h"

namespace {

// The list control's rows as the entry list's sink (load) and source (save).
class CListRows : public IEntrySink, public IEntrySource {
public:
    explicit CListRows(CListCtrl& list) : m_list(list) {}

    void AddEntry(const Entry& entry) override {
        int nItem = m_list.GetItemCount();
        m_list.InsertItem(nItem, entry.strName);
        m_list.SetItemText(nItem, 1, entry.strClsid);
        m_list.SetCheck(nItem, entry.bBlocked);
    }
    int GetEntryCount() const override { return m_list.GetItemCount(); }
    Entry GetEntry(int nIndex) const override {
        Entry entry;
        entry.strName = m_list.GetItemText(nIndex, 0);
        entry.strClsid = m_list.GetItemText(nIndex, 1);
        entry.bBlocked = m_list.GetCheck(nIndex) != FALSE;
        return entry;
    }

private:
    CListCtrl& m_list;
};

CString LoadText(UINT nID) {
    CString text;
    text.LoadString(nID);
    return text;
}

} // namespace

BEGIN_MESSAGE_MAP(CQuellboxDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_NEW, OnNew)
ON_BN_CLICKED(IDC_EDIT, OnEdit)
ON_BN_CLICKED(IDC_DELETE, OnDelete)
ON_NOTIFY(NM_DBLCLK, IDC_LIST, OnDblclkList)
ON_NOTIFY(UDN_DELTAPOS, IDC_SPIN, OnDeltaposSpin)
END_MESSAGE_MAP()

CQuellboxDlg::CQuellboxDlg(CWnd* pParent) : CDialog(IDD_MAIN, pParent) {
    m_hIcon = ::LoadIconA(::GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

void CQuellboxDlg::DoDataExchange(CDataExchange* pDX) { DDX_Control(pDX, IDC_LIST, m_list); }

BOOL CQuellboxDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_list.InsertColumn(0, LoadText(IDS_COL_NAME));
    RECT rect;
    m_list.GetWindowRect(&rect);
    m_list.SetColumnWidth(0, 140);
    m_list.InsertColumn(1, LoadText(IDS_COL_CLSID));
    // Both columns then leave 20 pixels for the borders and a vertical scroll bar.
    m_list.SetColumnWidth(1, rect.right - rect.left - 160);
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES |
                            LVS_EX_FULLROWSELECT);

    // Painting each row as it arrives makes a long list take minutes to show.
    m_list.SetRedraw(FALSE);
    CListRows rows(m_list);
    EntryList::Load(rows);
    m_list.SetRedraw(TRUE);
    m_list.Invalidate();

    SetDlgItemText(IDC_INFO, LoadText(IDS_INFO));
    return TRUE;
}

void CQuellboxDlg::OnOK() {
    CListRows rows(m_list);
    SaveResult result = EntryList::Save(rows);
    // Closing now would pass a failed save off as done; staying keeps every edit for another
    // try or an explicit Cancel.
    if (!result.Succeeded()) {
        ReportSaveFailure(result);
        return;
    }
    CDialog::OnOK();
}

void CQuellboxDlg::ReportSaveFailure(const SaveResult& result) {
    CString details;
    if (!result.bListFileSaved) {
        CString line;
        line.Format(LoadText(IDS_SAVE_FILE_FAILED), AfxGetApp()->m_pszProfileName,
                    static_cast<LPCSTR>(AfxGetSystemMessage(result.dwListFileError)));
        details += line;
    }
    if (!result.registryFailures.empty()) {
        CString line;
        line.Format(LoadText(IDS_SAVE_REGISTRY_FAILED),
                    static_cast<int>(result.registryFailures.size()));
        details += line;
    }
    CString text;
    text.Format(LoadText(IDS_SAVE_FAILED), static_cast<LPCSTR>(details));
    AfxMessageBox(text);
}

void CQuellboxDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

BOOL CQuellboxDlg::IsClsidListed(const CString& strClsid) {
    return EntryList::FindClsid(CListRows(m_list), strClsid) >= 0;
}

void CQuellboxDlg::OnNew() {
    CInputDlg dlg;
    if (dlg.DoModal() != IDOK)
        return;
    CString strName = dlg.m_strName;
    CString strClsid = dlg.m_strClsid;
    EntryList::NormalizeClsid(strClsid);
    int nCount = m_list.GetItemCount();
    if (strName.IsEmpty() || strClsid.IsEmpty())
        return;
    // Every listed CLSID is upper case, so this catches one typed in any case.
    if (IsClsidListed(strClsid)) {
        AfxMessageBox(IDS_CLSID_EXISTS);
        return;
    }
    m_list.InsertItem(nCount, strName);
    m_list.SetItemText(nCount, 1, strClsid);
    m_list.SetCheck(nCount, IsBlocked(KillBitKeyPath(strClsid)));
}

void CQuellboxDlg::OnEdit() {
    int nItem = GetSelectedRow();
    if (nItem < 0)
        return;
    CInputDlg dlg;
    dlg.m_strName = m_list.GetItemText(nItem, 0);
    dlg.m_strClsid = m_list.GetItemText(nItem, 1);
    if (dlg.DoModal() != IDOK)
        return;
    CString strName = dlg.m_strName;
    CString strClsid = dlg.m_strClsid;
    EntryList::NormalizeClsid(strClsid);
    if (strName.IsEmpty() || strClsid.IsEmpty())
        return;
    m_list.SetItemText(nItem, 0, strName);
    m_list.SetItemText(nItem, 1, strClsid);
    // The box shows the registry again, even when the CLSID did not change.
    m_list.SetCheck(nItem, IsBlocked(KillBitKeyPath(strClsid)));
}

void CQuellboxDlg::OnDblclkList(NMHDR*, LRESULT* pResult) {
    OnEdit();
    *pResult = 0;
}

void CQuellboxDlg::OnDelete() {
    int nItem = GetSelectedRow();
    if (nItem < 0)
        return;
    // The registry keeps the control's flags: deleting a row does not unblock it.
    m_list.DeleteItem(nItem);
    m_list.EnsureVisible(nItem, FALSE);
    m_list.SetItemState(nItem, LVIS_SELECTED, LVIS_SELECTED);
    m_list.SetFocus();
}

void CQuellboxDlg::OnDeltaposSpin(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    int nItem = GetSelectedRow();
    if (nItem < 0)
        return;
    // The control keeps its default range, under which the upper arrow proposes a negative
    // change: up moves the row towards the top.
    const NMUPDOWN* pUpDown = reinterpret_cast<const NMUPDOWN*>(pNMHDR);
    int nTarget = pUpDown->iDelta < 0 ? nItem - 1 : nItem + 1;
    if (nTarget < 0 || nTarget >= m_list.GetItemCount())
        return;
    CString strName = m_list.GetItemText(nItem, 0);
    CString strClsid = m_list.GetItemText(nItem, 1);
    BOOL bChecked = m_list.GetCheck(nItem);
    m_list.DeleteItem(nItem);
    m_list.InsertItem(nTarget, strName);
    m_list.SetItemText(nTarget, 1, strClsid);
    m_list.SetCheck(nTarget, bChecked);
    m_list.SetItemState(nTarget, LVIS_SELECTED, LVIS_SELECTED);
    m_list.EnsureVisible(nTarget, FALSE);
}
