// Runs the built Quellbox.exe as its own process from a scratch directory, drives its dialogs
// with window messages from here, and reads back what it left in its list file and in the
// registry once it has exited.
#include "support/WindowDriver.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Control ids as the user meets them: the main dialog, then the input dialog.
const int kNew = 3, kDelete = 5, kList = 1000, kSpin = 1006;
const int kName = 1005, kClsid = 1006;

const DWORD kWindowTimeoutMs = 30000; // the first window of a Wine process can be slow
const DWORD kExitTimeoutMs = 30000;
const int kLastKey = 9; // CLSIDs ...01 to ...09 belong to this test

// GBK texts: "测试", "新控件" and the refusal of a CLSID listed already.
const char kTestName[] = "\xB2\xE2\xCA\xD4";
const char kNewName[] = "\xD0\xC2\xBF\xD8\xBC\xFE";
const char kClsidExists[] =
    "\xCD\xAC\xD1\xF9\xB5\xC4 CLSID \xD2\xD1\xBE\xAD\xB4\xE6\xD4\xDA\xC1\xCB !";

// Another tool's section: the program must keep it byte for byte, spaces and comment included.
const char kOtherSection[] = "[Other]\r\nColor=blue\r\n; keep me\r\nSize = 12 \r\n";

std::string Clsid(int n) {
    char text[40];
    sprintf(text, "5E5E0003-0000-0000-0000-0000000000%02X", n);
    return text;
}

std::string KeyPath(int n) {
    return "Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\{" + Clsid(n) + "}";
}

// Under WOW64 the program keeps the kill bit in the 32-bit and the 64-bit view alike.
std::vector<REGSAM> Views() {
    BOOL bWow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &bWow64);
    if (!bWow64)
        return std::vector<REGSAM>(1, 0);
    return std::vector<REGSAM>({KEY_WOW64_32KEY, KEY_WOW64_64KEY});
}

// The same flags in every view, as on a machine where both agree.
void SetFlags(int n, DWORD dwFlags) {
    for (REGSAM view : Views()) {
        HKEY hKey;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, KeyPath(n).c_str(), 0, NULL, 0,
                                                 KEY_SET_VALUE | view, NULL, &hKey, NULL));
        RegSetValueExA(hKey, "Compatibility Flags", 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&dwFlags), sizeof(dwFlags));
        RegCloseKey(hKey);
    }
}

void DeleteFlagsKeys() {
    for (int n = 1; n <= kLastKey; ++n) {
        for (REGSAM view : Views())
            RegDeleteKeyExA(HKEY_LOCAL_MACHINE, KeyPath(n).c_str(), view, 0);
    }
}

std::string Dword(DWORD dw) {
    char text[16];
    sprintf(text, "0x%08lX", static_cast<unsigned long>(dw));
    return text;
}

// What a control's flags look like in text, so that a key created with 0 differs from no key.
std::string FlagsIn(int n, REGSAM view) {
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(n).c_str(), 0, KEY_QUERY_VALUE | view, &hKey) !=
        ERROR_SUCCESS)
        return "no key";
    DWORD dwType = 0, dwValue = 0, cbData = sizeof(dwValue);
    LONG rc = RegQueryValueExA(hKey, "Compatibility Flags", NULL, &dwType,
                               reinterpret_cast<BYTE*>(&dwValue), &cbData);
    RegCloseKey(hKey);
    if (rc != ERROR_SUCCESS)
        return "no value";
    if (dwType != REG_DWORD || cbData != sizeof(dwValue))
        return "not a DWORD";
    return Dword(dwValue);
}

// One text when every view agrees, each view's own when they differ.
std::string Flags(int n) {
    std::vector<REGSAM> views = Views();
    std::string first = FlagsIn(n, views[0]);
    if (views.size() == 1 || FlagsIn(n, views[1]) == first)
        return first;
    return "32-bit view " + first + ", 64-bit view " + FlagsIn(n, views[1]);
}

std::vector<std::string> AllFlags() {
    std::vector<std::string> flags;
    for (int n = 1; n <= kLastKey; ++n)
        flags.push_back(Clsid(n) + " " + Flags(n));
    return flags;
}

typedef std::vector<std::pair<std::string, int>> Names; // name and CLSID number, in order

