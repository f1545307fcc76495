#include "app/QuellboxApp.h"

#include "storage/EntryList.h"
#include "ui/Language.h"
#include "ui/QuellboxDlg.h"

#include <stdlib.h>
#include <string.h>

CQuellboxApp theApp;

BEGIN_MESSAGE_MAP(CQuellboxApp, CWinApp)
ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

BOOL CQuellboxApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();
    AfxSetResourceLanguage(ChooseInterfaceLanguage(::GetACP()));

    // The list file lives beside the executable, whatever the executable is called.
    CString strPath = EntryList::ListFilePathFor(AfxGetModuleFileName(m_hInstance));
    free(const_cast<char*>(m_pszProfileName));
    m_pszProfileName = _strdup(strPath);

    CQuellboxDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = NULL;
    return FALSE;
}
