#include "support/WindowDriver.h"

#include <commctrl.h>

#include <gtest/gtest.h>

namespace {

struct WindowQuery {
    DWORD dwProcessId;
    LPCSTR pszClass;
    HWND hOwner;
    HWND hExcept;
    bool bVisibleOnly;
    HWND hFound;
};

BOOL CALLBACK MatchWindow(HWND hWnd, LPARAM lParam) {
    WindowQuery* q = reinterpret_cast<WindowQuery*>(lParam);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    char cls[64] = "";
    ::GetClassNameA(hWnd, cls, sizeof(cls));
    if (pid != q->dwProcessId || hWnd == q->hExcept ||
        (q->bVisibleOnly && !::IsWindowVisible(hWnd)) || lstrcmpiA(cls, q->pszClass) != 0)
        return TRUE;
    if (q->hOwner != NULL && ::GetWindow(hWnd, GW_OWNER) != q->hOwner)
        return TRUE;
    q->hFound = hWnd;
    return FALSE;
}

// SendMessage with a bound: a driven program that stopped answering must fail the test, not
// hang it. A message that timed out reads as 0.
LRESULT Send(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(hWnd, message, wParam, lParam, SMTO_NORMAL, 15000, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

} // namespace

HWND WaitForWindow(DWORD dwProcessId, LPCSTR pszClass, HWND hOwner, HWND hExcept,
                   DWORD dwTimeoutMs) {
    WindowQuery q = {
        dwProcessId ? dwProcessId : ::GetCurrentProcessId(), pszClass, hOwner, hExcept, true, NULL};
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < dwTimeoutMs; ::Sleep(20)) {
        ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&q));
        if (q.hFound != NULL)
            return q.hFound;
    }
    return NULL;
}

bool WaitForDestroyed(HWND hWnd, DWORD dwTimeoutMs) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < dwTimeoutMs; ::Sleep(20)) {
        if (!::IsWindow(hWnd))
            return true;
    }
    return false;
}

HWND OwnedDialog(HWND hOwner) {
    DWORD pid = 0;
    DWORD dwThread = ::GetWindowThreadProcessId(hOwner, &pid);
    WindowQuery q = {pid, "#32770", hOwner, NULL, false, NULL};
    ::EnumThreadWindows(dwThread, MatchWindow, reinterpret_cast<LPARAM>(&q));
    return q.hFound;
}

HWND FocusedWindow(HWND hWnd) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(hWnd, NULL), &info);
    return info.hwndFocus;
}

std::string WindowText(HWND hWnd) {
    // WM_GETTEXT is marshalled across processes; GetWindowText is not for other processes'
    // controls.
    int n = static_cast<int>(Send(hWnd, WM_GETTEXTLENGTH, 0, 0));
    std::vector<char> text(n + 2, '\0');
    Send(hWnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    return std::string(&text[0]);
}

std::string MessageBoxText(HWND hBox) { return WindowText(::GetDlgItem(hBox, 0xFFFF)); }

void PostCommand(HWND hDlg, int nID) {
    ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, nID)));
}

