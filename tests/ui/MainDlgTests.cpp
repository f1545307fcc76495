// The main dialog run modally on the test thread with a list file and registry values of the
// test's own, and worked from a second thread with real window messages.
#include "framework/String.h"
#include "framework/WinApp.h"
#include "storage/StorageTestSupport.h"
#include "support/DialogHarness.h"
#include "support/WindowDriver.h"
#include "ui/QuellboxDlg.h"
#include "ui/resource.h"

#include <commctrl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Only CLSIDs of this group are written: nothing else in the registry is touched.
const int kGroup = 2, kLastClsid = 20;
std::string Clsid(int n) { return TestClsid(kGroup, n); }

std::string Lower(std::string text) {
    for (char& ch : text)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return text;
}

HWND List(HWND hMain) { return GetDlgItem(hMain, IDC_LIST); }

std::vector<ListRow> Rows(HWND hMain) { return ReadRows(RemoteListView(List(hMain))); }

int Selected(HWND hMain) { return RemoteListView(List(hMain)).Selected(); }

// What a click on a button that opens nothing does: the button sends the command.
void SendCommand(HWND hDlg, int nID) {
    SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hDlg, nID)));
}

// Returns once the dialog's thread has handled every message posted before: a selection
// posted to the info text is handled after them.
void Flush(HWND hMain) {
    static int nMark = 0;
    nMark = nMark % 50 + 1;
    HWND hInfo = GetDlgItem(hMain, IDC_INFO);
    PostMessageA(hInfo, EM_SETSEL, nMark, nMark);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(10)) {
        DWORD dwFrom = 0;
        SendMessageA(hInfo, EM_GETSEL, reinterpret_cast<WPARAM>(&dwFrom), 0);
        if (dwFrom == static_cast<DWORD>(nMark))
            return;
    }
    ADD_FAILURE() << "the dialog did not handle its messages";
}

// A click on the upper (up) or lower (down) arrow of the up-down control, handled.
void ClickSpin(HWND hMain, bool bUp) {
    ClickSpinArrow(GetDlgItem(hMain, IDC_SPIN), bUp);
    Flush(hMain);
}

// Presses New or Edit and returns the input dialog it opened, or NULL.
HWND OpenInput(HWND hMain, int nID) {
    PostCommand(hMain, nID);
    return WaitForWindow(0, "#32770", hMain);
}

// The same with a key pressed in the list: Insert for New, F2 for Edit.
HWND OpenInputByKey(HWND hMain, UINT vk) {
    PostKey(List(hMain), vk);
    return WaitForWindow(0, "#32770", hMain);
}

// Presses the input dialog's OK or Cancel and waits until the main dialog has taken the result.
void CloseInput(HWND hMain, HWND hInput, int nID) {
    PostCommand(hInput, nID);
    EXPECT_TRUE(WaitForDestroyed(hInput));
    Flush(hMain);
}

// Types into the input dialog and presses its OK.
void SubmitInput(HWND hMain, HWND hInput, const std::string& strName, const std::string& strClsid) {
    SetControlText(hInput, IDC_NAME, strName);
    SetControlText(hInput, IDC_CLSID, strClsid);
    CloseInput(hMain, hInput, IDOK);
}

// Ends the main dialog with Cancel and checks that nothing kept it open.
void Cancel(HWND hMain) {
    PostCommand(hMain, IDCANCEL);
    EXPECT_TRUE(WaitForDestroyed(hMain));
}

// Presses OK: empty once the dialog has closed, else the text of the message that kept it
// open, answered.
std::string Commit(HWND hMain) {
    PostCommand(hMain, IDOK);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(20)) {
        if (!IsWindow(hMain))
            return std::string();
        HWND hBox = OwnedDialog(hMain);
        if (hBox != NULL && IsWindowVisible(hBox)) {
            std::string text = MessageBoxText(hBox);
            PostCommand(hBox, IDOK);
            EXPECT_TRUE(WaitForDestroyed(hBox));
            Flush(hMain);
            return text;
        }
    }
    ADD_FAILURE() << "the dialog neither closed nor said why";
    return std::string();
}

struct OtherDialogSearch {
    HWND hExcept, hFound;
};

BOOL CALLBACK FindOtherDialog(HWND hWnd, LPARAM lParam) {
    OtherDialogSearch* p = reinterpret_cast<OtherDialogSearch*>(lParam);
    char cls[16] = "";
    GetClassNameA(hWnd, cls, sizeof(cls));
    if (hWnd == p->hExcept || lstrcmpA(cls, "#32770") != 0)
        return TRUE;
    p->hFound = hWnd;
    return FALSE;
}

