// CWinApp: the one application object, its start-up and its profile file.
#pragma once

#include "framework/MessageMap.h"
#include "framework/ProfileFile.h"
#include "framework/String.h"

#ifndef ID_HELP
#define ID_HELP 0xE146
#endif

class CWnd;

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(LPCSTR pszAppName = NULL);
    ~CWinApp() override;

    virtual BOOL InitInstance() { return FALSE; }

    // 3-D controls are the system's own look since Windows 95; kept so start-up reads as it
    // always has.
    BOOL Enable3dControls() { return TRUE; }

    // The profile calls work on an image of m_pszProfileName held in memory: LoadProfile reads
    // the file once, SaveProfile writes it back as a whole in one atomic replacement.
    BOOL LoadProfile();
    BOOL SaveProfile();
    BOOL IsProfileUnicode() const { return m_profile.IsUnicode(); }
    CString GetProfileString(LPCSTR pszSection, LPCSTR pszEntry, LPCSTR pszDefault = NULL);
    std::vector<std::string> GetProfileKeys(LPCSTR pszSection) const {
        return m_profile.GetKeys(pszSection);
    }
    // A NULL entry removes the whole section. pszEntryAsRead: see CProfileFile::WriteString.
    BOOL WriteProfileString(LPCSTR pszSection, LPCSTR pszEntry, LPCSTR pszValue,
                            LPCSTR pszEntryAsRead = NULL);

    void OnHelp() {} // no help file ships with the program

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd;
    LPCSTR m_pszAppName;     // heap string owned by the application
    LPCSTR m_pszProfileName; // heap string (malloc), owned by the application

    DECLARE_MESSAGE_MAP()

private:
    CProfileFile m_profile;
};

CWinApp* AfxGetApp();

// The full path of a module, however long; empty when it cannot be had.
CString AfxGetModuleFileName(HMODULE hModule);

// The system's text for an error code, without its line break; "error N" when it has none.
CString AfxGetSystemMessage(DWORD dwError);

// Dialogs here host no ActiveX controls, so there is no container to enable.
inline void AfxEnableControlContainer() {}

// Runs the application object: InitInstance, then the end of the process.
int AfxWinMain(HINSTANCE hInstance);
