// quellctl: the kill bits of the Quellbox list from the command line, for scripts and for
// deployment to many machines.
#include "framework/WinApp.h"
#include "quellctl/Commands.h"
#include "storage/ComRegistration.h"
#include "storage/EntryList.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

const char kUsage[] =
    "Usage: quellctl [--ini PATH] COMMAND [ARGUMENTS]\n"
    "\n"
    "Sets and clears the kill bits of ActiveX controls for Internet Explorer (and\n"
    "Office), keeps the Quellbox list of them, and finds the controls installed here.\n"
    "\n"
    "  list [--csv | --json]    Every listed control: name, CLSID, blocked or not, the\n"
    "                           \"Compatibility Flags\" of each registry view (- missing,\n"
    "                           ? not four bytes), the same for Office, and its COM\n"
    "                           registration here.\n"
    "  scan [--unblocked] [--scriptable] [--known] [--csv | --json] [--add]\n"
    "                           Every ActiveX control registered here, in CLSID order:\n"
    "                           name, server, registry views, safety marks, kill bit,\n"
    "                           listed or not, Microsoft's documents that killed it.\n"
    "                           --unblocked: only those not blocked in every view;\n"
    "                           --scriptable: only those marked safe for scripting or\n"
    "                           initialising; --known: only those Microsoft killed;\n"
    "                           --add: lists the ones shown that are not listed yet,\n"
    "                           without changing a kill bit.\n"
    "  known [--installed] [--unblocked] [--csv | --json]\n"
    "                           Every control that Microsoft killed in its security\n"
    "                           bulletins and advisories: CLSID, product, documents,\n"
    "                           installed here or not, kill bit. --installed: only those\n"
    "                           installed here; --unblocked: only those not blocked.\n"
    "  check --all | CLSID...   Exit code 0 when every control named (or listed) is\n"
    "                           blocked in every view, else 1, naming each one not.\n"
    "  block CLSID...           Sets the kill bit; the other flag bits are kept.\n"
    "  block --all              Blocks every listed control.\n"
    "  block --add NAME CLSID   Blocks and lists the control when it is not listed.\n"
    "  check --known [--installed]\n"
    "  block --known [--installed] [--add]\n"
    "                           The same for every control Microsoft killed (or every one\n"
    "                           installed here); --add lists them under their products.\n"
    "  unblock ...              Clears the kill bit, with the same arguments as block.\n"
    "  export FILE.reg          Writes the flags of every listed control as a .reg file\n"
    "                           for \"reg import\" on other machines.\n"
    "  export --gpp FILE.xml    Writes them as a Group Policy Preferences Registry.xml.\n"
    "  import FILE              Lists the controls of a .reg file, or of a text file with\n"
    "                           one CLSID and an optional name a line.\n"
    "\n"
    "  --ini PATH               The list file; by default Quellbox.ini beside quellctl.exe.\n"
    "  --csv, --json            Comma-separated values, or a JSON array in UTF-8.\n"
    "  --office                 block, unblock, check and export cover Office's kill bits\n"
    "                           too.\n"
    "  /?, --help               Shows this help.\n"
    "\n"
    "A CLSID is 32 hexadecimal digits as 8-4-4-4-12, with or without braces, in any case.\n"
    "Exit code: 0 done, 1 failed (see the messages), 2 bad arguments.\n";

struct Arguments {
    const char* pszIni = NULL;
    const char* pszCommand = NULL;
    const char* pszAddName = NULL; // block and unblock
    bool bCsv = false;
    bool bJson = false;
    bool bAll = false;
    bool bUnblocked = false;
    bool bScriptable = false;
    bool bAdd = false;    // scan, block --known
    bool bOffice = false; // block, unblock and check
    bool bKnown = false;
    bool bInstalled = false;
    bool bGpp = false; // export
    std::vector<const char*> operands;
};

bool IsHelp(const char* pszArg) {
    return strcmp(pszArg, "/?") == 0 || strcmp(pszArg, "-?") == 0 ||
           _stricmp(pszArg, "--help") == 0 || _stricmp(pszArg, "-h") == 0;
}

