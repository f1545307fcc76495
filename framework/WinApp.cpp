#include "framework/WinApp.h"

#include <stdlib.h>
#include <string.h>

namespace {

CWinApp* g_pApp = NULL;

} // namespace

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, NULL}};
    static const AFX_MSGMAP messageMap = {NULL, entries};
    return &messageMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map != NULL;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : NULL) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfnThunk != NULL; ++e) {
            if (e->nMessage == nMessage && e->nCode == nCode && e->nID == nID)
                return e;
        }
    }
    return NULL;
}

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR pszAppName)
    : m_hInstance(NULL), m_pMainWnd(NULL), m_pszAppName(pszAppName ? _strdup(pszAppName) : NULL),
      m_pszProfileName(NULL) {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    free(const_cast<char*>(m_pszAppName));
    free(const_cast<char*>(m_pszProfileName));
    if (g_pApp == this)
        g_pApp = NULL;
}

CWinApp* AfxGetApp() { return g_pApp; }

BOOL CWinApp::LoadProfile() { return m_profile.Read(m_pszProfileName ? m_pszProfileName : ""); }

BOOL CWinApp::SaveProfile() { return m_profile.Write(m_pszProfileName ? m_pszProfileName : ""); }

CString CWinApp::GetProfileString(LPCSTR pszSection, LPCSTR pszEntry, LPCSTR pszDefault) {
    return m_profile.GetString(pszSection, pszEntry, pszDefault ? pszDefault : "");
}

BOOL CWinApp::WriteProfileString(LPCSTR pszSection, LPCSTR pszEntry, LPCSTR pszValue,
                                 LPCSTR pszEntryAsRead) {
    return m_profile.WriteString(pszSection, pszEntry, pszValue, pszEntryAsRead);
}

CString AfxGetModuleFileName(HMODULE hModule) {
    // The call truncates silently into a buffer that is too small, so a full buffer means
    // "try again, larger", never "this is the name".
    for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
        CString name;
        DWORD n = ::GetModuleFileNameA(hModule, name.GetBuffer(size), size);
        name.ReleaseBuffer();
        if (n == 0)
            return CString();
        if (n < size)
            return name;
    }
    return CString();
}

CString AfxGetSystemMessage(DWORD dwError) {
    char* pszError = NULL;
    ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     NULL, dwError, 0, reinterpret_cast<LPSTR>(&pszError), 0, NULL);
    CString strError(pszError ? pszError : "");
    ::LocalFree(pszError);
    strError.TrimRight();
    if (strError.IsEmpty())
        strError.Format("error %lu", static_cast<unsigned long>(dwError));
    return strError;
}

int AfxWinMain(HINSTANCE hInstance) {
    CWinApp* pApp = AfxGetApp();
    if (pApp == NULL)
        return 1;
    pApp->m_hInstance = hInstance;
    if (pApp->m_pszAppName == NULL) {
        // Named after the executable, without directory and extension.
        CString name = AfxGetModuleFileName(NULL);
        name = name.Mid(name.ReverseFind('\\') + 1);
        int dot = name.ReverseFind('.');
        if (dot > 0)
            name = name.Left(dot);
        pApp->m_pszAppName = _strdup(name);
    }
    pApp->m_pszProfileName = _strdup(CString(pApp->m_pszAppName) + ".INI");
    pApp->InitInstance();
    return 0;
}
