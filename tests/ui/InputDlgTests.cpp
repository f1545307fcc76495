// The input dialog run modally on the test thread and worked from a second thread with real
// window messages, as a user's typing and clicks would reach it.
#include "support/DialogHarness.h"
#include "support/WindowDriver.h"
#include "ui/InputDlg.h"
#include "ui/resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kClsid[] = "5E5E0002-0000-0000-0000-000000000001";
// 20 double-byte characters: 40 bytes, but 20 UTF-16 units for Wine's edit control.
const std::string kDoubleByte20(40, '\xBA');

const char kNotShown[] = "the input dialog did not appear";

void Type(HWND hDlg, const std::string& strName, const std::string& strClsid) {
    SetControlText(hDlg, IDC_NAME, strName);
    SetControlText(hDlg, IDC_CLSID, strClsid);
}

// Presses OK, answers the one message box and checks that the dialog is still there
// afterwards; then cancels it.
void ExpectRefusal(HWND hDlg, const std::string& strMessage) {
    // A click activates the dialog, and the message goes to the active window: another
    // program in the foreground must not take it.
    SetForegroundWindow(hDlg);
    PostCommand(hDlg, IDOK);
    EXPECT_EQ(strMessage, AnswerMessageBox(0, hDlg));
    // Once this returns the dialog's thread is back in a message loop: OK has been handled.
    SendMessageA(hDlg, WM_NULL, 0, 0);
    EXPECT_TRUE(IsWindowVisible(hDlg)) << "the dialog closed after its message";
    // The clean-up answers it.
    ASSERT_TRUE(OwnedDialog(hDlg) == NULL) << "a second message followed";
    PostCommand(hDlg, IDCANCEL);
    EXPECT_TRUE(WaitForDestroyed(hDlg));
}

struct RefusedCase {
    const char* pszWhat;
    std::string strName;
    std::string strClsid;
    std::string strMessage;
};

TEST(InputDlgValidation, EachFaultIsReportedAloneAndKeepsTheDialogOpen) {
    const RefusedCase cases[] = {
        {"empty name and CLSID", "", "", LoadText(IDS_NAME_EMPTY)},
        {"empty name", "", kClsid, LoadText(IDS_NAME_EMPTY)},
        {"35 bytes", "Flash", std::string(kClsid).substr(1), LoadText(IDS_CLSID_LENGTH)},
        {"space for the hyphen at 8", "Flash", "5E5E0002 0000-0000-0000-000000000001",
         LoadText(IDS_CLSID_FORMAT)},
        {"no hyphen at 13", "Flash", "5E5E0002-0000X0000-0000-000000000001",
         LoadText(IDS_CLSID_FORMAT)},
        {"no hyphen at 18", "Flash", "5E5E0002-0000-0000_0000-000000000001",
         LoadText(IDS_CLSID_FORMAT)},
        {"no hyphen at 23", "Flash", "5E5E0002-0000-0000-0000X000000000001",
         LoadText(IDS_CLSID_FORMAT)},
        {"CLSID of 40 bytes in 20 characters", "Flash", kDoubleByte20,
         "\xCA\xE4\xC8\xEB\xB5\xC4\xC4\xDA\xC8\xDD\xCC\xAB\xB3\xA4: \xD7\xEE\xB6\xE0 36 \xB8\xF6"
         "\xD7\xD6\xBD\xDA (\xD2\xBB\xB8\xF6\xBA\xBA\xD7\xD6\xD5\xBC\xC1\xBD\xB8\xF6\xD7\xD6\xBD"
         "\xDA) !"},
        {"name of 52 bytes in 26 characters", std::string(52, '\xBA'), kClsid,
         "\xCA\xE4\xC8\xEB\xB5\xC4\xC4\xDA\xC8\xDD\xCC\xAB\xB3\xA4: \xD7\xEE\xB6\xE0 50 \xB8\xF6"
         "\xD7\xD6\xBD\xDA (\xD2\xBB\xB8\xF6\xBA\xBA\xD7\xD6\xD5\xBC\xC1\xBD\xB8\xF6\xD7\xD6\xBD"
         "\xDA) !"},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        CInputDlg dlg;
        INT_PTR nResult = RunModal(dlg, kNotShown, [&](HWND hDlg) {
            Type(hDlg, c.strName, c.strClsid);
            ExpectRefusal(hDlg, c.strMessage);
        });
        EXPECT_EQ(IDCANCEL, nResult);
    }
}

