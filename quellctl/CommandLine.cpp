#include "quellctl/CommandLine.h"

#include "quellctl/Commands.h"
#include "storage/ClsidText.h"

#include <string.h>

const char QUELLCTL_USAGE[] =
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

namespace {

// The switches; "--add NAME" takes a value where a command lists its controls under a name.
enum SwitchBit : unsigned {
    SW_CSV = 1 << 0,
    SW_JSON = 1 << 1,
    SW_ALL = 1 << 2,
    SW_UNBLOCKED = 1 << 3,
    SW_SCRIPTABLE = 1 << 4,
    SW_OFFICE = 1 << 5,
    SW_KNOWN = 1 << 6,
    SW_INSTALLED = 1 << 7,
    SW_ADD = 1 << 8,      // a switch
    SW_ADD_NAME = 1 << 9, // with a value
    SW_GPP = 1 << 10,
};
struct Switch {
    const char* pszName;
    unsigned bits; // as one command or another takes it
    bool Arguments::*pbSet;
};
const Switch kSwitches[] = {
    {"--csv", SW_CSV, &Arguments::bCsv},
    {"--json", SW_JSON, &Arguments::bJson},
    {"--all", SW_ALL, &Arguments::bAll},
    {"--unblocked", SW_UNBLOCKED, &Arguments::bUnblocked},
    {"--scriptable", SW_SCRIPTABLE, &Arguments::bScriptable},
    {"--office", SW_OFFICE, &Arguments::bOffice},
    {"--known", SW_KNOWN, &Arguments::bKnown},
    {"--installed", SW_INSTALLED, &Arguments::bInstalled},
    {"--add", SW_ADD | SW_ADD_NAME, &Arguments::bAdd},
    {"--gpp", SW_GPP, &Arguments::bGpp},
};

int RunList(const Arguments& args, COutput& out);
int RunScan(const Arguments& args, COutput& out);
int RunKnown(const Arguments& args, COutput& out);
int RunCheckKnown(const Arguments& args, COutput& out);
int RunBlockKnown(const Arguments& args, COutput& out);
int RunCheck(const Arguments& args, COutput& out);
int RunBlock(const Arguments& args, COutput& out);
int RunUnblock(const Arguments& args, COutput& out);
int RunExport(const Arguments& args, COutput& out);
int RunImport(const Arguments& args, COutput& out);

// Every command, once with --known where that makes it another: the switches it takes and what
// runs it. A new command is one more row and its function.
struct Form {
    const char* pszCommand;
    bool bKnown;
    unsigned switches;
    int (*pfnRun)(const Arguments& args, COutput& out);
};
const Form kForms[] = {
    {"list", false, SW_CSV | SW_JSON, RunList},
    {"scan", false, SW_CSV | SW_JSON | SW_UNBLOCKED | SW_SCRIPTABLE | SW_KNOWN | SW_ADD, RunScan},
    {"known", false, SW_CSV | SW_JSON | SW_UNBLOCKED | SW_INSTALLED, RunKnown},
    {"check", true, SW_KNOWN | SW_INSTALLED, RunCheckKnown},
    {"block", true, SW_KNOWN | SW_INSTALLED | SW_ADD, RunBlockKnown},
    {"check", false, SW_ALL | SW_OFFICE, RunCheck},
    {"block", false, SW_ALL | SW_OFFICE | SW_ADD_NAME, RunBlock},
    {"unblock", false, SW_ALL | SW_OFFICE | SW_ADD_NAME, RunUnblock},
    {"export", false, SW_OFFICE | SW_GPP, RunExport},
    {"import", false, 0, RunImport},
};

bool IsHelp(const char* pszArg) {
    return strcmp(pszArg, "/?") == 0 || strcmp(pszArg, "-?") == 0 ||
           _stricmp(pszArg, "--help") == 0 || _stricmp(pszArg, "-h") == 0;
}

int UsageError(COutput& out, const char* pszFormat, const char* pszArg) {
    CString message;
    message.Format(pszFormat, pszArg);
    out.PrintError("%s\nTry \"quellctl /?\".", static_cast<LPCSTR>(message));
    return EXIT_USAGE;
}

// The command's form with --known, when it has one and --known is given, else its plain one.
const Form* FindForm(const char* pszCommand, bool bKnown) {
    const Form* pPlain = NULL;
    for (const Form& form : kForms) {
        if (_stricmp(form.pszCommand, pszCommand) != 0)
            continue;
        if (form.bKnown == bKnown)
            return &form;
        if (!form.bKnown)
            pPlain = &form;
    }
    return pPlain;
}

// The command as a user names it, with --known where that makes it another.
CString FormName(const Form& form) {
    return CString(form.pszCommand) + (form.bKnown ? " --known" : "");
}

// "scan, check --known and block --known": the commands that take the switch.
CString FormsTaking(const Switch& sw) {
    std::vector<CString> names;
    for (const Form& form : kForms) {
        if (form.switches & sw.bits)
            names.push_back(sw.bits == SW_KNOWN ? CString(form.pszCommand) : FormName(form));
    }
    CString text;
    for (size_t i = 0; i < names.size(); ++i)
        text += CString(i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return text;
}

// Every CLSID is checked before the first is acted on: a typo stops the whole command.
int ParseClsids(COutput& out, const std::vector<const char*>& operands,
                std::vector<CString>* pClsids) {
    for (const char* pszOperand : operands) {
        CString strClsid;
        if (!ParseClsid(pszOperand, &strClsid))
            return UsageError(out, "\"%s\" is not a CLSID (8-4-4-4-12 hexadecimal digits)",
                              pszOperand);
        pClsids->push_back(strClsid);
    }
    return EXIT_OK;
}

int NoOperands(const Arguments& args, COutput& out) {
    return args.operands.empty() ? EXIT_OK
                                 : UsageError(out, "unexpected argument \"%s\"", args.operands[0]);
}

OutputFormat TableFormat(const Arguments& args) {
    return args.bCsv ? FORMAT_CSV : args.bJson ? FORMAT_JSON : FORMAT_TEXT;
}

unsigned Readers(const Arguments& args) {
    return args.bOffice ? READER_ALL : static_cast<unsigned>(READER_IE);
}

int RunList(const Arguments& args, COutput& out) {
    int nChecked = NoOperands(args, out);
    return nChecked != EXIT_OK ? nChecked : ListCommand(out, TableFormat(args));
}

int RunScan(const Arguments& args, COutput& out) {
    int nChecked = NoOperands(args, out);
    if (nChecked != EXIT_OK)
        return nChecked;
    ScanOptions options;
    options.bUnblockedOnly = args.bUnblocked;
    options.bScriptableOnly = args.bScriptable;
    options.bAdd = args.bAdd;
    options.bKnownOnly = args.bKnown;
    options.format = TableFormat(args);
    return ScanCommand(out, options);
}

KnownOptions KnownOptionsOf(const Arguments& args) {
    KnownOptions options;
    options.bInstalledOnly = args.bInstalled;
    options.bUnblockedOnly = args.bUnblocked;
    options.bAdd = args.bAdd;
    options.format = TableFormat(args);
    return options;
}

int RunKnown(const Arguments& args, COutput& out) {
    int nChecked = NoOperands(args, out);
    return nChecked != EXIT_OK ? nChecked : KnownCommand(out, KnownOptionsOf(args));
}

int RunCheckKnown(const Arguments& args, COutput& out) {
    int nChecked = NoOperands(args, out);
    return nChecked != EXIT_OK ? nChecked : CheckKnownCommand(out, KnownOptionsOf(args));
}

int RunBlockKnown(const Arguments& args, COutput& out) {
    int nChecked = NoOperands(args, out);
    return nChecked != EXIT_OK ? nChecked : BlockKnownCommand(out, KnownOptionsOf(args));
}

// The CLSIDs of check, block and unblock: named, or --all.
int TargetClsids(const Arguments& args, COutput& out, std::vector<CString>* pClsids) {
    const char* pszCommand = args.pszCommand;
    if (args.bAll && args.pszAddName)
        return UsageError(out, "%s: --all and --add exclude each other", pszCommand);
    if (args.bAll && !args.operands.empty())
        return UsageError(out, "unexpected argument \"%s\" after --all", args.operands[0]);
    if (!args.bAll && args.operands.empty())
        return UsageError(out, "%s needs a CLSID or --all", pszCommand);
    if (args.pszAddName && args.operands.size() != 1)
        return UsageError(out, "--add takes exactly one CLSID, not \"%s\" too", args.operands[1]);
    return ParseClsids(out, args.operands, pClsids);
}

int RunCheck(const Arguments& args, COutput& out) {
    std::vector<CString> clsids;
    int nParsed = TargetClsids(args, out, &clsids);
    return nParsed != EXIT_OK ? nParsed : CheckCommand(out, clsids, args.bAll, Readers(args));
}

int RunSetBlocked(const Arguments& args, COutput& out, bool bBlocked) {
    std::vector<CString> clsids;
    int nParsed = TargetClsids(args, out, &clsids);
    return nParsed != EXIT_OK ? nParsed
                              : SetBlockedCommand(out, bBlocked, clsids, args.bAll, args.pszAddName,
                                                  Readers(args));
}

int RunBlock(const Arguments& args, COutput& out) { return RunSetBlocked(args, out, true); }

int RunUnblock(const Arguments& args, COutput& out) { return RunSetBlocked(args, out, false); }

// The one FILE of export and import.
int FileOperand(const Arguments& args, COutput& out) {
    if (args.operands.empty())
        return UsageError(out, "%s needs a FILE argument", args.pszCommand);
    if (args.operands.size() > 1)
        return UsageError(out, "unexpected argument \"%s\"", args.operands[1]);
    return EXIT_OK;
}

int RunExport(const Arguments& args, COutput& out) {
    int nChecked = FileOperand(args, out);
    return nChecked != EXIT_OK ? nChecked
                               : ExportCommand(out, args.operands[0],
                                               args.bGpp ? EXPORT_GPP : EXPORT_REG, Readers(args));
}

int RunImport(const Arguments& args, COutput& out) {
    int nChecked = FileOperand(args, out);
    return nChecked != EXIT_OK ? nChecked : ImportCommand(out, args.operands[0]);
}

} // namespace

int ParseCommandLine(int argc, char** argv, COutput& out, Arguments* pArgs) {
    for (int i = 1; i < argc; ++i)
        pArgs->bHelp = pArgs->bHelp || IsHelp(argv[i]);
    if (pArgs->bHelp)
        return EXIT_OK;
    // The command is the first argument that is no option nor the list file's path; --known
    // anywhere makes check and block other commands.
    bool bKnown = false;
    for (int i = 1; i < argc; ++i) {
        bKnown = bKnown || _stricmp(argv[i], "--known") == 0;
        if (_stricmp(argv[i], "--ini") == 0)
            ++i;
        else if (argv[i][0] != '-' && pArgs->pszCommand == NULL)
            pArgs->pszCommand = argv[i];
    }
    const Form* pForm = pArgs->pszCommand ? FindForm(pArgs->pszCommand, bKnown) : NULL;
    const unsigned switches = pForm ? pForm->switches : 0;
    unsigned used = 0;
    bool bCommandSeen = false;
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        const bool bAddName = _stricmp(pszArg, "--add") == 0 && (switches & SW_ADD_NAME) != 0;
        if (bAddName || _stricmp(pszArg, "--ini") == 0) {
            // A forgotten value must not take the next option's place.
            if (i + 1 >= argc || argv[i + 1][0] == '\0' || strncmp(argv[i + 1], "--", 2) == 0)
                return UsageError(out, "%s needs a value", pszArg);
            (bAddName ? pArgs->pszAddName : pArgs->pszIni) = argv[++i];
            used |= bAddName ? static_cast<unsigned>(SW_ADD_NAME) : 0u;
            continue;
        }
        const Switch* pSwitch = NULL;
        for (const Switch& sw : kSwitches) {
            if (_stricmp(pszArg, sw.pszName) == 0)
                pSwitch = &sw;
        }
        if (pSwitch != NULL) {
            pArgs->*pSwitch->pbSet = true;
            used |= pSwitch->bits;
        } else if (pszArg[0] == '-' && pszArg[1] != '\0') {
            return UsageError(out, "unknown option \"%s\"", pszArg);
        } else if (!bCommandSeen && pszArg == pArgs->pszCommand) {
            bCommandSeen = true;
        } else {
            pArgs->operands.push_back(pszArg);
        }
    }
    if (pArgs->pszCommand == NULL) {
        out.PrintErrorText(QUELLCTL_USAGE);
        return EXIT_USAGE;
    }
    if (pForm == NULL)
        return UsageError(out, "unknown command \"%s\"", pArgs->pszCommand);
    // Microsoft killed the catalogue's controls for Internet Explorer; Office forms use some.
    if (pForm->bKnown && pArgs->bOffice)
        return UsageError(out,
                          "%s --known: --known and --office exclude each other: the catalogue "
                          "holds Internet Explorer's kill bits, and Office keeps its own (block "
                          "one control for Office with: block --office CLSID)",
                          pForm->pszCommand);
    for (const Switch& sw : kSwitches) {
        if ((used & sw.bits) != 0 && (switches & sw.bits) == 0) {
            CString strError;
            strError.Format("%s goes with %s, not with %s", sw.pszName,
                            static_cast<LPCSTR>(FormsTaking(sw)),
                            static_cast<LPCSTR>(FormName(*pForm)));
            return UsageError(out, "%s", strError);
        }
    }
    if (pArgs->bCsv && pArgs->bJson)
        return UsageError(out, "%s: --csv and --json exclude each other", pArgs->pszCommand);
    return EXIT_OK;
}

int RunCommand(const Arguments& args, COutput& out) {
    return FindForm(args.pszCommand, args.bKnown)->pfnRun(args, out);
}