// The rows in [Setting], then a pair after a gap that loading must not reach and saving must
// drop, then the other tool's section.
std::string ListFile(const Names& rows) {
    std::string text = "[Setting]\r\n";
    size_t i = 0;
    for (; i < rows.size(); ++i) {
        text += "N" + std::to_string(i) + "=" + rows[i].first + "\r\n";
        text += "S" + std::to_string(i) + "=" + Clsid(rows[i].second) + "\r\n";
    }
    text += "N" + std::to_string(i + 1) + "=Stale\r\nS" + std::to_string(i + 1) + "=" +
            Clsid(kLastKey) + "\r\n";
    return text + "\r\n" + kOtherSection;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f != NULL) << path;
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (f == NULL)
        return "(missing)";
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof(buffer), f)) > 0;)
        bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

std::string Profile(const std::string& path, const char* pszSection, const char* pszKey) {
    std::vector<char> text(32768, '\0');
    GetPrivateProfileStringA(pszSection, pszKey, "", &text[0], static_cast<DWORD>(text.size()),
                             path.c_str());
    return std::string(&text[0]);
}

// Exactly N<i>/S<i> for the rows, in order, nothing else in the section; the rest kept.
void ExpectListFile(const std::string& path, const Names& rows) {
    std::vector<std::string> expected, keys;
    for (size_t i = 0; i < rows.size(); ++i) {
        expected.push_back("N" + std::to_string(i));
        expected.push_back("S" + std::to_string(i));
        EXPECT_EQ(rows[i].first, Profile(path, "Setting", expected[2 * i].c_str()));
        EXPECT_EQ(Clsid(rows[i].second), Profile(path, "Setting", expected[2 * i + 1].c_str()));
    }
    std::vector<char> list(32768, '\0');
    GetPrivateProfileStringA("Setting", NULL, "", &list[0], static_cast<DWORD>(list.size()),
                             path.c_str());
    for (const char* p = &list[0]; *p != '\0'; p += strlen(p) + 1)
        keys.push_back(p);
    std::sort(expected.begin(), expected.end());
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(expected, keys);
    EXPECT_NE(std::string::npos, ReadBytes(path).find(kOtherSection)) << ReadBytes(path);
    EXPECT_EQ("blue", Profile(path, "Other", "Color"));
}

std::string Row(const std::string& name, int n, bool bTicked) {
    return name + " | " + Clsid(n) + (bTicked ? " | ticked" : " | clear");
}

std::vector<std::string> Rows(const RemoteListView& list) {
    std::vector<std::string> rows;
    for (int i = 0; i < list.Count(); ++i)
        rows.push_back(list.Text(i, 0) + " | " + list.Text(i, 1) +
                       (list.Checked(i) ? " | ticked" : " | clear"));
    return rows;
}

// The program handles posted input later; this waits until it shows the result.
bool Eventually(const std::function<bool()>& done) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(20)) {
        if (done())
            return true;
    }
    return done();
}

