// Runs the built Quellbox.exe as its own process from a scratch directory, drives its dialogs
// with window messages from here, and reads back what it left in its list file and in the
// registry once it has exited.
#include "storage/StorageTestSupport.h"
#include "support/WindowDriver.h"

#include <windows.h>

#include <gtest/gtest.h>

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
const int kGroup = 3, kLastKey = 9; // TestClsid(kGroup, 1) to (kGroup, 9) belong to this test

// GBK texts: "test" and "new control" in Chinese, and the refusal of a CLSID listed already.
const char kTestName[] = "\xB2\xE2\xCA\xD4";
const char kNewName[] = "\xD0\xC2\xBF\xD8\xBC\xFE";
const char kClsidExists[] =
    "\xCD\xAC\xD1\xF9\xB5\xC4 CLSID \xD2\xD1\xBE\xAD\xB4\xE6\xD4\xDA\xC1\xCB !";

// Another tool's section: the program must keep it byte for byte, spaces and comment included.
const char kOtherSection[] = "[Other]\r\nColor=blue\r\n; keep me\r\nSize = 12 \r\n";

std::string Clsid(int n) { return TestClsid(kGroup, n); }

typedef std::vector<std::pair<std::string, int>> Names; // name and CLSID number, in order

// The rows in [Setting], then after a gap a name without its CLSID, which is no row and which
// saving drops, then the other tool's section.
std::string ListFile(const Names& rows) {
    NamedClsids entries;
    for (const auto& row : rows)
        entries.push_back({row.first, Clsid(row.second)});
    const std::string gap = std::to_string(rows.size() + 1);
    return ListFileText(entries) + "N" + gap + "=Stale\r\nS" + gap + "= \r\n\r\n" + kOtherSection;
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
    EXPECT_NE(std::string::npos, ReadFileBytes(path).find(kOtherSection)) << ReadFileBytes(path);
    EXPECT_EQ("blue", Profile(path, "Other", "Color"));
}

ListRow Row(const std::string& name, int n, bool bTicked) { return {name, Clsid(n), bTicked}; }

// The program handles posted input later; this waits until it shows the result.
bool Eventually(const std::function<bool()>& done) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(20)) {
        if (done())
            return true;
    }
    return done();
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteTestClsidKeys(kGroup, kLastKey);
        const std::string built = BuiltProgramPath("QUELLBOX_EXE");
        ASSERT_FALSE(built.empty()) << "QUELLBOX_EXE is not set";
        ASSERT_TRUE(CopyFileA(built.c_str(), m_exe.c_str(), FALSE)) << built;
    }

    // The process goes first: its executable and list file are in the scratch directory.
    void TearDown() override {
        EndProcess();
        DeleteTestClsidKeys(kGroup, kLastKey);
    }

    void Start(const std::string& args = std::string()) {
        std::string line = "\"" + m_exe + "\"" + (args.empty() ? "" : " " + args);
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        ASSERT_TRUE(CreateProcessA(m_exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL,
                                   m_dir.Path().c_str(), &si, &m_pi))
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

    ScratchDir m_dir;
    std::string m_ini = m_dir.Path("Quellbox.ini");
    std::string m_exe = m_dir.Path("Quellbox.exe");
    PROCESS_INFORMATION m_pi = {};
    HWND m_hMain = NULL;
    HWND m_hList = NULL;
};

