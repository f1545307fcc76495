#include "support/DialogHarness.h"

#include "framework/String.h"
#include "support/WindowDriver.h"
#include "ui/Language.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// As the program does at start-up.
[[maybe_unused]] const bool kLanguageChosen =
    (AfxSetResourceLanguage(ChooseInterfaceLanguage(GetACP())), true);

BOOL CALLBACK CancelVisibleDialog(HWND hWnd, LPARAM) {
    char cls[16] = "";
    GetClassNameA(hWnd, cls, sizeof(cls));
    if (IsWindowVisible(hWnd) && lstrcmpA(cls, "#32770") == 0)
        PostCommand(hWnd, IDCANCEL);
    return TRUE;
}

} // namespace

INT_PTR RunModal(CDialog& dlg, const char* pszMissing,
                 const std::function<void(HWND hDlg)>& drive) {
    const DWORD dwUiThread = GetCurrentThreadId();
    std::atomic<bool> bReturned(false);
    std::thread driver([&] {
        HWND hDlg = WaitForWindow(0, "#32770");
        if (hDlg == NULL)
            ADD_FAILURE() << pszMissing;
        else
            drive(hDlg);
        while (!bReturned) {
            EnumThreadWindows(dwUiThread, CancelVisibleDialog, 0);
            Sleep(20);
        }
    });
    INT_PTR nResult = dlg.DoModal();
    bReturned = true;
    driver.join();
    return nResult;
}

std::string LoadText(UINT nID) {
    CString text;
    text.LoadString(nID);
    return std::string(text, text.GetLength());
}
