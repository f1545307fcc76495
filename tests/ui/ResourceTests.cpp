// The string table and the dialog templates as the program reads them: GBK bytes in code page
// 936, and windows created from the templates; the English copies kept in step with them.
#include "framework/AfxRes.h"
#include "framework/String.h"
#include "ui/Language.h"
#include "ui/resource.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct StringCase {
    UINT nID;
    const char* pszGbk;
};

const StringCase kStrings[] = {
    {IDS_INFO,
     "    Quellbox \xBF\xC9\xD2\xD4\xBD\xFB\xD6\xB9\xB5\xAF\xB3\xF6\xC4\xB3\xD0\xA9\xB9\xD8\xD3\xDA"
     "ActiveX\xC8\xCF\xD6\xA4\xB5\xC4\xB6\xD4\xBB\xB0\xBF\xF2. \xB5\xB1\xC8\xBB\xC4\xE3\xD2\xB2"
     "\xBF\xC9\xD2\xD4\xB5\xAF\xB3\xF6\xD5\xE2\xD0\xA9\xB6\xD4\xBB\xB0\xBF\xF2(\xB2\xBB\xD1\xA1"
     "\xD6\xD0\xBC\xB4\xBF\xC9).\r\n"
     "    Quellbox \xCA\xC7 Quellweb \xE4\xAF\xC0\xC0\xC6\xF7\xB5\xC4\xCD\xE2\xB2\xBF\xB9\xA4\xBE"
     "\xDF, \xBB\xB6\xD3\xAD\xCA\xB9\xD3\xC3 Quellweb \xE4\xAF\xC0\xC0\xC6\xF7\xC9\xCF\xCD\xF8.\r\n"
     "    \xB5\xE7\xD7\xD3\xD3\xCA\xBC\xFE: quellbox@example.com\r\n"
     "    \xD6\xF7\xD2\xB3: http://www.example.com/quellbox/"},
    {IDS_COL_NAME, "\xC3\xFB\xD7\xD6"},
    {IDS_COL_CLSID, "CLSID"},
    {IDS_NAME_EMPTY, "\xC3\xFB\xD7\xD6\xB2\xBB\xC4\xDC\xCE\xAA\xBF\xD5 !"},
    {IDS_CLSID_LENGTH, "CLSID \xB3\xA4\xB6\xC8\xB1\xD8\xD0\xEB\xCA\xC7"
                       "36 !"},
    {IDS_CLSID_FORMAT, "CLSID \xB8\xF1\xCA\xBD\xB4\xED\xCE\xF3 !"},
    {IDS_CLSID_EXISTS, "\xCD\xAC\xD1\xF9\xB5\xC4 CLSID \xD2\xD1\xBE\xAD\xB4\xE6\xD4\xDA\xC1\xCB !"},
    {IDS_TIP_KNOWN, "\xCE\xA2\xC8\xED\xD2\xD1\xBE\xAD\xD4\xDA %s "
                    "\xD6\xD0\xBD\xFB\xD6\xB9\xBC\xD3\xD4\xD8\xD5\xE2\xB8\xF6\xBF\xD8\xBC\xFE"},
    {AFX_IDP_PARSE_STRING_SIZE,
     "\xCA\xE4\xC8\xEB\xB5\xC4\xC4\xDA\xC8\xDD\xCC\xAB\xB3\xA4: \xD7\xEE\xB6\xE0 %d \xB8\xF6\xD7"
     "\xD6\xBD\xDA (\xD2\xBB\xB8\xF6\xBA\xBA\xD7\xD6\xD5\xBC\xC1\xBD\xB8\xF6\xD7\xD6\xBD\xDA) !"},
};

TEST(StringTable, EveryTextIsItsGbkBytes) {
    for (const StringCase& c : kStrings) {
        CString text;
        EXPECT_TRUE(text.LoadString(c.nID)) << "string " << c.nID;
        EXPECT_EQ(std::string(c.pszGbk), std::string(text, text.GetLength())) << "string " << c.nID;
    }
}