TEST_F(EndToEnd, EditSessionEndedWithOkIsSavedInDisplayOrderWithKillBits) {
    SetFlags(Clsid(1), 0x400);
    SetFlags(Clsid(2), 0x401);
    SetFlags(Clsid(3), 0);
    SetFlags(Clsid(5), 0x400);
    SetFlags(Clsid(6), 0x402);
    Names prepared = {{"Alpha", 1}, {"Beta", 2}, {kTestName, 3}, {"Delta", 4}, {"Echo", 5}};
    ASSERT_NO_FATAL_FAILURE(WriteFileBytes(m_ini, ListFile(prepared)));
    ASSERT_NO_FATAL_FAILURE(Start());
    RemoteListView list(m_hList);

    // Only the kill bit ticks a box; 0 and a missing key both leave it clear.
    std::vector<ListRow> rows = {Row("Alpha", 1, true), Row("Beta", 2, true),
                                 Row(kTestName, 3, false), Row("Delta", 4, false),
                                 Row("Echo", 5, true)};
    ASSERT_EQ(rows, ReadRows(list));

    ASSERT_NO_FATAL_FAILURE(TypeNewEntry(kNewName, "5e5e0003-0000-0000-0000-000000000006"));
    ASSERT_TRUE(Eventually([&] { return list.Count() == 6; }));
    rows.push_back(Row(kNewName, 6, true));
    EXPECT_EQ(rows, ReadRows(list));

    ASSERT_NO_FATAL_FAILURE(TypeNewEntry("Dup", "5e5e0003-0000-0000-0000-000000000002"));
    EXPECT_EQ(kClsidExists, AnswerMessageBox(m_pi.dwProcessId, m_hMain));
    EXPECT_EQ(rows, ReadRows(list));

    list.SetChecked(2, true);
    list.SetChecked(1, false);
    ASSERT_NO_FATAL_FAILURE(DeleteRow(list, 4));
    EXPECT_EQ(4, list.Selected());

    list.Select(3);
    ASSERT_NO_FATAL_FAILURE(ClickSpinArrow(GetDlgItem(m_hMain, kSpin), true));
    ASSERT_TRUE(Eventually([&] { return list.Text(2, 0) == "Delta"; })) << list.Text(2, 0);
    rows = {Row("Alpha", 1, true), Row("Beta", 2, false), Row("Delta", 4, false),
            Row(kTestName, 3, true), Row(kNewName, 6, true)};
    EXPECT_EQ(rows, ReadRows(list));

    PostCommand(m_hMain, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());

    ExpectListFile(m_ini, {{"Alpha", 1}, {"Beta", 2}, {"Delta", 4}, {kTestName, 3}, {kNewName, 6}});
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(1)));
    EXPECT_EQ("0x00000001", DescribeFlags(Clsid(2))); // only the kill bit goes
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(3)));
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(4))); // a clear row leaves an explicit 0
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(5))); // deleting a row does not unblock its control
    EXPECT_EQ("0x00000402", DescribeFlags(Clsid(6)));
}

TEST_F(EndToEnd, EnterInTheListCommitsAndClosesLikeOk) {
    SetFlags(Clsid(1), 0x400);
    Names prepared = {{"Alpha", 1}, {"Beta", 2}};
    ASSERT_NO_FATAL_FAILURE(WriteFileBytes(m_ini, ListFile(prepared)));
    ASSERT_NO_FATAL_FAILURE(Start());
    RemoteListView list(m_hList);
    ASSERT_EQ(2, list.Count());
    list.SetChecked(0, false);
    list.SetChecked(1, true);
    ASSERT_EQ(m_hList, FocusedWindow(m_hMain));

    PostKey(m_hList, VK_RETURN);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());

    ExpectListFile(m_ini, prepared);
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(1)));
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(2)));
}

TEST_F(EndToEnd, CancelEscAndCloseBoxWriteNothing) {
    for (const CancelWay& way : kCancelWays) {
        SCOPED_TRACE(way.pszWhat);
        DeleteTestClsidKeys(kGroup, kLastKey);
        SetFlags(Clsid(1), 0x400);
        SetFlags(Clsid(2), 0x401);
        SetFlags(Clsid(4), 0);
        std::string bytes = ListFile({{"Alpha", 1}, {"Beta", 2}, {"Gamma", 3}, {"Delta", 4}});
        ASSERT_NO_FATAL_FAILURE(WriteFileBytes(m_ini, bytes));
        std::vector<std::string> flags = DescribeTestClsidFlags(kGroup, kLastKey);
        ASSERT_NO_FATAL_FAILURE(Start());
        RemoteListView list(m_hList);
        ASSERT_EQ(4, list.Count());

        list.SetChecked(0, false);
        list.SetChecked(2, true);
        list.SetChecked(3, true);
        ASSERT_NO_FATAL_FAILURE(DeleteRow(list, 1));
        way.post(m_hMain, m_hList);
        ASSERT_NO_FATAL_FAILURE(ExpectExit());

        EXPECT_EQ(bytes, ReadFileBytes(m_ini));
        // A missing key stays missing, too.
        EXPECT_EQ(flags, DescribeTestClsidFlags(kGroup, kLastKey));
    }
}