struct AcceptedCase {
    const char* pszWhat;
    std::string strName;
    std::string strClsid;
};

TEST(InputDlgValidation, TextsThatPassAreReturnedAsTyped) {
    const AcceptedCase cases[] = {
        {"36 hyphens", "Hyphens", std::string(36, '-')},
        {"lower case", "Lower", "5e5e0002-abcd-ef00-0000-0000000000ff"},
        // Checked before trimming: the leading blank counts as the first character.
        {"leading blank", "Blank", " E5E0002-0000-0000-0000-000000000001"},
        {"name of 50 bytes in 25 characters", std::string(50, '\xBA'), kClsid},
    };
    for (const AcceptedCase& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        CInputDlg dlg;
        INT_PTR nResult = RunModal(dlg, kNotShown, [&](HWND hDlg) {
            Type(hDlg, c.strName, c.strClsid);
            PostCommand(hDlg, IDOK);
            EXPECT_TRUE(WaitForDestroyed(hDlg));
        });
        EXPECT_EQ(IDOK, nResult);
        EXPECT_EQ(c.strName, std::string(dlg.m_strName));
        EXPECT_EQ(c.strClsid, std::string(dlg.m_strClsid));
    }
}

TEST(InputDlgFields, OpenWithTheMembersAndTheirByteLimits) {
    CInputDlg dlg;
    dlg.m_strName = "\xC3\xFB\xD7\xD6 Flash";
    dlg.m_strClsid = kClsid;
    std::string strName, strClsid;
    LRESULT nNameLimit = 0, nClsidLimit = 0;
    INT_PTR nResult = RunModal(dlg, kNotShown, [&](HWND hDlg) {
        strName = WindowText(GetDlgItem(hDlg, IDC_NAME));
        strClsid = WindowText(GetDlgItem(hDlg, IDC_CLSID));
        nNameLimit = SendMessageA(GetDlgItem(hDlg, IDC_NAME), EM_GETLIMITTEXT, 0, 0);
        nClsidLimit = SendMessageA(GetDlgItem(hDlg, IDC_CLSID), EM_GETLIMITTEXT, 0, 0);
        PostCommand(hDlg, IDOK);
        EXPECT_TRUE(WaitForDestroyed(hDlg));
    });
    EXPECT_EQ("\xC3\xFB\xD7\xD6 Flash", strName);
    EXPECT_EQ(kClsid, strClsid);
    EXPECT_EQ(50, nNameLimit);
    EXPECT_EQ(36, nClsidLimit);
    // Unchanged texts come back unchanged.
    EXPECT_EQ(IDOK, nResult);
    EXPECT_EQ("\xC3\xFB\xD7\xD6 Flash", std::string(dlg.m_strName));
    EXPECT_EQ(kClsid, std::string(dlg.m_strClsid));
}

TEST(InputDlgFields, CancelReturnsIdcancelAndKeepsTheMembers) {
    CInputDlg dlg;
    dlg.m_strName = "Old";
    dlg.m_strClsid = kClsid;
    INT_PTR nResult = RunModal(dlg, kNotShown, [&](HWND hDlg) {
        Type(hDlg, "New", "5E5E0002-0000-0000-0000-000000000099");
        PostCommand(hDlg, IDCANCEL);
        EXPECT_TRUE(WaitForDestroyed(hDlg));
    });
    EXPECT_EQ(IDCANCEL, nResult);
    EXPECT_EQ("Old", std::string(dlg.m_strName));
    EXPECT_EQ(kClsid, std::string(dlg.m_strClsid));
}

} // namespace
