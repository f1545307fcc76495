// quellctl: the kill bits of the Quellbox list from the command line, for scripts and for
// deployment to many machines.
#include "framework/WinApp.h"
#include "quellctl/CommandLine.h"
#include "storage/EntryList.h"

#include <stdlib.h>

int main(int argc, char** argv) {
    COutput out;
    Arguments args;
    int nParsed = ParseCommandLine(argc, argv, out, &args);
    if (nParsed != 0)
        return out.Finish(nParsed);
    if (args.bHelp) {
        out.Print(QUELLCTL_USAGE);
        return out.Finish(0);
    }
    CWinApp app("quellctl");
    CString strIni =
        args.pszIni ? CString(args.pszIni) : EntryList::ListFilePathFor(AfxGetModuleFileName(NULL));
    app.m_pszProfileName = _strdup(strIni);
    return out.Finish(RunCommand(args, out));
}