// The main dialog while its list is being read, before it is shown: the other dialog of the
// thread that shows hBox.
HWND HiddenMainDialog(HWND hBox) {
    OtherDialogSearch search = {hBox, NULL};
    EnumThreadWindows(GetWindowThreadProcessId(hBox, NULL), FindOtherDialog,
                      reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

// What the list asks its parent for when the pointer rests on a row, as the list sends it,
// with a buffer of cchMax bytes and a guard byte after it. dwFlags 0: the row's name is cut off.
std::string InfoTip(HWND hMain, int nItem, int cchMax = 1024, DWORD dwFlags = LVGIT_UNFOLDED) {
    std::vector<char> buffer(cchMax + 2, '\0');
    buffer[cchMax] = '\x7F';
    NMLVGETINFOTIPA tip = {};
    tip.hdr.hwndFrom = List(hMain);
    tip.hdr.idFrom = IDC_LIST;
    tip.hdr.code = LVN_GETINFOTIPA;
    tip.dwFlags = dwFlags;
    tip.pszText = &buffer[0];
    tip.cchTextMax = cchMax;
    tip.iItem = nItem;
    SendMessageA(hMain, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&tip));
    EXPECT_EQ('\x7F', buffer[cchMax]) << "written beyond cchTextMax";
    return std::string(&buffer[0]);
}

// A string of the program's string table filled in as the dialog fills it.
std::string Format(UINT nID, ...) {
    CString format;
    format.LoadString(nID);
    va_list args;
    va_start(args, nID);
    std::vector<char> text(4096);
    vsnprintf(&text[0], text.size(), format, args);
    va_end(args);
    return std::string(&text[0]);
}

// A COM class of the test's own under HKEY_CLASSES_ROOT\CLSID, removed again.
class RegisteredClass {
public:
    RegisteredClass(const std::string& clsid, const std::string& name, const std::string& server)
        : m_key("CLSID\\{" + clsid + "}") {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, m_key.c_str());
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueA(HKEY_CLASSES_ROOT, m_key.c_str(), REG_SZ,
                                              name.c_str(), static_cast<DWORD>(name.size())));
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueA(HKEY_CLASSES_ROOT, (m_key + "\\InprocServer32").c_str(), REG_SZ,
                               server.c_str(), static_cast<DWORD>(server.size())));
    }
    ~RegisteredClass() {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, m_key.c_str());
        RegDeleteKeyA(HKEY_CLASSES_ROOT, m_key.c_str());
    }

private:
    std::string m_key;
};

class MainDlgFixture : public testing::Test {
protected:
    void SetUp() override {
        DeleteTestClsidKeys(kGroup, kLastClsid);
        m_app.m_pszProfileName = _strdup(m_strIni.c_str());
    }
    void TearDown() override { DeleteTestClsidKeys(kGroup, kLastClsid); }

    void WriteList(const std::string& bytes) { WriteFileBytes(m_strIni, bytes); }

    // The lines "key=value" of a section, in file order, as Windows reads them.
    std::vector<std::string> Section(const char* pszSection) const {
        std::vector<char> buffer(32768);
        DWORD n = GetPrivateProfileSectionA(pszSection, &buffer[0],
                                            static_cast<DWORD>(buffer.size()), m_strIni.c_str());
        std::vector<std::string> lines;
        for (DWORD i = 0; i < n; i += static_cast<DWORD>(lines.back().size()) + 1)
            lines.push_back(&buffer[i]);
        return lines;
    }

    INT_PTR RunMain(const std::function<void(HWND hMain)>& drive) {
        CQuellboxDlg dlg;
        // As the program does: the input dialogs and message boxes are owned by the main one.
        m_app.m_pMainWnd = &dlg;
        INT_PTR nResult = RunModal(dlg, "the main dialog did not appear", drive);
        m_app.m_pMainWnd = NULL;
        return nResult;
    }

    ScratchDir m_dir;
    std::string m_strIni = m_dir.Path("Quellbox.ini");
    CWinApp m_app{"Quellbox"};
};

class MainDlgLoad : public MainDlgFixture {};
class MainDlgNew : public MainDlgFixture {};
class MainDlgEdit : public MainDlgFixture {};
class MainDlgDelete : public MainDlgFixture {};
class MainDlgMove : public MainDlgFixture {};

TEST_F(MainDlgLoad, RowsFollowTheFileAndBoxesTheKillBit) {
    const BYTE twoBytes[2] = {0x00, 0x04};
    SetFlags(Clsid(1), 0x400);
    SetFlags(Clsid(2), 0x401);
    SetFlags(Clsid(3), 0);
    SetFlags(Clsid(5), REG_BINARY, twoBytes, sizeof(twoBytes));
    // Blocked in one view only, where there are two: the control still loads in the other.
    const bool bTwoViews = HasTwoRegistryViews();
    SetFlags(Clsid(6), bTwoViews ? 0 : 0x400);
    SetFlags(Clsid(6), 0x400, bTwoViews ? KEY_WOW64_32KEY : kOwnView);
    SetFlags(Clsid(7), 0x400);
    // N6 without its S6 is no row; the entry after it is.
    WriteList(ListFileText({{"One", Clsid(1)},
                            {"\xC3\xFB\xD7\xD6", Clsid(2)},
                            {"Three", Clsid(3)},
                            {"Four", Clsid(4)},
                            {"Five", Clsid(5)},
                            {"Six", Clsid(6)}}) +
              "N6=Seven\r\nN7=Eight\r\nS7=" + Clsid(7) + "\r\n");
    std::vector<ListRow> rows;
    int nSelected = 0;
    RunMain([&](HWND hMain) {
        rows = Rows(hMain);
        nSelected = Selected(hMain);
        Cancel(hMain);
    });
    const std::vector<ListRow> expected = {
        {"One", Clsid(1), true},    {"\xC3\xFB\xD7\xD6", Clsid(2), true},
        {"Three", Clsid(3), false}, {"Four", Clsid(4), false},
        {"Five", Clsid(5), false},  {"Six", Clsid(6), !bTwoViews},
        {"Eight", Clsid(7), true}};
    EXPECT_EQ(expected, rows);
    EXPECT_EQ(-1, nSelected);
    // Showing the list writes nothing.
    EXPECT_EQ("no key", DescribeFlags(Clsid(4)));
}