TEST(StringTable, InfoTextIsFourIndentedLines) {
    CString text;
    ASSERT_TRUE(text.LoadString(IDS_INFO));
    std::string info(text, text.GetLength());
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        size_t end = info.find("\r\n", start);
        lines.push_back(info.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    ASSERT_EQ(4u, lines.size());
    for (const std::string& line : lines)
        EXPECT_EQ(0u, line.find("    ")) << line;
    // No stray line break of either kind inside a line.
    for (const std::string& line : lines)
        EXPECT_EQ(std::string::npos, line.find_first_of("\r\n")) << line;
}

// Only shows the template: the dialog procedure of the program is not under test here.
INT_PTR CALLBACK InspectProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

struct ControlCase {
    int nID;
    const char* pszClass;
    DWORD dwStyleMask; // the style bits looked at
    DWORD dwStyle;     // their values
    bool bFramed;      // WS_BORDER in the template
};

struct DialogCase {
    UINT nIDTemplate;
    const char* pszCaption;
    DWORD dwStyle;                     // bits that must be set
    DWORD dwExStyle;                   // bits that must be set
    std::vector<ControlCase> controls; // in tab order
};

const DWORD kButtonMask = BS_TYPEMASK | WS_TABSTOP;
const DWORD kListBits =
    LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | WS_TABSTOP;
const DWORD kInputEditBits = ES_AUTOHSCROLL | WS_TABSTOP;

void ExpectTemplate(const DialogCase& d) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&icc));
    HWND hDlg = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(d.nIDTemplate), NULL,
                                   InspectProc, 0);
    ASSERT_TRUE(hDlg != NULL) << "template " << d.nIDTemplate;

    char caption[256] = "";
    GetWindowTextA(hDlg, caption, sizeof(caption));
    EXPECT_EQ(std::string(d.pszCaption), caption);
    EXPECT_EQ(d.dwStyle, static_cast<DWORD>(GetWindowLongA(hDlg, GWL_STYLE)) & d.dwStyle);
    EXPECT_EQ(d.dwExStyle, static_cast<DWORD>(GetWindowLongA(hDlg, GWL_EXSTYLE)) & d.dwExStyle);

    size_t n = 0;
    for (HWND h = GetWindow(hDlg, GW_CHILD); h != NULL; h = GetWindow(h, GW_HWNDNEXT), ++n) {
        if (n >= d.controls.size())
            continue;
        const ControlCase& c = d.controls[n];
        char cls[64] = "";
        GetClassNameA(h, cls, sizeof(cls));
        // Control ids of a DIALOG template are 16 bits: -1 reads back as 0xFFFF.
        EXPECT_EQ(static_cast<WORD>(c.nID), static_cast<WORD>(GetDlgCtrlID(h))) << "control " << n;
        EXPECT_EQ(0, lstrcmpiA(c.pszClass, cls)) << "control " << c.nID << ": " << cls;
        EXPECT_EQ(c.dwStyle, static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)) & c.dwStyleMask)
            << "control " << c.nID << std::hex << " style 0x" << GetWindowLongA(h, GWL_STYLE);
        // The dialog manager turns a control's WS_BORDER into WS_EX_CLIENTEDGE.
        bool bFramed = (GetWindowLongA(h, GWL_STYLE) & WS_BORDER) != 0 ||
                       (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
        EXPECT_EQ(c.bFramed, bFramed) << "control " << c.nID;
    }
    EXPECT_EQ(d.controls.size(), n);
    DestroyWindow(hDlg);
}

TEST(DialogTemplates, MainDialogControlsStylesAndTabOrder) {
    ExpectTemplate({IDD_MAIN,
                    "Quellbox \xB0\xB2\xBE\xB2\xBA\xD0 (1.2 build 0114)",
                    WS_MINIMIZEBOX | WS_CAPTION | WS_SYSMENU,
                    WS_EX_APPWINDOW,
                    {
                        {IDC_LIST, WC_LISTVIEWA, kListBits | LVS_TYPEMASK, kListBits, true},
                        {IDC_NEW, "Button", kButtonMask, BS_PUSHBUTTON | WS_TABSTOP, false},
                        {IDC_EDIT, "Button", kButtonMask, BS_PUSHBUTTON | WS_TABSTOP, false},
                        {IDC_DELETE, "Button", kButtonMask, BS_PUSHBUTTON | WS_TABSTOP, false},
                        {IDOK, "Button", kButtonMask, BS_DEFPUSHBUTTON | WS_TABSTOP, false},
                        {IDCANCEL, "Button", kButtonMask, BS_PUSHBUTTON | WS_TABSTOP, false},
                        // Read-only text on the dialog's face, without a frame.
                        {IDC_INFO, "Edit", ES_MULTILINE | ES_READONLY | WS_TABSTOP | WS_BORDER,
                         ES_MULTILINE | ES_READONLY | WS_TABSTOP, false},
                        {IDC_SPIN, UPDOWN_CLASSA, UDS_ARROWKEYS | UDS_SETBUDDYINT | UDS_AUTOBUDDY,
                         UDS_ARROWKEYS, false},
                    }});
}