std::string WindowsPath(std::string path) {
    if (path.empty() || path[0] != '/')
        return path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFlagsKeys();
        static int s_nRun = 0;
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        m_dir = std::string(temp) + "QuellboxE2E-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++s_nRun);
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), NULL)) << m_dir;
        m_ini = m_dir + "\\Quellbox.ini";
        const char* pszExe = getenv("QUELLBOX_EXE");
        ASSERT_TRUE(pszExe != NULL && *pszExe != '\0') << "QUELLBOX_EXE is not set";
        m_exe = m_dir + "\\Quellbox.exe";
        ASSERT_TRUE(CopyFileA(WindowsPath(pszExe).c_str(), m_exe.c_str(), FALSE)) << pszExe;
    }

    void TearDown() override {
        EndProcess();
        DeleteFlagsKeys();
        WIN32_FIND_DATAA found;
        HANDLE hFind = FindFirstFileA((m_dir + "\\*").c_str(), &found);
        for (BOOL more = hFind != INVALID_HANDLE_VALUE; more; more = FindNextFileA(hFind, &found))
            DeleteFileA((m_dir + "\\" + found.cFileName).c_str());
        if (hFind != INVALID_HANDLE_VALUE)
            FindClose(hFind);
        RemoveDirectoryA(m_dir.c_str());
    }

    void Start(const std::string& args = std::string()) {
        std::string line = "\"" + m_exe + "\"" + (args.empty() ? "" : " " + args);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        ASSERT_TRUE(CreateProcessA(m_exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL,
                                   m_dir.c_str(), &si, &m_pi))
            << GetLastError();
        m_hMain = WaitForWindow(m_pi.dwProcessId, "#32770", NULL, NULL, kWindowTimeoutMs);
        ASSERT_TRUE(m_hMain != NULL) << "no main dialog";
        m_hList = GetDlgItem(m_hMain, kList);
        ASSERT_TRUE(m_hList != NULL);
    }

    // The dialog has been ended: the process must go away on its own, cleanly. A message box
    // instead (a failed save keeps the dialog open) fails at once, with its text.
    void ExpectExit() {
        DWORD dwWait = WAIT_TIMEOUT;
        std::string box;
        for (DWORD start = GetTickCount();
             dwWait == WAIT_TIMEOUT && box.empty() && GetTickCount() - start < kExitTimeoutMs;) {
            dwWait = WaitForSingleObject(m_pi.hProcess, 100);
            HWND hBox = WaitForWindow(m_pi.dwProcessId, "#32770", m_hMain, NULL, 1);
            if (dwWait == WAIT_TIMEOUT && hBox != NULL)
                box = MessageBoxText(hBox);
        }
        DWORD dwCode = 0;
        GetExitCodeProcess(m_pi.hProcess, &dwCode);
        EndProcess();
        ASSERT_TRUE(box.empty()) << "message box instead of the end: " << box;
        ASSERT_EQ(WAIT_OBJECT_0, dwWait) << "still running after its dialog ended";
        EXPECT_EQ(0u, dwCode);
    }

    void EndProcess() {
        if (m_pi.hProcess == NULL)
            return;
        if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_pi.hProcess, 1);
            WaitForSingleObject(m_pi.hProcess, 10000);
        }
        CloseHandle(m_pi.hThread);
        CloseHandle(m_pi.hProcess);
        m_pi = PROCESS_INFORMATION();
    }

    void TypeNewEntry(const std::string& name, const std::string& clsid) {
        PostCommand(m_hMain, kNew);
        HWND hInput = WaitForWindow(m_pi.dwProcessId, "#32770", m_hMain);
        ASSERT_TRUE(hInput != NULL) << "no input dialog";
        SetControlText(hInput, kName, name);
        SetControlText(hInput, kClsid, clsid);
        PostCommand(hInput, IDOK);
        ASSERT_TRUE(WaitForDestroyed(hInput)) << "the input dialog stayed open";
    }

    void DeleteRow(RemoteListView& list, int nItem) {
        int nCount = list.Count();
        list.Select(nItem);
        PostCommand(m_hMain, kDelete);
        ASSERT_TRUE(Eventually([&] { return list.Count() == nCount - 1; }));
    }

    // A click on the upper or lower arrow of the up-down control.
    void ClickSpin(bool bUpper) {
        HWND hSpin = GetDlgItem(m_hMain, kSpin);
        RECT rect;
        ASSERT_TRUE(GetClientRect(hSpin, &rect));
        LPARAM at = MAKELPARAM(rect.right / 2, bUpper ? rect.bottom / 4 : rect.bottom * 3 / 4);
        PostMessageA(hSpin, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(hSpin, WM_LBUTTONUP, 0, at);
    }

    HWND FocusOf() {
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(m_pi.dwThreadId, &info);
        return info.hwndFocus;
    }

    std::string m_dir, m_ini, m_exe;
    PROCESS_INFORMATION m_pi = {};
    HWND m_hMain = NULL;
    HWND m_hList = NULL;
};