TEST(MainDlgColumns, WidthsAreTheFixedOnesAt96DpiAndKeepTheirProportionsAtOthers) {
    const ListColumnWidths at96 = GetListColumnWidths(400, 96);
    EXPECT_EQ(140, at96.nName);
    EXPECT_EQ(400 - 160, at96.nClsid);
    // At 150% the template, and with it the list, is half as wide again.
    const ListColumnWidths at144 = GetListColumnWidths(600, 144);
    EXPECT_EQ(210, at144.nName);
    EXPECT_EQ(600 - 240, at144.nClsid);
}

TEST_F(MainDlgLoad, ListHasItsColumnsStyleAndTheInfoText) {
    int nWidth0 = 0, nWidth1 = 0, nListWidth = 0, nDpi = 0;
    DWORD dwExStyle = 0;
    std::string strHeading0, strHeading1, strInfo;
    RunMain([&](HWND hMain) {
        HWND hList = List(hMain);
        nWidth0 = static_cast<int>(SendMessageA(hList, LVM_GETCOLUMNWIDTH, 0, 0));
        nWidth1 = static_cast<int>(SendMessageA(hList, LVM_GETCOLUMNWIDTH, 1, 0));
        RECT rect;
        GetWindowRect(hList, &rect);
        nListWidth = rect.right - rect.left;
        HDC hDC = GetDC(hMain);
        nDpi = GetDeviceCaps(hDC, LOGPIXELSX);
        ReleaseDC(hMain, hDC);
        dwExStyle = static_cast<DWORD>(SendMessageA(hList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        // Same process: the list can write into this thread's buffer.
        for (int i = 0; i < 2; ++i) {
            char text[64] = "";
            LVCOLUMNA column = {};
            column.mask = LVCF_TEXT;
            column.pszText = text;
            column.cchTextMax = sizeof(text);
            SendMessageA(hList, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
            (i == 0 ? strHeading0 : strHeading1) = text;
        }
        strInfo = WindowText(GetDlgItem(hMain, IDC_INFO));
        Cancel(hMain);
    });
    EXPECT_EQ(MulDiv(140, nDpi, 96), nWidth0) << nDpi << " DPI";
    EXPECT_EQ(nListWidth - MulDiv(160, nDpi, 96), nWidth1) << nDpi << " DPI";
    const DWORD dwWanted =
        LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
    EXPECT_EQ(dwWanted, dwExStyle & dwWanted);
    EXPECT_EQ(LoadText(IDS_COL_NAME), strHeading0);
    EXPECT_EQ(LoadText(IDS_COL_CLSID), strHeading1);
    EXPECT_EQ(LoadText(IDS_INFO), strInfo);
}

TEST_F(MainDlgLoad, AListFileInUseIsNamedAndReadAgainOnRetry) {
    WriteList(ListFileText({{"One", Clsid(1)}, {"Two", Clsid(2)}}));
    // Another program holds the file open without sharing it.
    HANDLE hLock = CreateFileA(m_strIni.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hLock);
    std::string strText;
    bool bRetryCancel = false, bHidden = false;
    std::vector<ListRow> rows;
    RunMain([&](HWND hBox) {
        // Nothing is shown before the list is read: the first window is the message.
        strText = MessageBoxText(hBox);
        bRetryCancel = GetDlgItem(hBox, IDRETRY) != NULL && GetDlgItem(hBox, IDCANCEL) != NULL;
        HWND hMain = HiddenMainDialog(hBox);
        bHidden = hMain != NULL && !IsWindowVisible(hMain);
        CloseHandle(hLock);
        hLock = INVALID_HANDLE_VALUE;
        PostCommand(hBox, IDRETRY);
        ASSERT_TRUE(WaitForDestroyed(hBox));
        ASSERT_EQ(hMain, WaitForWindow(0, "#32770"));
        rows = Rows(hMain);
        Cancel(hMain);
    });
    if (hLock != INVALID_HANDLE_VALUE)
        CloseHandle(hLock);
    EXPECT_EQ(Format(IDS_LOAD_FAILED, m_strIni.c_str(),
                     static_cast<LPCSTR>(AfxGetSystemMessage(ERROR_SHARING_VIOLATION))),
              strText);
    EXPECT_TRUE(bRetryCancel);
    EXPECT_TRUE(bHidden);
    EXPECT_EQ((std::vector<ListRow>{{"One", Clsid(1), false}, {"Two", Clsid(2), false}}), rows);
}

TEST_F(MainDlgLoad, CancelOnAListFileInUseEndsTheDialogWritingNothing) {
    SetFlags(Clsid(1), 0x400);
    WriteList(ListFileText({{"One", Clsid(1)}, {"Two", Clsid(2)}}));
    const std::string strBefore = ReadFileBytes(m_strIni);
    const std::vector<std::string> flagsBefore = DescribeTestClsidFlags(kGroup, 2);
    HANDLE hLock = CreateFileA(m_strIni.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, hLock);
    INT_PTR nResult = RunMain([&](HWND hBox) {
        HWND hMain = HiddenMainDialog(hBox);
        ASSERT_TRUE(hMain != NULL);
        PostCommand(hBox, IDCANCEL);
        // It ends by itself, never shown.
        EXPECT_TRUE(WaitForDestroyed(hMain));
    });
    CloseHandle(hLock);
    EXPECT_EQ(IDCANCEL, nResult);
    EXPECT_EQ(strBefore, ReadFileBytes(m_strIni));
    EXPECT_EQ(flagsBefore, DescribeTestClsidFlags(kGroup, 2));
}

TEST_F(MainDlgLoad, InfoTipSaysWhatThisMachineKnowsOfTheRowsClsid) {
    // GBK: "test control".
    const std::string strClass = "\xB2\xE2\xCA\xD4\xBF\xD8\xBC\xFE";
    const std::string strServer = "C:\\Windows\\system32\\quellbox-test.ocx";
    RegisteredClass registered(Clsid(11), strClass, strServer);
    // Pages asking for the second row's control get the first's, which is blocked.
    const std::string strAlternate = "{" + Clsid(11) + "}";
    SetKillBitValue(Clsid(12), "AlternateCLSID", REG_SZ, strAlternate.c_str(),
                    static_cast<DWORD>(strAlternate.size() + 1));
    SetFlags(Clsid(11), 0x400);
    // The last row's control was killed by Microsoft in two documents.
    WriteList(ListFileText({{"Registered", Clsid(11)},
                            {"Unknown", Clsid(12)},
                            {"Killed", "31087270-d348-432c-899e-2d2f38ff29a0"}}));
    std::string strRegistered, strUnknown, strCut, strFolded, strKnown;
    const std::string strWhole = Format(IDS_TIP_REGISTERED, strClass.c_str(), strServer.c_str());
    // Room for everything up to the class name and the first byte of its first character.
    const int nClassAt = static_cast<int>(strWhole.find(strClass));
    RunMain([&](HWND hMain) {
        strRegistered = InfoTip(hMain, 0);
        strUnknown = InfoTip(hMain, 1);
        strCut = InfoTip(hMain, 0, nClassAt + 2);
        strFolded = InfoTip(hMain, 1, 1024, 0);
        strKnown = InfoTip(hMain, 2);
        Cancel(hMain);
    });
    EXPECT_EQ(LoadText(IDS_TIP_NOT_REGISTERED) + "\r\n" +
                  Format(IDS_TIP_KNOWN, "MS05-038, MS06-042"),
              strKnown);
    EXPECT_EQ(strWhole, strRegistered);
    const std::string strUnknownTip = LoadText(IDS_TIP_NOT_REGISTERED) + "\r\n" +
                                      Format(IDS_TIP_ALTERNATE_BLOCKED, Clsid(11).c_str());
    EXPECT_EQ(strUnknownTip, strUnknown);
    EXPECT_EQ(strWhole.substr(0, nClassAt), strCut) << "cut inside a double-byte character";
    EXPECT_EQ("Unknown\r\n" + strUnknownTip, strFolded);
}

// Where Chinese cannot be shown (a second run of these tests, in code page 1252): both dialogs,
// a message and an info tip in English, with no character become '?'.
TEST_F(MainDlgLoad, EnglishInCodePage1252) {
    ASSERT_EQ(1252u, GetACP());
    WriteList(ListFileText({{"One", Clsid(1)}}));
    std::vector<std::string> texts;
    RunMain([&](HWND hMain) {
        HWND hInput = OpenInput(hMain, IDC_NEW);
        // Each dialog's caption, then its controls' texts in tab order.
        for (HWND hDlg : {hMain, hInput}) {
            for (HWND h = hDlg; h != NULL; h = GetWindow(h, h == hDlg ? GW_CHILD : GW_HWNDNEXT))
                texts.push_back(WindowText(h));
        }
        SetControlText(hInput, IDC_CLSID, std::string(40, 'A'));
        PostCommand(hInput, IDOK);
        texts.push_back(AnswerMessageBox(0, hInput));
        texts.push_back(InfoTip(hMain, 0));
        CloseInput(hMain, hInput, IDCANCEL);
        Cancel(hMain);
    });
    // Printable ASCII and line breaks, the same in every code page, and no '?'.
    std::string english = "\r\n", joined;
    for (char ch = ' '; ch <= '~'; ++ch)
        english += ch == '?' ? ' ' : ch;
    for (const std::string& text : texts) {
        EXPECT_EQ(std::string::npos, text.find_first_not_of(english)) << text;
        joined += text + "|";
    }
    EXPECT_EQ("Quellbox (1.2 build 0114)|List1|&New|&Edit|&Delete|&OK|&Cancel|" +
                  LoadText(IDS_INFO) + "|Spin1|Control|||&OK|&Cancel|Name:|CLSID:|" +
                  Format(AFX_IDP_PARSE_STRING_SIZE, 36) + "|" + LoadText(IDS_TIP_NOT_REGISTERED) +
                  "|",
              joined);
}

// Rows 1..6 with flags of every kind; the session below changes each of them.
class MainDlgSave : public MainDlgFixture {
protected:
    void Prepare() {
        SetFlags(Clsid(1), 0x400);
        SetFlags(Clsid(2), 0x10401);
        SetFlags(Clsid(3), 0x3);
        SetFlags(Clsid(5), 0x400);
        SetFlags(Clsid(6), 0x400);
        WriteList("[Other]\r\nKeep=1\r\n" + ListFileText({{"A", Clsid(1)},
                                                          {"B", Clsid(2)},
                                                          {"C", Clsid(3)},
                                                          {"D", Clsid(4)},
                                                          {"E", Clsid(5)},
                                                          {"F", Clsid(6)}}));
    }

    // Clears A and B, ticks C, deletes F, moves E above D and adds G: A B C E D G.
    static void Change(HWND hMain) {
        RemoteListView list(List(hMain));
        list.SetChecked(0, false);
        list.SetChecked(1, false);
        list.SetChecked(2, true);
        list.Select(5);
        SendCommand(hMain, IDC_DELETE);
        list.Select(4);
        ClickSpin(hMain, true);
        HWND hInput = OpenInput(hMain, IDC_NEW);
        ASSERT_TRUE(hInput != NULL);
        SubmitInput(hMain, hInput, "G", Clsid(7));
        const std::vector<ListRow> expected = {{"A", Clsid(1), false}, {"B", Clsid(2), false},
                                               {"C", Clsid(3), true},  {"E", Clsid(5), true},
                                               {"D", Clsid(4), false}, {"G", Clsid(7), false}};
        EXPECT_EQ(expected, Rows(hMain));
    }
};

TEST_F(MainDlgSave, OkWritesTheRowsInDisplayOrderAndEachRowsKillBit) {
    Prepare();
    INT_PTR nResult = RunMain([&](HWND hMain) {
        Change(hMain);
        PostCommand(hMain, IDOK);
        EXPECT_TRUE(WaitForDestroyed(hMain));
    });
    EXPECT_EQ(IDOK, nResult);
    const std::vector<std::string> expected = {"N0=A", "S0=" + Clsid(1), "N1=B", "S1=" + Clsid(2),
                                               "N2=C", "S2=" + Clsid(3), "N3=E", "S3=" + Clsid(5),
                                               "N4=D", "S4=" + Clsid(4), "N5=G", "S5=" + Clsid(7)};
    EXPECT_EQ(expected, Section("Setting"));
    EXPECT_EQ(std::vector<std::string>{"Keep=1"}, Section("Other"));
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(1)));
    EXPECT_EQ("0x00010001", DescribeFlags(Clsid(2))) << "other bits are kept";
    EXPECT_EQ("0x00000403", DescribeFlags(Clsid(3)));
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(4))) << "a missing key is created";
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(5)));
    EXPECT_EQ("0x00000400", DescribeFlags(Clsid(6))) << "a deleted row keeps its kill bit";
    EXPECT_EQ("0x00000000", DescribeFlags(Clsid(7)));
}