void SetControlText(HWND hDlg, int nID, const std::string& text) {
    Send(::GetDlgItem(hDlg, nID), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void PostKey(HWND hWnd, UINT vk) {
    ::PostMessageA(hWnd, WM_KEYDOWN, vk, 1);
    ::PostMessageA(hWnd, WM_KEYUP, vk, 0xC0000001);
}

void PostDoubleClick(HWND hWnd, int x, int y) {
    LPARAM at = MAKELPARAM(x, y);
    ::PostMessageA(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageA(hWnd, WM_LBUTTONUP, 0, at);
    ::PostMessageA(hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::PostMessageA(hWnd, WM_LBUTTONUP, 0, at);
}

void ClickSpinArrow(HWND hSpin, bool bUpper) {
    RECT rect;
    ASSERT_TRUE(::GetClientRect(hSpin, &rect));
    LPARAM at = MAKELPARAM(rect.right / 2, bUpper ? rect.bottom / 4 : rect.bottom * 3 / 4);
    ::PostMessageA(hSpin, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageA(hSpin, WM_LBUTTONUP, 0, at);
}

const CancelWay kCancelWays[3] = {
    {"Cancel", [](HWND hDlg, HWND) { PostCommand(hDlg, IDCANCEL); }},
    {"Esc", [](HWND, HWND hFocus) { PostKey(hFocus, VK_ESCAPE); }},
    {"close box", [](HWND hDlg, HWND) { ::PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0); }},
};

std::string AnswerMessageBox(DWORD dwProcessId, HWND hOwner) {
    HWND hBox = WaitForWindow(dwProcessId, "#32770", hOwner);
    if (hBox == NULL)
        return std::string();
    std::string text = MessageBoxText(hBox);
    PostCommand(hBox, IDOK);
    WaitForDestroyed(hBox);
    return text;
}

RemoteListView::RemoteListView(HWND hList) : m_hList(hList), m_hProcess(NULL), m_pRemote(NULL) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hList, &pid);
    m_hProcess =
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (m_hProcess != NULL)
        m_pRemote = static_cast<char*>(
            ::VirtualAllocEx(m_hProcess, NULL, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

RemoteListView::~RemoteListView() {
    if (m_pRemote != NULL)
        ::VirtualFreeEx(m_hProcess, m_pRemote, 0, MEM_RELEASE);
    if (m_hProcess != NULL)
        ::CloseHandle(m_hProcess);
}

int RemoteListView::Count() const {
    return static_cast<int>(Send(m_hList, LVM_GETITEMCOUNT, 0, 0));
}

std::string RemoteListView::Text(int nItem, int nSubItem) const {
    // The item structure first, the text buffer after it, both in the list's process.
    const int kTextSize = 2048;
    char* pRemoteText = m_pRemote + 256;
    LVITEMA item = {};
    item.iSubItem = nSubItem;
    item.pszText = pRemoteText;
    item.cchTextMax = kTextSize;
    ::WriteProcessMemory(m_hProcess, m_pRemote, &item, sizeof(item), NULL);
    Send(m_hList, LVM_GETITEMTEXTA, nItem, reinterpret_cast<LPARAM>(m_pRemote));
    std::vector<char> text(kTextSize + 1, '\0');
    ::ReadProcessMemory(m_hProcess, pRemoteText, &text[0], kTextSize, NULL);
    return std::string(&text[0]);
}

bool RemoteListView::Checked(int nItem) const {
    UINT state = static_cast<UINT>(Send(m_hList, LVM_GETITEMSTATE, nItem, LVIS_STATEIMAGEMASK));
    return (state >> 12) == 2;
}

int RemoteListView::Selected() const {
    return static_cast<int>(Send(m_hList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void RemoteListView::SetState(int nItem, UINT nState, UINT nMask) {
    LVITEMA item = {};
    item.state = nState;
    item.stateMask = nMask;
    ::WriteProcessMemory(m_hProcess, m_pRemote, &item, sizeof(item), NULL);
    Send(m_hList, LVM_SETITEMSTATE, nItem, reinterpret_cast<LPARAM>(m_pRemote));
}

void RemoteListView::Select(int nItem) {
    SetState(nItem, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void RemoteListView::SetChecked(int nItem, bool bChecked) {
    SetState(nItem, INDEXTOSTATEIMAGEMASK(bChecked ? 2 : 1), LVIS_STATEIMAGEMASK);
}

void RemoteListView::DoubleClick(int nItem) {
    RECT rect = {LVIR_LABEL, 0, 0, 0};
    ::WriteProcessMemory(m_hProcess, m_pRemote, &rect, sizeof(rect), NULL);
    Send(m_hList, LVM_GETITEMRECT, nItem, reinterpret_cast<LPARAM>(m_pRemote));
    ::ReadProcessMemory(m_hProcess, m_pRemote, &rect, sizeof(rect), NULL);
    PostDoubleClick(m_hList, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
}

std::ostream& operator<<(std::ostream& os, const ListRow& row) {
    return os << "{" << row.strName << ", " << row.strClsid << ", "
              << (row.bTicked ? "ticked" : "clear") << "}";
}

std::vector<ListRow> ReadRows(const RemoteListView& list) {
    std::vector<ListRow> rows;
    for (int i = 0; i < list.Count(); ++i)
        rows.push_back({list.Text(i, 0), list.Text(i, 1), list.Checked(i)});
    return rows;
}
