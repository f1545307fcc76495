// Drives real windows from outside, the way a user's input would reach them: another thread of
// the same process (dialog tests) or another process (end-to-end test). Every call works
// across processes, so none of them dereferences memory of the driven program directly.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

// A visible top-level window of that process (0: this one) and class, owned by hOwner (NULL:
// owned or not), other than hExcept; NULL when none appeared within the timeout.
HWND WaitForWindow(DWORD dwProcessId, LPCSTR pszClass, HWND hOwner = NULL, HWND hExcept = NULL,
                   DWORD dwTimeoutMs = 15000);
// True once hWnd no longer exists.
bool WaitForDestroyed(HWND hWnd, DWORD dwTimeoutMs = 15000);
// Any dialog or message box owned by hOwner, shown yet or not; NULL when there is none now.
HWND OwnedDialog(HWND hOwner);
// The window that has the keyboard focus in the thread of hWnd.
HWND FocusedWindow(HWND hWnd);

std::string WindowText(HWND hWnd);
// The text of a message box: its static control, id 0xFFFF.
std::string MessageBoxText(HWND hBox);

// What a click on a dialog's button sends, posted so that a modal loop it opens does not block
// the caller.
void PostCommand(HWND hDlg, int nID);
// Replaces the text of a dialog's control, as typing would.
void SetControlText(HWND hDlg, int nID, const std::string& text);
// A key pressed and released on a window.
void PostKey(HWND hWnd, UINT vk);
// A double click at a point of a window's client area.
void PostDoubleClick(HWND hWnd, int x, int y);
// A click on the upper or the lower arrow of an up-down control.
void ClickSpinArrow(HWND hSpin, bool bUpper);

// The three ways a user cancels a dialog: its Cancel button, Esc in the control that has the
// focus (hFocus), and the close box.
struct CancelWay {
    const char* pszWhat;
    void (*post)(HWND hDlg, HWND hFocus);
};
extern const CancelWay kCancelWays[3];

// Waits for a message box owned by hOwner, checks nothing, reads its text, presses its OK
// button and waits until it is gone. Empty when no box appeared.
std::string AnswerMessageBox(DWORD dwProcessId, HWND hOwner);

// A list view read and changed through memory in its own process.
class RemoteListView {
public:
    explicit RemoteListView(HWND hList);
    ~RemoteListView();

    int Count() const;
    std::string Text(int nItem, int nSubItem) const;
    bool Checked(int nItem) const;
    int Selected() const;
    void Select(int nItem);
    void SetChecked(int nItem, bool bChecked);
    // A double click in the middle of the row's first column.
    void DoubleClick(int nItem);

private:
    RemoteListView(const RemoteListView&);
    RemoteListView& operator=(const RemoteListView&);
    void SetState(int nItem, UINT nState, UINT nMask);

    HWND m_hList;
    HANDLE m_hProcess;
    char* m_pRemote; // a page in the list's process
};

// A row of the program's list: its two columns and its box.
struct ListRow {
    std::string strName;
    std::string strClsid;
    bool bTicked;
    bool operator==(const ListRow& o) const {
        return strName == o.strName && strClsid == o.strClsid && bTicked == o.bTicked;
    }
};
std::ostream& operator<<(std::ostream& os, const ListRow& row);
std::vector<ListRow> ReadRows(const RemoteListView& list);