TEST_F(MainDlgSave, CancelEscapeAndCloseBoxWriteNothing) {
    for (const CancelWay& way : kCancelWays) {
        SCOPED_TRACE(way.pszWhat);
        DeleteTestClsidKeys(kGroup, kLastClsid);
        Prepare();
        const std::string strBefore = ReadFileBytes(m_strIni);
        const std::vector<std::string> flagsBefore = DescribeTestClsidFlags(kGroup, 7);
        INT_PTR nResult = RunMain([&](HWND hMain) {
            Change(hMain);
            way.post(hMain, List(hMain));
            EXPECT_TRUE(WaitForDestroyed(hMain));
        });
        EXPECT_EQ(IDCANCEL, nResult);
        EXPECT_EQ(strBefore, ReadFileBytes(m_strIni));
        EXPECT_EQ(flagsBefore, DescribeTestClsidFlags(kGroup, 7));
    }
}

TEST_F(MainDlgSave, AStandardUserSavesWhatNeedsNoRegistryWriteAndIsToldOfTheRest) {
    SetFlags(Clsid(1), 0x400);
    SetFlags(Clsid(2), 0x3);
    SetFlags(Clsid(3), 0);
    WriteList(ListFileText({{"A", Clsid(1)}, {"B", Clsid(2)}, {"C", Clsid(3)}}));
    const std::vector<std::string> flags = DescribeTestClsidFlags(kGroup, 3);
    DenyKillBitWrites denyA(Clsid(1)), denyB(Clsid(2)), denyC(Clsid(3));
    auto order = [&](int a, int b, int c) {
        return std::vector<std::string>{"N0=" + std::string(1, 'A' + a - 1), "S0=" + Clsid(a),
                                        "N1=" + std::string(1, 'A' + b - 1), "S1=" + Clsid(b),
                                        "N2=" + std::string(1, 'A' + c - 1), "S2=" + Clsid(c)};
    };

    // Every value already holds its row's state: OK closes, as for an administrator.
    std::string strUnchanged = "not run", strMoved = "not run";
    INT_PTR nUnchanged = RunMain([&](HWND hMain) { strUnchanged = Commit(hMain); });
    INT_PTR nMoved = RunMain([&](HWND hMain) {
        RemoteListView(List(hMain)).Select(2);
        ClickSpin(hMain, true);
        strMoved = Commit(hMain);
    });
    EXPECT_EQ(IDOK, nUnchanged);
    EXPECT_EQ("", strUnchanged);
    EXPECT_EQ(IDOK, nMoved);
    EXPECT_EQ("", strMoved);
    EXPECT_EQ(order(1, 3, 2), Section("Setting"));

    // Ticking B needs a write, which is refused: the message says what is saved and what is
    // not, the dialog stays as edited, with the arrow again instead of the wait cursor, and
    // Cancel then takes back nothing that was saved.
    std::string strReport;
    std::vector<ListRow> rows;
    bool bArrow = false;
    INT_PTR nTicked = RunMain([&](HWND hMain) {
        RemoteListView list(List(hMain));
        list.SetChecked(2, true);
        list.Select(2);
        ClickSpin(hMain, true);
        // With this thread's input joined to the dialog's, both see one cursor.
        const DWORD dwThis = GetCurrentThreadId();
        const DWORD dwDialog = GetWindowThreadProcessId(hMain, NULL);
        AttachThreadInput(dwThis, dwDialog, TRUE);
        HCURSOR hArrow = LoadCursorA(NULL, IDC_ARROW);
        SetCursor(hArrow);
        strReport = Commit(hMain);
        bArrow = GetCursor() == hArrow;
        AttachThreadInput(dwThis, dwDialog, FALSE);
        rows = Rows(hMain);
        Cancel(hMain);
    });
    EXPECT_EQ(IDCANCEL, nTicked);
    const std::string strDetails =
        Format(IDS_SAVE_FILE_SAVED, m_strIni.c_str()) + Format(IDS_SAVE_REGISTRY_FAILED, 1, "B");
    EXPECT_EQ(Format(IDS_SAVE_FAILED, strDetails.c_str()), strReport);
    const std::vector<ListRow> expected = {
        {"A", Clsid(1), true}, {"B", Clsid(2), true}, {"C", Clsid(3), false}};
    EXPECT_EQ(expected, rows);
    EXPECT_TRUE(bArrow);
    EXPECT_EQ(order(1, 2, 3), Section("Setting"));
    EXPECT_EQ(flags, DescribeTestClsidFlags(kGroup, 3));
}