TEST(DialogTemplates, InputDialogControlsStylesAndTabOrder) {
    ExpectTemplate({IDD_INPUT,
                    "\xCA\xE4\xC8\xEB",
                    WS_CAPTION | WS_SYSMENU,
                    0,
                    {
                        {IDC_NAME, "Edit", kInputEditBits, kInputEditBits, true},
                        {IDC_CLSID, "Edit", kInputEditBits, kInputEditBits, true},
                        {IDOK, "Button", kButtonMask, BS_DEFPUSHBUTTON | WS_TABSTOP, false},
                        {IDCANCEL, "Button", kButtonMask, BS_PUSHBUTTON | WS_TABSTOP, false},
                        {IDC_STATIC, "Static", SS_TYPEMASK | WS_GROUP, SS_RIGHT | WS_GROUP, false},
                        {IDC_STATIC, "Static", SS_TYPEMASK | WS_GROUP, SS_RIGHT | WS_GROUP, false},
                    }});
}

BOOL CALLBACK AddName(HMODULE, LPCSTR, LPSTR pszName, LONG_PTR lParam) {
    reinterpret_cast<std::vector<UINT>*>(lParam)->push_back(LOWORD(pszName));
    return TRUE;
}

// What both languages must share: for a block of the string table, whether each string exists
// and its placeholders' letters; for a dialog, its control ids in tab order. The strings of the
// language chosen for this code page must hold no '?' (no GBK byte is one) either.
std::string Skeleton(LPCSTR pszType, UINT nName, LANGID wLanguage) {
    AfxSetResourceLanguage(wLanguage);
    std::string marks;
    for (UINT nID = (nName - 1) * 16; pszType == RT_STRING && nID < nName * 16; ++nID) {
        CString text;
        marks += text.LoadString(nID) ? "+" : "-";
        for (const char* p = strchr(text, '%'); p != NULL; p = strchr(p + 2, '%'))
            marks += p[1];
        EXPECT_TRUE(wLanguage != ChooseInterfaceLanguage(GetACP()) || text.ReverseFind('?') < 0)
            << text;
    }
    DWORD nBytes = 0;
    const void* pTemplate = pszType == RT_DIALOG ? AfxLoadResource(pszType, nName, &nBytes) : NULL;
    HWND hDlg = pTemplate ? CreateDialogIndirectParamA(
                                NULL, static_cast<LPCDLGTEMPLATEA>(pTemplate), NULL, InspectProc, 0)
                          : NULL;
    for (HWND h = GetWindow(hDlg, GW_CHILD); h != NULL; h = GetWindow(h, GW_HWNDNEXT))
        marks += std::to_string(GetDlgCtrlID(h)) + " ";
    DestroyWindow(hDlg);
    AfxSetResourceLanguage(ChooseInterfaceLanguage(GetACP()));
    return marks;
}

// Run in code page 936 and again in 1252.
TEST(DialogTemplates, StringsAndControlsMatchInBothLanguages) {
    for (LPCSTR pszType : {RT_STRING, RT_DIALOG}) {
        std::vector<UINT> names;
        EnumResourceNamesA(NULL, pszType, AddName, reinterpret_cast<LONG_PTR>(&names));
        EXPECT_FALSE(names.empty());
        for (UINT nName : names)
            EXPECT_EQ(Skeleton(pszType, nName, ChooseInterfaceLanguage(936)),
                      Skeleton(pszType, nName, ChooseInterfaceLanguage(1252)))
                << "resource " << nName;
    }
}

} // namespace
