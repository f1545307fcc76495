#include "ui/QuellboxDlg.h"

#include "framework/File.h"
#include "framework/WaitCursor.h"
#include "framework/WinApp.h"
#include "storage/ClsidText.h"
#include "storage/ComRegistration.h"
#include "storage/KillBit.h"
#include "storage/KnownKillBits.h"
#include "storage/ListLock.h"
#include "ui/InputDlg.h"
#include "ui/resource.h"

#include <string.h>

namespace {

// The list control's rows as the entry list's sink (load) and source (save).
class CListRows : public IEntrySink, public IEntrySource {
public:
    explicit CListRows(CListCtrl& list) : m_list(list) {}

    // The one way a row comes into the list: its texts, its box, and the kill bits the box was
    // read from, which the save compares with the registry's then.
    void InsertEntry(int nItem, const Entry& entry) {
        m_list.InsertItem(nItem, entry.strName);
        m_list.SetItemText(nItem, 1, entry.strClsid);
        SetCheck(nItem, entry.bBlocked, entry.dwViewsAsRead);
    }
    void SetCheck(int nItem, bool bBlocked, DWORD dwViewsAsRead) {
        m_list.SetCheck(nItem, bBlocked);
        m_list.SetItemData(nItem, dwViewsAsRead);
    }
    void AddEntry(const Entry& entry) override { InsertEntry(m_list.GetItemCount(), entry); }
    int GetEntryCount() const override { return m_list.GetItemCount(); }
    Entry GetEntry(int nIndex) const override {
        Entry entry;
        entry.strName = m_list.GetItemText(nIndex, 0);
        entry.strClsid = m_list.GetItemText(nIndex, 1);
        entry.bBlocked = m_list.GetCheck(nIndex) != FALSE;
        entry.dwViewsAsRead = static_cast<DWORD>(m_list.GetItemData(nIndex));
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

// Why the list file could not be read or saved. A failed save may have left the list in its
// temporary file alone: that file is named, so that the user can put it back.
CString DescribeListFileError(DWORD dwError) {
    std::string strTemp = AfxOrphanedTempFile(AfxGetApp()->m_pszProfileName);
    if (strTemp.empty())
        return AfxGetSystemMessage(dwError);
    CString text;
    text.Format(LoadText(IDS_LIST_IN_TEMP), strTemp.c_str());
    return text;
}

CString FormatKept(int nKept) {
    CString text;
    text.Format(LoadText(IDS_SAVE_KEPT_OTHERS), nKept);
    return text;
}

// The DPI the dialog is laid out at: its template grows with the system font.
int GetLogicalDpi(HWND hWnd) {
    HDC hDC = ::GetDC(hWnd);
    int nDpi = ::GetDeviceCaps(hDC, LOGPIXELSX);
    ::ReleaseDC(hWnd, hDC);
    return nDpi;
}

// Copies as much of the text as fits in cchBuffer bytes with its terminator, never half of a
// double-byte character.
void CopyWholeCharacters(const CString& text, LPSTR pszBuffer, int cchBuffer) {
    if (pszBuffer == NULL || cchBuffer <= 0)
        return;
    const char* pBegin = text;
    int n = AfxWholeCharsIn(pBegin, pBegin + text.GetLength(), cchBuffer - 1);
    memcpy(pszBuffer, pBegin, n);
    pszBuffer[n] = '\0';
}

// What this machine knows of a CLSID, as quellctl's list shows it.
CString DescribeRegistration(const CString& strClsid) {
    ComRegistration reg;
    if (!FindComRegistration(strClsid, &reg))
        return LoadText(IDS_TIP_NOT_REGISTERED);
    CString text;
    text.Format(LoadText(IDS_TIP_REGISTERED), static_cast<LPCSTR>(reg.strClassName),
                static_cast<LPCSTR>(reg.strServer));
    return text;
}

// A line for a control that Microsoft killed, saying in which documents; else nothing.
CString DescribeKnownKillBit(const CString& strClsid) {
    CString strDocuments = KnownKillBitDocuments(strClsid);
    CString line;
    if (!strDocuments.IsEmpty())
        line.Format(CString("\r\n") + LoadText(IDS_TIP_KNOWN), static_cast<LPCSTR>(strDocuments));
    return line;
}

// A line naming the control that Internet Explorer loads in its place, and whether that one is
// blocked too; else nothing.
CString DescribeAlternate(const CString& strClsid) {
    const CString strAlternate = ReadAlternate(ReadKillBitFlags(strClsid));
    if (strAlternate.IsEmpty() || strAlternate.Compare("?") == 0)
        return CString();
    const bool bBlocked = ReadKillBitFlags(strAlternate).IsBlocked();
    CString line;
    line.Format(CString("\r\n") +
                    LoadText(bBlocked ? IDS_TIP_ALTERNATE_BLOCKED : IDS_TIP_ALTERNATE_ALLOWED),
                static_cast<LPCSTR>(strAlternate));
    return line;
}

} // namespace

ListColumnWidths GetListColumnWidths(int nListWidth, int nDpi) {
    ListColumnWidths widths;
    widths.nName = ::MulDiv(140, nDpi, 96);
    widths.nClsid = nListWidth - ::MulDiv(160, nDpi, 96);
    return widths;
}

BEGIN_MESSAGE_MAP(CQuellboxDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_NEW, OnNew)
ON_BN_CLICKED(IDC_EDIT, OnEdit)
ON_BN_CLICKED(IDC_DELETE, OnDelete)
ON_NOTIFY(NM_DBLCLK, IDC_LIST, OnDblclkList)
ON_NOTIFY(UDN_DELTAPOS, IDC_SPIN, OnDeltaposSpin)
ON_NOTIFY(LVN_KEYDOWN, IDC_LIST, OnKeydownList)
ON_NOTIFY(LVN_GETINFOTIPA, IDC_LIST, OnGetInfoTipList)
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
    // The program declares itself DPI-aware, so the system no longer stretches these pixel
    // widths: they grow with the DPI as the template does.
    ListColumnWidths widths = GetListColumnWidths(rect.right - rect.left, GetLogicalDpi(m_hWnd));
    m_list.SetColumnWidth(0, widths.nName);
    m_list.InsertColumn(1, LoadText(IDS_COL_CLSID));
    m_list.SetColumnWidth(1, widths.nClsid);
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES |
                            LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);