TEST_F(EndToEnd, EditSessionEndedWithOkIsSavedInDisplayOrderWithKillBits) {
    SetFlags(1, 0x400);
    SetFlags(2, 0x401);
    SetFlags(3, 0);
    SetFlags(5, 0x400);
    SetFlags(6, 0x402);
    Names prepared = {{"Alpha", 1}, {"Beta", 2}, {kTestName, 3}, {"Delta", 4}, {"Echo", 5}};
    ASSERT_NO_FATAL_FAILURE(WriteBytes(m_ini, ListFile(prepared)));
    ASSERT_NO_FATAL_FAILURE(Start());
    RemoteListView list(m_hList);

    // Only the kill bit ticks a box; 0 and a missing key both leave it clear.
    std::vector<std::string> rows = {Row("Alpha", 1, true), Row("Beta", 2, true),
                                     Row(kTestName, 3, false), Row("Delta", 4, false),
                                     Row("Echo", 5, true)};
    ASSERT_EQ(rows, Rows(list));

    ASSERT_NO_FATAL_FAILURE(TypeNewEntry(kNewName, "5e5e0003-0000-0000-0000-000000000006"));
    ASSERT_TRUE(Eventually([&] { return list.Count() == 6; }));
    rows.push_back(Row(kNewName, 6, true));
    EXPECT_EQ(rows, Rows(list));

    ASSERT_NO_FATAL_FAILURE(TypeNewEntry("Dup", "5e5e0003-0000-0000-0000-000000000002"));
    EXPECT_EQ(kClsidExists, AnswerMessageBox(m_pi.dwProcessId, m_hMain));
    EXPECT_EQ(rows, Rows(list));

    list.SetChecked(2, true);
    list.SetChecked(1, false);
    ASSERT_NO_FATAL_FAILURE(DeleteRow(list, 4));
    EXPECT_EQ(4, list.Selected());

    list.Select(3);
    ASSERT_NO_FATAL_FAILURE(ClickSpin(true));
    ASSERT_TRUE(Eventually([&] { return list.Text(2, 0) == "Delta"; })) << list.Text(2, 0);
    rows = {Row("Alpha", 1, true), Row("Beta", 2, false), Row("Delta", 4, false),
            Row(kTestName, 3, true), Row(kNewName, 6, true)};
    EXPECT_EQ(rows, Rows(list));

    PostCommand(m_hMain, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());

    ExpectListFile(m_ini, {{"Alpha", 1}, {"Beta", 2}, {"Delta", 4}, {kTestName, 3}, {kNewName, 6}});
    EXPECT_EQ(Dword(0x400), Flags(1));
    EXPECT_EQ(Dword(0x001), Flags(2)); // only the kill bit goes
    EXPECT_EQ(Dword(0x400), Flags(3));
    EXPECT_EQ(Dword(0x000), Flags(4)); // a clear row leaves an explicit 0
    EXPECT_EQ(Dword(0x400), Flags(5)); // deleting a row does not unblock its control
    EXPECT_EQ(Dword(0x402), Flags(6));
    EXPECT_EQ("no key", Flags(kLastKey)); // the entry after the gap was never a row
}

TEST_F(EndToEnd, EnterInTheListCommitsAndClosesLikeOk) {
    SetFlags(1, 0x400);
    Names prepared = {{"Alpha", 1}, {"Beta", 2}};
    ASSERT_NO_FATAL_FAILURE(WriteBytes(m_ini, ListFile(prepared)));
    ASSERT_NO_FATAL_FAILURE(Start());
    RemoteListView list(m_hList);
    ASSERT_EQ(2, list.Count());
    list.SetChecked(0, false);
    list.SetChecked(1, true);
    ASSERT_EQ(m_hList, FocusOf());

    PostKey(m_hList, VK_RETURN);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());

    ExpectListFile(m_ini, prepared);
    EXPECT_EQ(Dword(0), Flags(1));
    EXPECT_EQ(Dword(0x400), Flags(2));
}

TEST_F(EndToEnd, CancelEscAndCloseBoxWriteNothing) {
    const char* ways[] = {"Cancel", "Esc", "close box"};
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(ways[way]);
        DeleteFlagsKeys();
        SetFlags(1, 0x400);
        SetFlags(2, 0x401);
        SetFlags(4, 0);
        std::string bytes = ListFile({{"Alpha", 1}, {"Beta", 2}, {"Gamma", 3}, {"Delta", 4}});
        ASSERT_NO_FATAL_FAILURE(WriteBytes(m_ini, bytes));
        std::vector<std::string> flags = AllFlags();
        ASSERT_NO_FATAL_FAILURE(Start());
        RemoteListView list(m_hList);
        ASSERT_EQ(4, list.Count());

        list.SetChecked(0, false);
        list.SetChecked(2, true);
        list.SetChecked(3, true);
        ASSERT_NO_FATAL_FAILURE(DeleteRow(list, 1));
        if (way == 0)
            PostCommand(m_hMain, IDCANCEL);
        else if (way == 1)
            PostKey(m_hList, VK_ESCAPE);
        else
            PostMessageA(m_hMain, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_NO_FATAL_FAILURE(ExpectExit());

        EXPECT_EQ(bytes, ReadBytes(m_ini));
        EXPECT_EQ(flags, AllFlags()); // a missing key stays missing, too
    }
}

