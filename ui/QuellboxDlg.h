// The main dialog: the block list, one row per entry, and the commands that edit it. The
// rows are the only copy of the list in memory: column 0 the name, column 1 the CLSID text,
// the check box the blocked flag.
#pragma once

#include "framework/Dialog.h"
#include "framework/ListCtrl.h"
#include "storage/EntryList.h"

// The widths of the name and the CLSID column of a list nListWidth pixels wide (borders
// included) laid out at nDpi: 140 and nListWidth - 160 at 96 DPI, in the same proportions at
// any other, so that the two columns always leave room for the borders and a scroll bar.
struct ListColumnWidths {
    int nName;
    int nClsid;
};
ListColumnWidths GetListColumnWidths(int nListWidth, int nDpi);

class CQuellboxDlg : public CDialog {
public:
    explicit CQuellboxDlg(CWnd* pParent = NULL);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    void OnPaint();
    HCURSOR OnQueryDragIcon() { return m_hIcon; }
    void OnNew();
    void OnEdit();
    void OnDelete();
    void OnDblclkList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnKeydownList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnGetInfoTipList(NMHDR* pNMHDR, LRESULT* pResult);
    void OnDeltaposSpin(NMHDR* pNMHDR, LRESULT* pResult);

    DECLARE_MESSAGE_MAP()

private:
    BOOL LoadRows();
    BOOL IsClsidListed(const CString& strClsid);
    void ReportSaveFailure(const SaveResult& result, bool bLocked);
    CString DescribeRegistryWrites(const SaveResult& result) const;
    int GetSelectedRow() const { return m_list.GetNextItem(-1, LVNI_SELECTED); }

    CListCtrl m_list;
    HICON m_hIcon;
    ListAsRead m_listAsRead; // what the load found, for the save to tell what others added since
};