    if (!LoadRows()) {
        EndDialog(IDCANCEL);
        return TRUE;
    }

    SetDlgItemText(IDC_INFO, LoadText(IDS_INFO));
    return TRUE;
}

// Fills the list from the list file. A file that exists but cannot be read (another program
// holds it) is named with the system's reason until it reads or the user gives up: FALSE then,
// and nothing may be written, since a save would replace the list the user cannot see.
BOOL CQuellboxDlg::LoadRows() {
    for (;;) {
        BOOL bLoaded;
        DWORD dwError;
        {
            CWaitCursor wait;
            // Painting each row as it arrives makes a long list take minutes to show.
            m_list.SetRedraw(FALSE);
            m_list.DeleteAllItems();
            CListRows rows(m_list);
            bLoaded = EntryList::Load(rows, &m_listAsRead);
            dwError = ::GetLastError();
            m_list.SetRedraw(TRUE);
            m_list.Invalidate();
        }
        if (bLoaded)
            return TRUE;
        CString text;
        text.Format(LoadText(IDS_LOAD_FAILED), AfxGetApp()->m_pszProfileName,
                    static_cast<LPCSTR>(DescribeListFileError(dwError)));
        if (AfxMessageBox(text, MB_RETRYCANCEL | MB_ICONWARNING) != IDRETRY)
            return FALSE;
    }
}

void CQuellboxDlg::OnOK() {
    SaveResult result;
    bool bLocked;
    {
        CWaitCursor wait;
        // Under the lock that quellctl takes too, the save reads the file again and keeps what
        // another program listed since the load.
        CListLock lock;
        bLocked = lock.Lock(AfxGetApp()->m_pszProfileName);
        if (bLocked) {
            result = EntryList::Save(CListRows(m_list), EntryList::LIST_AND_FLAGS, &m_listAsRead);
        } else {
            result.bListFileSaved = false;
            result.dwListFileError = ::GetLastError();
        }
    }
    // Closing now would pass a failed save off as done; staying keeps every edit for another
    // try or an explicit Cancel.
    if (!result.Succeeded()) {
        ReportSaveFailure(result, bLocked);
        return;
    }
    if (result.nKept > 0)
        AfxMessageBox(FormatKept(result.nKept), MB_OK | MB_ICONINFORMATION);
    CDialog::OnOK();
}