// quellctl changes the list and a kill bit while the dialog is open: OK keeps what it listed and
// what it blocked, after the dialog's own rows, and says how many it kept.
TEST_F(EndToEnd, OkKeepsWhatAnotherProgramListedAndBlockedMeanwhile) {
    ASSERT_NO_FATAL_FAILURE(
        WriteFileBytes(m_ini, ListFile({{"Alpha", 1}, {"Beta", 2}, {"Gamma", 3}})));
    ASSERT_NO_FATAL_FAILURE(Start());
    RemoteListView list(m_hList);
    const std::string more = m_dir.Path("more.txt");
    WriteFileBytes(more, Clsid(5) + " Fifth\r\n");
    for (const std::string& args :
         {"block --add Fourth " + Clsid(4), "import \"" + more + "\"", "block " + Clsid(2)}) {
        Outcome o = RunProcess("\"" + QuellctlExe() + "\" --ini \"" + m_ini + "\" " + args);
        ASSERT_EQ(0u, o.code) << args << ": " << o.err;
    }
    list.SetChecked(0, true);
    ASSERT_NO_FATAL_FAILURE(DeleteRow(list, 2));
    PostCommand(m_hMain, IDOK);
    EXPECT_NE(std::string::npos, AnswerMessageBox(m_pi.dwProcessId, m_hMain).find(" 2 "));
    ASSERT_NO_FATAL_FAILURE(ExpectExit());

    ExpectListFile(m_ini, {{"Alpha", 1}, {"Beta", 2}, {"Fourth", 4}, {"Fifth", 5}});
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(1))); // the user's tick
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(2))); // quellctl's, under a box left as it was
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(4)));
    EXPECT_EQ("no key", DescribeFlags(Clsid(5))); // neither the import nor OK sets it
}

TEST_F(EndToEnd, CommandLineIsIgnored) {
    // A list file named on the command line is neither read nor written.
    std::string decoy = m_dir.Path("Decoy.ini");
    std::string decoyBytes = ListFile({{"Decoy", 7}});
    ASSERT_NO_FATAL_FAILURE(WriteFileBytes(decoy, decoyBytes));
    Names prepared = {{"Alpha", 1}, {"Beta", 2}};
    ASSERT_NO_FATAL_FAILURE(WriteFileBytes(m_ini, ListFile(prepared)));
    ASSERT_NO_FATAL_FAILURE(Start("/uninstall \"" + decoy + "\" -s Decoy.ini"));
    RemoteListView list(m_hList);
    ASSERT_EQ(std::vector<ListRow>({Row("Alpha", 1, false), Row("Beta", 2, false)}),
              ReadRows(list));
    list.SetChecked(1, true);

    PostCommand(m_hMain, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());

    ExpectListFile(m_ini, prepared);
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(1)));
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(2)));
    EXPECT_EQ(decoyBytes, ReadFileBytes(decoy));
    EXPECT_EQ("no key", DescribeFlags(Clsid(7)));
}