TEST_F(MainDlgNew, ClsidListedInOtherCaseIsRefused) {
    WriteList(ListFileText({{"One", Clsid(1)}}));
    std::string strCaption, strText;
    std::vector<ListRow> rows;
    RunMain([&](HWND hMain) {
        HWND hInput = OpenInput(hMain, IDC_NEW);
        ASSERT_TRUE(hInput != NULL);
        SetControlText(hInput, IDC_NAME, "Again");
        SetControlText(hInput, IDC_CLSID, Lower(Clsid(1)));
        // The message goes to the active window, as after a click on this program.
        SetForegroundWindow(hInput);
        PostCommand(hInput, IDOK);
        EXPECT_TRUE(WaitForDestroyed(hInput));
        HWND hBox = WaitForWindow(0, "#32770", hMain);
        ASSERT_TRUE(hBox != NULL);
        strCaption = WindowText(hBox);
        strText = MessageBoxText(hBox);
        PostCommand(hBox, IDOK);
        EXPECT_TRUE(WaitForDestroyed(hBox));
        Flush(hMain);
        rows = Rows(hMain);
        Cancel(hMain);
    });
    EXPECT_EQ(LoadText(IDS_CLSID_EXISTS), strText);
    EXPECT_EQ("Quellbox", strCaption);
    EXPECT_EQ((std::vector<ListRow>{{"One", Clsid(1), false}}), rows);
}