// Says what the save did and what it could not, and what OK and Cancel do now: the list file
// and every value that could be written are saved already, and Cancel takes nothing back.
// Without the lock nothing was written.
void CQuellboxDlg::ReportSaveFailure(const SaveResult& result, bool bLocked) {
    CString details;
    CString line;
    if (result.bListFileSaved)
        line.Format(LoadText(IDS_SAVE_FILE_SAVED), AfxGetApp()->m_pszProfileName);
    else
        line.Format(LoadText(IDS_SAVE_FILE_FAILED), AfxGetApp()->m_pszProfileName,
                    static_cast<LPCSTR>(
                        bLocked ? DescribeListFileError(result.dwListFileError)
                                : AfxGetSystemMessage(result.dwListFileError) + " (" +
                                      CListLock::LockFileOf(AfxGetApp()->m_pszProfileName) + ")"));
    details += line;
    if (result.bListFileSaved && result.nKept > 0)
        details += FormatKept(result.nKept);
    if (bLocked)
        details += DescribeRegistryWrites(result);
    CString text;
    text.Format(LoadText(IDS_SAVE_FAILED), static_cast<LPCSTR>(details));
    AfxMessageBox(text);
}

// The registry's line of the report.
CString CQuellboxDlg::DescribeRegistryWrites(const SaveResult& result) const {
    if (result.registryFailures.empty())
        return LoadText(IDS_SAVE_REGISTRY_SAVED);
    // The first few names say which; a list of thousands would not fit on the screen.
    const size_t kNamesShown = 5;
    CString names;
    for (size_t i = 0; i < result.registryFailures.size() && i < kNamesShown; ++i) {
        if (i > 0)
            names += ", ";
        names += m_list.GetItemText(result.registryFailures[i], 0);
    }
    if (result.registryFailures.size() > kNamesShown)
        names += ", ...";
    CString line;
    line.Format(LoadText(IDS_SAVE_REGISTRY_FAILED),
                static_cast<int>(result.registryFailures.size()), static_cast<LPCSTR>(names));
    return line;
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
    Entry entry;
    entry.strName = dlg.m_strName;
    entry.strClsid = dlg.m_strClsid;
    NormalizeClsid(entry.strClsid);
    if (entry.strName.IsEmpty() || entry.strClsid.IsEmpty())
        return;
    // Every listed CLSID is upper case, so this catches one typed in any case.
    if (IsClsidListed(entry.strClsid)) {
        AfxMessageBox(IDS_CLSID_EXISTS);
        return;
    }
    EntryList::ReadBlocked(entry);
    CListRows(m_list).AddEntry(entry);
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
    NormalizeClsid(strClsid);
    if (strName.IsEmpty() || strClsid.IsEmpty())
        return;
    Entry entry = {strName, strClsid, false};
    // The box shows the registry again, even when the CLSID did not change.
    EntryList::ReadBlocked(entry);
    m_list.SetItemText(nItem, 0, strName);
    m_list.SetItemText(nItem, 1, strClsid);
    CListRows(m_list).SetCheck(nItem, entry.bBlocked, entry.dwViewsAsRead);
}

void CQuellboxDlg::OnDblclkList(NMHDR*, LRESULT* pResult) {
    OnEdit();
    *pResult = 0;
}

// The keys Windows lists answer to, each doing what its button does.
void CQuellboxDlg::OnKeydownList(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    switch (reinterpret_cast<const NMLVKEYDOWN*>(pNMHDR)->wVKey) {
    case VK_DELETE:
        OnDelete();
        break;
    case VK_INSERT:
        OnNew();
        break;
    case VK_F2:
        OnEdit();
        break;
    }
}

// Looked up only now, for the one row under the pointer: a load of thousands of rows stays as
// fast as the list file and the kill bits make it.
void CQuellboxDlg::OnGetInfoTipList(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    NMLVGETINFOTIPA* pTip = reinterpret_cast<NMLVGETINFOTIPA*>(pNMHDR);
    if (pTip->iItem < 0 || pTip->iItem >= m_list.GetItemCount())
        return;
    CString strClsid = m_list.GetItemText(pTip->iItem, 1);
    CString text = DescribeRegistration(strClsid);
    text += DescribeKnownKillBit(strClsid);
    text += DescribeAlternate(strClsid);
    // A name the column cuts off is readable in the tip: the list hands it over to add to.
    if ((pTip->dwFlags & LVGIT_UNFOLDED) == 0)
        text = m_list.GetItemText(pTip->iItem, 0) + "\r\n" + text;
    CopyWholeCharacters(text, pTip->pszText, pTip->cchTextMax);
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
    CListRows rows(m_list);
    // The row's tick goes with it, unsaved as it is.
    Entry entry = rows.GetEntry(nItem);
    m_list.DeleteItem(nItem);
    rows.InsertEntry(nTarget, entry);
    m_list.SetItemState(nTarget, LVIS_SELECTED, LVIS_SELECTED);
    m_list.EnsureVisible(nTarget, FALSE);
}