TEST_F(EndToEnd, CommandLineIsIgnored) {
    // A list file named on the command line is neither read nor written.
    std::string decoy = m_dir + "\\Decoy.ini";
    std::string decoyBytes = ListFile({{"Decoy", 7}});
    ASSERT_NO_FATAL_FAILURE(WriteBytes(decoy, decoyBytes));
    Names prepared = {{"Alpha", 1}, {"Beta", 2}};
    ASSERT_NO_FATAL_FAILURE(WriteBytes(m_ini, ListFile(prepared)));
    ASSERT_NO_FATAL_FAILURE(Start("/uninstall \"" + decoy + "\" -s Decoy.ini"));
    RemoteListView list(m_hList);
    ASSERT_EQ(std::vector<std::string>({Row("Alpha", 1, false), Row("Beta", 2, false)}),
              Rows(list));
    list.SetChecked(1, true);

    PostCommand(m_hMain, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());

    ExpectListFile(m_ini, prepared);
    EXPECT_EQ(Dword(0), Flags(1));
    EXPECT_EQ(Dword(0x400), Flags(2));
    EXPECT_EQ(decoyBytes, ReadBytes(decoy));
    EXPECT_EQ("no key", Flags(7));
}

// GBK: the head of the report of a failed save, and two of its details.
const char kSaveFailed[] = "\xB1\xA3\xB4\xE6\xCA\xA7\xB0\xDC";
const char kOneRegistryValue[] =
    "\xD3\xD0 1 \xB8\xF6\xD7\xA2\xB2\xE1\xB1\xED\xD6\xB5\xCE\xDE\xB7\xA8\xD0\xB4\xC8\xEB";
const char kListFileNotWritten[] =
    "\xCE\xDE\xB7\xA8\xD0\xB4\xC8\xEB\xC1\xD0\xB1\xED\xCE\xC4\xBC\xFE";

TEST_F(EndToEnd, AFailedRegistryWriteIsReportedAndTheEditsStayForAnotherTry) {
    // A CLSID text this long gives a key name that the registry refuses.
    const std::string tooLong(300, 'A');
    WriteBytes(m_ini, "[Setting]\r\nN0=good\r\nS0=" + Clsid(1) + "\r\nN1=long\r\nS1=" + tooLong +
                          "\r\n\r\n" + kOtherSection);
    ASSERT_NO_FATAL_FAILURE(Start());
    RemoteListView list(m_hList);
    ASSERT_EQ(2, list.Count());
    list.SetChecked(0, true);

    PostCommand(m_hMain, IDOK);
    std::string report = AnswerMessageBox(m_pi.dwProcessId, m_hMain);
    EXPECT_EQ(0u, report.find(kSaveFailed)) << report;
    EXPECT_NE(std::string::npos, report.find(kOneRegistryValue)) << report;
    EXPECT_EQ(std::string::npos, report.find(kListFileNotWritten)) << report;
    ASSERT_TRUE(IsWindow(m_hMain)) << "the dialog closed after a failed save";
    EXPECT_EQ(std::vector<std::string>({Row("good", 1, true), "long | " + tooLong + " | clear"}),
              Rows(list));

    // Without the faulty row the same OK commits everything and closes.
    ASSERT_NO_FATAL_FAILURE(DeleteRow(list, 1));
    PostCommand(m_hMain, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());
    ExpectListFile(m_ini, Names({{"good", 1}}));
    EXPECT_EQ("0x00000400", Flags(1));
}

TEST_F(EndToEnd, AListFileThatCannotBeWrittenIsReportedUntilItCan) {
    // The list file's name is taken by a directory.
    ASSERT_TRUE(CreateDirectoryA(m_ini.c_str(), NULL));
    ASSERT_NO_FATAL_FAILURE(Start());
    RemoteListView list(m_hList);
    ASSERT_NO_FATAL_FAILURE(TypeNewEntry("new", Clsid(2)));
    ASSERT_TRUE(Eventually([&] { return list.Count() == 1; }));

    PostCommand(m_hMain, IDOK);
    std::string report = AnswerMessageBox(m_pi.dwProcessId, m_hMain);
    EXPECT_EQ(0u, report.find(kSaveFailed)) << report;
    EXPECT_NE(std::string::npos, report.find(kListFileNotWritten + std::string(" ") + m_ini))
        << report;
    ASSERT_TRUE(IsWindow(m_hMain)) << "the dialog closed after a failed save";
    EXPECT_EQ(1, list.Count());

    ASSERT_TRUE(RemoveDirectoryA(m_ini.c_str()));
    PostCommand(m_hMain, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());
    EXPECT_EQ("new", Profile(m_ini, "Setting", "N0"));
    EXPECT_EQ(Clsid(2), Profile(m_ini, "Setting", "S0"));
    EXPECT_EQ("0x00000000", Flags(2));
}

} // namespace