TEST_F(MainDlgNew, ClsidIsTrimmedAndUpperCased) {
    // A blank instead of the first character passes the input dialog's checks as typed.
    const std::string strTyped = " " + Lower(Clsid(10)).substr(1);
    std::vector<ListRow> rows;
    RunMain([&](HWND hMain) {
        HWND hInput = OpenInput(hMain, IDC_NEW);
        ASSERT_TRUE(hInput != NULL);
        SubmitInput(hMain, hInput, " Blank ", strTyped);
        EXPECT_TRUE(OwnedDialog(hMain) == NULL) << "no message for a new CLSID";
        rows = Rows(hMain);
        Cancel(hMain);
    });
    // The name is kept as typed.
    EXPECT_EQ((std::vector<ListRow>{{" Blank ", Clsid(10).substr(1), false}}), rows);
    EXPECT_EQ(35u, Clsid(10).substr(1).size());
}

TEST_F(MainDlgNew, NewRowGoesLastUnselectedWithTheRegistrysBox) {
    SetFlags(Clsid(2), 0x401);
    SetFlags(Clsid(3), 0x3);
    WriteList(ListFileText({{"One", Clsid(1)}}));
    std::vector<ListRow> afterCancel, rows;
    int nSelected = -2;
    RunMain([&](HWND hMain) {
        RemoteListView(List(hMain)).Select(0);
        HWND hInput = OpenInput(hMain, IDC_NEW);
        ASSERT_TRUE(hInput != NULL);
        CloseInput(hMain, hInput, IDCANCEL);
        afterCancel = Rows(hMain);
        hInput = OpenInput(hMain, IDC_NEW);
        ASSERT_TRUE(hInput != NULL);
        SubmitInput(hMain, hInput, "Two", Lower(Clsid(2)));
        hInput = OpenInputByKey(hMain, VK_INSERT);
        ASSERT_TRUE(hInput != NULL) << "Insert in the list";
        SubmitInput(hMain, hInput, "Three", Clsid(3));
        rows = Rows(hMain);
        nSelected = Selected(hMain);
        Cancel(hMain);
    });
    EXPECT_EQ((std::vector<ListRow>{{"One", Clsid(1), false}}), afterCancel);
    const std::vector<ListRow> expected = {
        {"One", Clsid(1), false}, {"Two", Clsid(2), true}, {"Three", Clsid(3), false}};
    EXPECT_EQ(expected, rows);
    EXPECT_EQ(0, nSelected) << "the selection stays where it was";
}