bool IsCommand(const char* pszCommand, const char* pszName) {
    return pszCommand != NULL && _stricmp(pszCommand, pszName) == 0;
}

int UsageError(const char* pszFormat, const char* pszArg) {
    PrintError(pszFormat, pszArg);
    fputs("Try \"quellctl /?\".\n", stderr);
    return EXIT_USAGE;
}

// EXIT_OK when the arguments parse; else what to exit with.
int Parse(int argc, char** argv, Arguments* pArgs) {
    bool bKnown = false; // anywhere on the line, it makes --add a switch
    for (int i = 1; i < argc; ++i)
        bKnown = bKnown || _stricmp(argv[i], "--known") == 0;
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        bool bIni = _stricmp(pszArg, "--ini") == 0;
        // scan's and block --known's --add is a switch; block's and unblock's takes the name.
        bool bAddSwitch =
            _stricmp(pszArg, "--add") == 0 && (IsCommand(pArgs->pszCommand, "scan") || bKnown);
        if (bIni || (_stricmp(pszArg, "--add") == 0 && !bAddSwitch)) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return UsageError("%s needs a value", pszArg);
            if (bIni)
                pArgs->pszIni = argv[++i];
            else
                pArgs->pszAddName = argv[++i];
        } else if (bAddSwitch) {
            pArgs->bAdd = true;
        } else if (_stricmp(pszArg, "--csv") == 0) {
            pArgs->bCsv = true;
        } else if (_stricmp(pszArg, "--json") == 0) {
            pArgs->bJson = true;
        } else if (_stricmp(pszArg, "--gpp") == 0) {
            pArgs->bGpp = true;
        } else if (_stricmp(pszArg, "--all") == 0) {
            pArgs->bAll = true;
        } else if (_stricmp(pszArg, "--unblocked") == 0) {
            pArgs->bUnblocked = true;
        } else if (_stricmp(pszArg, "--scriptable") == 0) {
            pArgs->bScriptable = true;
        } else if (_stricmp(pszArg, "--office") == 0) {
            pArgs->bOffice = true;
        } else if (_stricmp(pszArg, "--known") == 0) {
            pArgs->bKnown = true;
        } else if (_stricmp(pszArg, "--installed") == 0) {
            pArgs->bInstalled = true;
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

// Every CLSID is checked before the first is acted on: a typo stops the whole command.
int ParseClsids(const std::vector<const char*>& operands, std::vector<CString>* pClsids) {
    for (const char* pszOperand : operands) {
        CString strClsid;
        if (!ParseClsid(pszOperand, &strClsid))
            return UsageError("\"%s\" is not a CLSID (8-4-4-4-12 hexadecimal digits)", pszOperand);
        pClsids->push_back(strClsid);
    }
    return EXIT_OK;
}

// known, check --known and block --known: the catalogue's controls, never a CLSID or the list's.
int RunKnown(const Arguments& args, OutputFormat format, unsigned readers) {
    if (!args.operands.empty())
        return UsageError("unexpected argument \"%s\"", args.operands[0]);
    if (args.bAll)
        return UsageError("%s: --all and --known exclude each other", args.pszCommand);
    KnownOptions options;
    options.bInstalledOnly = args.bInstalled;
    options.bUnblockedOnly = args.bUnblocked;
    options.bAdd = args.bAdd;
    options.format = format;
    options.readers = readers;
    if (IsCommand(args.pszCommand, "check"))
        return CheckKnownCommand(options);
    if (IsCommand(args.pszCommand, "block"))
        return BlockKnownCommand(options);
    return KnownCommand(options);
}

int Run(const Arguments& args) {
    const char* pszCommand = args.pszCommand;
    bool bList = IsCommand(pszCommand, "list");
    bool bScan = IsCommand(pszCommand, "scan");
    bool bCheck = IsCommand(pszCommand, "check");
    bool bBlock = IsCommand(pszCommand, "block");
    bool bUnblock = IsCommand(pszCommand, "unblock");
    bool bExport = IsCommand(pszCommand, "export");
    bool bImport = IsCommand(pszCommand, "import");
    bool bKnownList = IsCommand(pszCommand, "known");
    if (!bList && !bScan && !bCheck && !bBlock && !bUnblock && !bExport && !bImport && !bKnownList)
        return UsageError("unknown command \"%s\"", pszCommand);
    if ((args.bCsv || args.bJson) && !bList && !bScan && !bKnownList)
        return UsageError("--csv and --json go with list, scan and known, not with %s", pszCommand);
    if (args.bCsv && args.bJson)
        return UsageError("%s: --csv and --json exclude each other", pszCommand);
    if (args.bScriptable && !bScan)
        return UsageError("--scriptable goes with scan, not with %s", pszCommand);
    if (args.bUnblocked && !bScan && !bKnownList)
        return UsageError("--unblocked goes with scan and known, not with %s", pszCommand);
    if (args.bKnown && !bScan && !bCheck && !bBlock)
        return UsageError("--known goes with scan, check and block, not with %s", pszCommand);
    if (args.bInstalled && !bKnownList && !(args.bKnown && !bScan))
        return UsageError("--installed goes with known and --known, not with %s", pszCommand);
    if (args.bAdd && !bScan && !bBlock)
        return UsageError("--add goes with scan and block, not with %s", pszCommand);
    if (args.bAll && !bBlock && !bUnblock && !bCheck)
        return UsageError("--all goes with block, unblock and check, not with %s", pszCommand);
    if (args.pszAddName && !bBlock && !bUnblock)
        return UsageError("--add NAME goes with block and unblock, not with %s", pszCommand);
    if (args.bOffice && !bBlock && !bUnblock && !bCheck && !bExport)
        return UsageError("--office goes with block, unblock, check and export, not with %s",
                          pszCommand);
    if (args.bGpp && !bExport)
        return UsageError("--gpp goes with export, not with %s", pszCommand);
    OutputFormat format = args.bCsv ? FORMAT_CSV : args.bJson ? FORMAT_JSON : FORMAT_TEXT;
    unsigned readers = READER_IE | (args.bOffice ? READER_OFFICE : 0);
    if (bKnownList || (args.bKnown && !bScan))
        return RunKnown(args, format, readers);

    if (bList || bScan) {
        if (!args.operands.empty())
            return UsageError("unexpected argument \"%s\"", args.operands[0]);
        if (bList)
            return ListCommand(format);
        ScanOptions options;
        options.bUnblockedOnly = args.bUnblocked;
        options.bScriptableOnly = args.bScriptable;
        options.bAdd = args.bAdd;
        options.bKnownOnly = args.bKnown;
        options.format = format;
        return ScanCommand(options);
    }
    if (bExport || bImport) {
        if (args.operands.empty())
            return UsageError("%s needs a FILE argument", pszCommand);
        if (args.operands.size() > 1)
            return UsageError("unexpected argument \"%s\"", args.operands[1]);
        return bExport ? ExportCommand(args.operands[0], args.bGpp, readers)
                       : ImportCommand(args.operands[0]);
    }

    if (args.bAll && args.pszAddName)
        return UsageError("%s: --all and --add exclude each other", pszCommand);
    if (args.bAll && !args.operands.empty())
        return UsageError("unexpected argument \"%s\" after --all", args.operands[0]);
    if (!args.bAll && args.operands.empty())
        return UsageError("%s needs a CLSID or --all", pszCommand);
    if (args.pszAddName && args.operands.size() != 1)
        return UsageError("--add takes exactly one CLSID, not \"%s\" too", args.operands[1]);
    std::vector<CString> clsids;
    int nParsed = ParseClsids(args.operands, &clsids);
    if (nParsed != EXIT_OK)
        return nParsed;
    if (bCheck)
        return CheckCommand(clsids, args.bAll, readers);
    return SetBlockedCommand(bBlock, clsids, args.bAll, args.pszAddName, readers);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (IsHelp(argv[i])) {
            Print(kUsage);
            return FinishOutput(EXIT_OK);
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
    return FinishOutput(Run(args));
}