// GBK: the head of the report of a failed save, and its details: the list file saved or not,
// the controls whose state the registry refused, or all of them written.
const char kSaveFailed[] = "\xD0\xDE\xB8\xC4\xC3\xBB\xD3\xD0\xC8\xAB\xB2\xBF\xB1\xA3\xB4\xE6";
const char kListFile[] = "\xC1\xD0\xB1\xED\xCE\xC4\xBC\xFE ";
const char kSaved[] = " \xD2\xD1\xBE\xAD\xB1\xA3\xB4\xE6.";
const char kNotSaved[] = " \xC3\xBB\xD3\xD0\xB1\xA3\xB4\xE6: ";
const char kOneControlNotWritten[] = "\xD3\xD0 1 \xB8\xF6\xBF\xD8\xBC\xFE\xB5\xC4\xBD\xFB\xD3\xC3"
                                     "\xD7\xB4\xCC\xAC\xC3\xBB\xD3\xD0\xD0\xB4\xC8\xEB"
                                     "\xD7\xA2\xB2\xE1\xB1\xED: ";
const char kAllWritten[] = "\xCB\xF9\xD3\xD0\xBF\xD8\xBC\xFE\xB5\xC4\xBD\xFB\xD3\xC3\xD7\xB4"
                           "\xCC\xAC\xB6\xBC\xD2\xD1\xD0\xB4\xC8\xEB\xD7\xA2\xB2\xE1\xB1\xED.";

TEST_F(EndToEnd, AFailedRegistryWriteIsReportedAndTheEditsStayForAnotherTry) {
    // A CLSID text this long gives a key name that the registry refuses.
    const std::string tooLong(300, 'A');
    WriteFileBytes(m_ini,
                   ListFileText({{"good", Clsid(1)}, {"long", tooLong}}) + "\r\n" + kOtherSection);
    ASSERT_NO_FATAL_FAILURE(Start());
    RemoteListView list(m_hList);
    ASSERT_EQ(2, list.Count());
    list.SetChecked(0, true);

    PostCommand(m_hMain, IDOK);
    std::string report = AnswerMessageBox(m_pi.dwProcessId, m_hMain);
    // The message names what is saved already and what is not.
    EXPECT_EQ(0u, report.find(kSaveFailed)) << report;
    EXPECT_NE(std::string::npos, report.find(kListFile + m_ini + kSaved)) << report;
    EXPECT_NE(std::string::npos, report.find(kOneControlNotWritten + std::string("long")))
        << report;
    ASSERT_TRUE(IsWindow(m_hMain)) << "the dialog closed after a failed save";
    EXPECT_EQ(std::vector<ListRow>({Row("good", 1, true), {"long", tooLong, false}}),
              ReadRows(list));

    // Without the faulty row the same OK commits everything and closes.
    ASSERT_NO_FATAL_FAILURE(DeleteRow(list, 1));
    PostCommand(m_hMain, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());
    ExpectListFile(m_ini, Names({{"good", 1}}));
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(1)));
}

TEST_F(EndToEnd, AListFileThatCannotBeWrittenIsReportedUntilItCan) {
    // Once the empty list is shown, the list file's name is taken by a directory (one there
    // at the start is a list file that cannot be read, and the list is never shown).
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(CreateDirectoryA(m_ini.c_str(), NULL));
    RemoteListView list(m_hList);
    ASSERT_NO_FATAL_FAILURE(TypeNewEntry("new", Clsid(2)));
    ASSERT_TRUE(Eventually([&] { return list.Count() == 1; }));

    PostCommand(m_hMain, IDOK);
    std::string report = AnswerMessageBox(m_pi.dwProcessId, m_hMain);
    EXPECT_EQ(0u, report.find(kSaveFailed)) << report;
    EXPECT_NE(std::string::npos, report.find(kListFile + m_ini + kNotSaved)) << report;
    EXPECT_NE(std::string::npos, report.find(kAllWritten)) << report;
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(2))) << "written, as the message says";
    ASSERT_TRUE(IsWindow(m_hMain)) << "the dialog closed after a failed save";
    EXPECT_EQ(1, list.Count());

    ASSERT_TRUE(RemoveDirectoryA(m_ini.c_str()));
    PostCommand(m_hMain, IDOK);
    ASSERT_NO_FATAL_FAILURE(ExpectExit());
    EXPECT_EQ("new", Profile(m_ini, "Setting", "N0"));
    EXPECT_EQ(Clsid(2), Profile(m_ini, "Setting", "S0"));
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(2)));
}

} // namespace