TEST_F(MainDlgEdit, ResultReplacesTheRowAndTheBoxShowsTheRegistryAgain) {
    SetFlags(Clsid(2), 0x400);
    WriteList(ListFileText({{"One", Clsid(1)}, {"Two", Clsid(2)}}));
    std::string strName, strClsid;
    std::vector<ListRow> rows;
    RunMain([&](HWND hMain) {
        // Unsaved ticks against the registry on both rows.
        RemoteListView list(List(hMain));
        list.SetChecked(0, true);
        list.SetChecked(1, false);
        list.Select(0);
        HWND hInput = OpenInput(hMain, IDC_EDIT);
        ASSERT_TRUE(hInput != NULL);
        strName = WindowText(GetDlgItem(hInput, IDC_NAME));
        strClsid = WindowText(GetDlgItem(hInput, IDC_CLSID));
        CloseInput(hMain, hInput, IDOK);
        list.Select(1);
        hInput = OpenInputByKey(hMain, VK_F2);
        ASSERT_TRUE(hInput != NULL) << "F2 in the list";
        SubmitInput(hMain, hInput, "Dos", Lower(Clsid(2)));
        rows = Rows(hMain);
        Cancel(hMain);
    });
    EXPECT_EQ("One", strName);
    EXPECT_EQ(Clsid(1), strClsid);
    const std::vector<ListRow> expected = {{"One", Clsid(1), false}, {"Dos", Clsid(2), true}};
    EXPECT_EQ(expected, rows);
}

TEST_F(MainDlgEdit, ResultMayDuplicateAnotherRowsClsid) {
    SetFlags(Clsid(1), 0x400);
    WriteList(ListFileText({{"One", Clsid(1)}, {"Two", Clsid(2)}}));
    std::vector<ListRow> rows;
    RunMain([&](HWND hMain) {
        RemoteListView(List(hMain)).Select(1);
        HWND hInput = OpenInput(hMain, IDC_EDIT);
        ASSERT_TRUE(hInput != NULL);
        SubmitInput(hMain, hInput, "Two", Lower(Clsid(1)));
        EXPECT_TRUE(OwnedDialog(hMain) == NULL) << "a duplicate is no fault when editing";
        rows = Rows(hMain);
        Cancel(hMain);
    });
    const std::vector<ListRow> expected = {{"One", Clsid(1), true}, {"Two", Clsid(1), true}};
    EXPECT_EQ(expected, rows);
}

