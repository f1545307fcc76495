#pragma once

#include "framework/WinApp.h"

class CQuellboxApp : public CWinApp {
public:
    CQuellboxApp() : CWinApp(NULL) {}

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
