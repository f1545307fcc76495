#pragma once

#include "framework/WinApp.h"

class CQuellboxApp : public CWinApp {
public:
    CQuellboxApp() : CWinApp(NULL) {}

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

// The list file for a module's full file name: "Quellbox.ini" in the module's directory,
// or ".\Quellbox.ini" when the name is unknown (empty).
CString ListFilePathFor(const CString& strModuleFileName);
