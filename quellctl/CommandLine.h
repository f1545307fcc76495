// quellctl's command line: the arguments, the command they name, and running it.
#pragma once

#include "quellctl/Output.h"

#include <vector>

extern const char QUELLCTL_USAGE[];

struct Arguments {
    bool bHelp = false;
    const char* pszIni = NULL;
    const char* pszCommand = NULL;
    const char* pszAddName = NULL; // block --add NAME, unblock --add NAME
    bool bCsv = false;
    bool bJson = false;
    bool bAll = false;
    bool bUnblocked = false;
    bool bScriptable = false;
    bool bAdd = false; // scan --add, block --known --add
    bool bOffice = false;
    bool bKnown = false;
    bool bInstalled = false;
    bool bGpp = false;
    std::vector<const char*> operands;
};

// 0 when the arguments name help, or a command with switches that go with it; else the exit
// code, the reason said.
int ParseCommandLine(int argc, char** argv, COutput& out, Arguments* pArgs);
// Runs the command on the list file of the application object.
int RunCommand(const Arguments& args, COutput& out);
