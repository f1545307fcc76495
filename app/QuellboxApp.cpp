#include "app/QuellboxApp.h"

#include "ui/QuellboxDlg.h"

#include <stdlib.h>
#include <string.h>

// The tests link this file with an application object of their own.
#ifndef QUELLBOX_NO_APP_OBJECT
CQuellboxApp theApp;
#endif

BEGIN_MESSAGE_MAP(CQuellboxApp, CWinApp)
ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CString ListFilePathFor(const CString& strModuleFileName) {
    CString strPath;
    if (!strModuleFileName.IsEmpty()) {
        strPath = strModuleFileName.Left(strModuleFileName.ReverseFind('\\') + 1);
        strPath += "Quellbox.ini";
    }
    if (strPath.IsEmpty())
        strPath = ".\\Quellbox.ini";
    return strPath;
}

BOOL CQuellboxApp::InitInstance() {
    AfxEnableControlContainer();
    Enable3dControls();

    // The list file lives beside the executable, whatever the executable is called.
    CString strPath = ListFilePathFor(AfxGetModuleFileName(m_hInstance));
    free(const_cast<char*>(m_pszProfileName));
    m_pszProfileName = _strdup(strPath);

    CQuellboxDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = NULL;
    return FALSE;
}
