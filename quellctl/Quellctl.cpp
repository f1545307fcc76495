// quellctl: the kill bits of the Quellbox list from the command line, for scripts and for
// deployment to many machines.
#include "framework/WinApp.h"
#include "quellctl/Commands.h"
#include "storage/ClsidText.h"
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
    "                           ? not a number), the same for Office, and its COM\n"
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
    "  unblock CLSID... | --all | --add NAME CLSID\n"
    "                           Clears the kill bit, as block sets it.\n"
    "  export [--office] FILE.reg\n"
    "                           Writes the flags of every listed control as a .reg file\n"
    "                           for \"reg import\" on other machines.\n"
    "  export [--office] --gpp FILE.xml\n"
    "                           Writes them as a Group Policy Preferences Registry.xml.\n"
    "  import FILE              Lists the controls of a .reg file, or of a text file with\n"
    "                           one CLSID and an optional name a line.\n"
    "\n"
    "  --ini PATH               The list file; by default Quellbox.ini beside quellctl.exe.\n"
    "  --csv, --json            Comma-separated values, or a JSON array in UTF-8.\n"
    "  --office                 block, unblock, check and export cover Office's kill bits\n"
    "                           too (not with --known: the catalogue is Internet\n"
    "                           Explorer's); export carries Office's flags as they are.\n"
    "  /?, --help               Shows this help.\n"
    "\n"
    "A CLSID is 32 hexadecimal digits as 8-4-4-4-12, with or without braces, in any case.\n"
    "Exit code: 0 done, 1 failed (see the messages), 2 bad arguments.\n";

struct Arguments {
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

// The switches, and the commands each goes with.
struct Switch {
    const char* pszName;
    bool Arguments::*pbSet;
    const char* pszCommands;
};
const Switch kSwitches[] = {
    {"--csv", &Arguments::bCsv, "list, scan and known"},
    {"--json", &Arguments::bJson, "list, scan and known"},
    {"--all", &Arguments::bAll, "block, unblock and check"},
    {"--unblocked", &Arguments::bUnblocked, "scan and known"},
    {"--scriptable", &Arguments::bScriptable, "scan"},
    {"--office", &Arguments::bOffice, "block, unblock, check and export"},
    {"--known", &Arguments::bKnown, "scan, check and block"},
    {"--installed", &Arguments::bInstalled, "known, check --known and block --known"},
    {"--add", &Arguments::bAdd, "scan and block --known"},
    {"--gpp", &Arguments::bGpp, "export"},
};

// Whether a list such as "scan, check and block --known" names the command, as a whole item.
bool NamesCommand(const char* pszCommands, const char* pszCommand) {
    const size_t nLength = strlen(pszCommand);
    for (const char* p = pszCommands; *p; ++p) {
        if ((p == pszCommands || p[-1] == ' ') && _strnicmp(p, pszCommand, nLength) == 0 &&
            (p[nLength] == '\0' || p[nLength] == ',' || strncmp(p + nLength, " and ", 5) == 0))
            return true;
    }
    return false;
}

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
        // scan's and block --known's --add is a switch; block's and unblock's takes the name.
        bool bAddName =
            _stricmp(pszArg, "--add") == 0 && !IsCommand(pArgs->pszCommand, "scan") && !bKnown;
        if (bAddName || _stricmp(pszArg, "--ini") == 0) {
            // A forgotten value must not take the next option's place.
            if (i + 1 >= argc || argv[i + 1][0] == '\0' || strncmp(argv[i + 1], "--", 2) == 0)
                return UsageError("%s needs a value", pszArg);
            if (bAddName)
                pArgs->pszAddName = argv[++i];
            else
                pArgs->pszIni = argv[++i];
            continue;
        }
        const Switch* pSwitch = NULL;
        for (const Switch& sw : kSwitches) {
            if (_stricmp(pszArg, sw.pszName) == 0)
                pSwitch = &sw;
        }
        if (pSwitch != NULL)
            pArgs->*pSwitch->pbSet = true;
        else if (pszArg[0] == '-' && pszArg[1] != '\0')
            return UsageError("unknown option \"%s\"", pszArg);
        else if (pArgs->pszCommand == NULL)
            pArgs->pszCommand = pszArg;
        else
            pArgs->operands.push_back(pszArg);
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
    // Microsoft killed these for Internet Explorer only; Office forms use some of them.
    if (readers & READER_OFFICE)
        return UsageError("%s: --known and --office exclude each other: the catalogue holds "
                          "Internet Explorer's kill bits, and Office keeps its own (block one "
                          "control for Office with: block --office CLSID)",
                          args.pszCommand);
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
    // "check --known" and "block --known" stand for themselves where a switch names them.
    CString strUse = CString(pszCommand) + (args.bKnown && !bScan ? " --known" : "");
    for (const Switch& sw : kSwitches) {
        if (args.*sw.pbSet && !NamesCommand(sw.pszCommands, strUse) &&
            !NamesCommand(sw.pszCommands, pszCommand)) {
            CString strError;
            strError.Format("%s goes with %s, not with %s", sw.pszName, sw.pszCommands,
                            static_cast<LPCSTR>(strUse));
            return UsageError("%s", strError);
        }
    }
    if (args.bCsv && args.bJson)
        return UsageError("%s: --csv and --json exclude each other", pszCommand);
    if (args.pszAddName && !bBlock && !bUnblock)
        return UsageError("--add NAME goes with block and unblock, not with %s", pszCommand);
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