TEST_F(MainDlgEdit, DoubleClickEditsTheRowUnderThePointer) {
    WriteList(ListFileText({{"One", Clsid(1)}, {"Two", Clsid(2)}}));
    std::string strName, strClsid;
    std::vector<ListRow> rows;
    RunMain([&](HWND hMain) {
        RemoteListView list(List(hMain));
        list.SetChecked(1, true);
        list.DoubleClick(1);
        HWND hInput = WaitForWindow(0, "#32770", hMain);
        ASSERT_TRUE(hInput != NULL);
        strName = WindowText(GetDlgItem(hInput, IDC_NAME));
        strClsid = WindowText(GetDlgItem(hInput, IDC_CLSID));
        // A cancelled edit leaves the row, and its unsaved tick, as they were.
        CloseInput(hMain, hInput, IDCANCEL);
        rows = Rows(hMain);
        Cancel(hMain);
    });
    EXPECT_EQ("Two", strName);
    EXPECT_EQ(Clsid(2), strClsid);
    const std::vector<ListRow> expected = {{"One", Clsid(1), false}, {"Two", Clsid(2), true}};
    EXPECT_EQ(expected, rows);
}

TEST_F(MainDlgEdit, WithoutSelectionNothingOpens) {
    struct Way {
        const char* pszWhat;
        std::function<void(HWND)> edit;
    };
    const Way ways[] = {
        {"Edit button", [](HWND hMain) { PostCommand(hMain, IDC_EDIT); }},
        {"F2", [](HWND hMain) { PostKey(List(hMain), VK_F2); }},
        {"double click below the rows",
         [](HWND hMain) {
             RECT rect;
             GetClientRect(List(hMain), &rect);
             PostDoubleClick(List(hMain), 20, rect.bottom - 10);
         }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.pszWhat);
        WriteList(ListFileText({{"One", Clsid(1)}}));
        INT_PTR nResult = RunMain([&](HWND hMain) {
            ASSERT_EQ(-1, Selected(hMain));
            way.edit(hMain);
            // Handled after the edit: an input dialog it opened would hold the main one open.
            PostCommand(hMain, IDCANCEL);
            EXPECT_TRUE(WaitForDestroyed(hMain)) << "an input dialog opened";
        });
        EXPECT_EQ(IDCANCEL, nResult);
    }
}

TEST_F(MainDlgDelete, SelectionMovesToTheRowThatFollowed) {
    WriteList(ListFileText({{"One", Clsid(1)}, {"Two", Clsid(2)}, {"Three", Clsid(3)}}));
    std::vector<std::vector<ListRow>> rows;
    std::vector<int> selected;
    bool bListHasFocus = false;
    RunMain([&](HWND hMain) {
        RemoteListView list(List(hMain));
        // Focus on OK first, so that the list has to get it back.
        SendMessageA(hMain, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hMain, IDOK)), TRUE);
        list.Select(1); // a middle row
        SendCommand(hMain, IDC_DELETE);
        rows.push_back(Rows(hMain));
        selected.push_back(list.Selected());
        bListHasFocus = FocusedWindow(hMain) == List(hMain);
        PostKey(List(hMain), VK_DELETE); // the last row, with its key
        Flush(hMain);
        rows.push_back(Rows(hMain));
        selected.push_back(list.Selected());
        list.Select(0);
        SendCommand(hMain, IDC_DELETE); // the only row
        rows.push_back(Rows(hMain));
        selected.push_back(list.Selected());
        SendCommand(hMain, IDC_DELETE); // nothing to delete
        rows.push_back(Rows(hMain));
        Cancel(hMain);
    });
    const std::vector<std::vector<ListRow>> expected = {
        {{"One", Clsid(1), false}, {"Three", Clsid(3), false}}, {{"One", Clsid(1), false}}, {}, {}};
    EXPECT_EQ(expected, rows);
    EXPECT_EQ((std::vector<int>{1, -1, -1}), selected);
    EXPECT_TRUE(bListHasFocus);
}

TEST_F(MainDlgMove, SpinMovesTheSelectedRowWithItsTick) {
    WriteList(ListFileText({{"A", Clsid(1)}, {"B", Clsid(2)}, {"C", Clsid(3)}}));
    std::vector<std::string> orders;
    std::vector<int> selected;
    std::vector<ListRow> rows;
    RunMain([&](HWND hMain) {
        RemoteListView list(List(hMain));
        // Names only, with a '+' for a ticked row.
        auto step = [&](bool bUp) {
            ClickSpin(hMain, bUp);
            std::string order;
            for (const ListRow& row : Rows(hMain))
                order += row.strName + (row.bTicked ? "+" : "");
            orders.push_back(order);
            selected.push_back(list.Selected());
        };
        list.SetChecked(2, true);
        list.Select(2);
        step(true);  // C up
        step(true);  // C up to the top
        step(true);  // the first row up: nothing
        step(false); // C down
        list.Select(2);
        step(false); // the last row down: nothing
        rows = Rows(hMain);
        Cancel(hMain);
    });
    EXPECT_EQ((std::vector<std::string>{"AC+B", "C+AB", "C+AB", "AC+B", "AC+B"}), orders);
    EXPECT_EQ((std::vector<int>{1, 0, 0, 1, 2}), selected);
    // The moved row keeps its texts.
    const std::vector<ListRow> expected = {
        {"A", Clsid(1), false}, {"C", Clsid(3), true}, {"B", Clsid(2), false}};
    EXPECT_EQ(expected, rows);
}

} // namespace
