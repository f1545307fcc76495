// quellctl: the kill bits of the Quellbox list from the command line, for scripts and for
// deployment to many machines.
#include "framework/WinApp.h"
#include "quellctl/Clsid.h"
#include "quellctl/Commands.h"
#include "storage/EntryList.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

const char kUsage[] =
    "Usage: quellctl [--ini PATH] COMMAND [ARGUMENTS]\n"
    "\n"
    "Sets and clears the Internet Explorer kill bits of ActiveX controls and keeps the\n"
    "Quellbox list of them.\n"
    "\n"
    "  list [--csv]             Every listed control: name, CLSID, blocked or not, the\n"
    "                           \"Compatibility Flags\" of each registry view (- missing,\n"
    "                           ? not four bytes) and its COM registration here.\n"
    "  block CLSID...           Sets the kill bit; the other flag bits are kept.\n"
    "  block --all              Blocks every listed control.\n"
    "  block --add NAME CLSID   Blocks and lists the control when it is not listed.\n"
    "  unblock ...              Clears the kill bit, with the same arguments as block.\n"
    "  export FILE.reg          Writes the flags of every listed control as a .reg file\n"
    "                           for \"reg import\" on other machines.\n"
    "  import FILE              Lists the controls of a .reg file, or of a text file with\n"
    "                           one CLSID and an optional name a line.\n"
    "\n"
    "  --ini PATH               The list file; by default Quellbox.ini beside quellctl.exe.\n"
    "  /?, --help               Shows this help.\n"
    "\n"
    "A CLSID is 32 hexadecimal digits as 8-4-4-4-12, with or without braces, in any case.\n"
    "Exit code: 0 done, 1 failed (see the messages), 2 bad arguments.\n";

struct Arguments {
    const char* pszIni = NULL;
    const char* pszCommand = NULL;
    const char* pszAddName = NULL;
    bool bCsv = false;
    bool bAll = false;
    std::vector<const char*> operands;
};

bool IsHelp(const char* pszArg) {
    return strcmp(pszArg, "/?") == 0 || strcmp(pszArg, "-?") == 0 ||
           _stricmp(pszArg, "--help") == 0 || _stricmp(pszArg, "-h") == 0;
}

int UsageError(const char* pszFormat, const char* pszArg) {
    char message[1024];
    _snprintf(message, sizeof(message) - 1, pszFormat, pszArg);
    message[sizeof(message) - 1] = '\0';
    PrintError("%s", message);
    fprintf(stderr, "Try \"quellctl /?\".\n");
    return EXIT_USAGE;
}

// EXIT_OK when the arguments parse; else what to exit with.
int Parse(int argc, char** argv, Arguments* pArgs) {
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        if (_stricmp(pszArg, "--ini") == 0 || _stricmp(pszArg, "--add") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return UsageError("%s needs a value", pszArg);
            (_stricmp(pszArg, "--ini") == 0 ? pArgs->pszIni : pArgs->pszAddName) = argv[++i];
        } else if (_stricmp(pszArg, "--csv") == 0) {
            pArgs->bCsv = true;
        } else if (_stricmp(pszArg, "--all") == 0) {
            pArgs->bAll = true;
        } else if (pszArg[0] == '-' && pszArg[1] != '\0') {
            return UsageError("unknown option \"%s\"", pszArg);
        } else if (pArgs->pszCommand == NULL) {
            pArgs->pszCommand = pszArg;
        } else {
            pArgs->operands.push_back(pszArg);
        }
    }
    return EXIT_OK;
}

int Run(const Arguments& args) {
    const char* pszCommand = args.pszCommand;
    bool bList = _stricmp(pszCommand, "list") == 0;
    bool bBlock = _stricmp(pszCommand, "block") == 0;
    bool bUnblock = _stricmp(pszCommand, "unblock") == 0;
    bool bExport = _stricmp(pszCommand, "export") == 0;
    bool bImport = _stricmp(pszCommand, "import") == 0;
    if (!bList && !bBlock && !bUnblock && !bExport && !bImport)
        return UsageError("unknown command \"%s\"", pszCommand);
    if (args.bCsv && !bList)
        return UsageError("--csv does not go with %s", pszCommand);
    if ((args.bAll || args.pszAddName) && !bBlock && !bUnblock)
        return UsageError("--all and --add go with block and unblock, not with %s", pszCommand);

    if (bList) {
        if (!args.operands.empty())
            return UsageError("unexpected argument \"%s\"", args.operands[0]);
        return ListCommand(args.bCsv);
    }
    if (bExport || bImport) {
        if (args.operands.empty())
            return UsageError("%s needs a FILE argument", pszCommand);
        if (args.operands.size() > 1)
            return UsageError("unexpected argument \"%s\"", args.operands[1]);
        return bExport ? ExportCommand(args.operands[0]) : ImportCommand(args.operands[0]);
    }

    if (args.bAll && args.pszAddName)
        return UsageError("%s: --all and --add exclude each other", pszCommand);
    if (args.bAll && !args.operands.empty())
        return UsageError("unexpected argument \"%s\" after --all", args.operands[0]);
    if (!args.bAll && args.operands.empty())
        return UsageError("%s needs a CLSID or --all", pszCommand);
    if (args.pszAddName && args.operands.size() != 1)
        return UsageError("--add takes exactly one CLSID, not \"%s\" too", args.operands[1]);
    // Every CLSID is checked before the first is written: a typo stops the whole command.
    std::vector<CString> clsids;
    for (const char* pszOperand : args.operands) {
        CString strClsid;
        if (!ParseClsid(pszOperand, &strClsid))
            return UsageError("\"%s\" is not a CLSID (8-4-4-4-12 hexadecimal digits)", pszOperand);
        clsids.push_back(strClsid);
    }
    return SetBlockedCommand(bBlock, clsids, args.bAll, args.pszAddName);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (IsHelp(argv[i])) {
            fputs(kUsage, stdout);
            return EXIT_OK;
        }
    }
    Arguments args;
    int nParsed = Parse(argc, argv, &args);
    if (nParsed != EXIT_OK)
        return nParsed;
    if (args.pszCommand == NULL) {
        fputs(kUsage, stderr);
        return EXIT_USAGE;
    }

    CWinApp app("quellctl");
    CString strIni =
        args.pszIni ? CString(args.pszIni) : EntryList::ListFilePathFor(AfxGetModuleFileName(NULL));
    app.m_pszProfileName = _strdup(strIni);
    return Run(args);
}
