#include "quellctl/Commands.h"

#include "framework/File.h"
#include "framework/WinApp.h"
#include "quellctl/Table.h"
#include "quellctl/Transfer.h"
#include "storage/ClsidText.h"
#include "storage/ComRegistration.h"
#include "storage/EntryList.h"
#include "storage/KillBit.h"
#include "storage/KnownKillBits.h"
#include "storage/ListLock.h"

#include <stdarg.h>
#include <stdio.h>

#include <map>
#include <set>
#include <string>

namespace {

DWORD g_dwOutputError = ERROR_SUCCESS; // of the first write to stdout that failed

std::string Count(int n, LPCSTR pszOne, LPCSTR pszMany) {
    return std::to_string(n) + " " + (n == 1 ? pszOne : pszMany);
}

LPCSTR ListFile() { return AfxGetApp()->m_pszProfileName; }

// Why the list file could not be read or saved. A failed save may have left the list in its
// temporary file alone: that file is named, so that it can be put back.
std::string ListFileError(DWORD dwError) {
    const std::string temp = AfxOrphanedTempFile(ListFile());
    if (!temp.empty())
        return "it is missing, and the last list saved is only in " + temp +
               "; rename that file to the list file's name first";
    return static_cast<LPCSTR>(AfxGetSystemMessage(dwError));
}

// An unreadable list file must not pass for an empty list. With a lock, for a command that
// changes the list, the list is locked first, and stays so while the lock lives.
bool LoadEntries(CEntryArray* pEntries, CListLock* pLock = NULL) {
    if (pLock != NULL && !pLock->Lock(ListFile())) {
        PrintError("the list file %s is being changed by another program (%s is held); "
                   "nothing was done",
                   ListFile(), static_cast<LPCSTR>(CListLock::LockFileOf(ListFile())));
        return false;
    }
    ListAsRead asRead;
    if (!EntryList::Load(*pEntries, &asRead)) {
        PrintError("cannot read the list file %s: %s", ListFile(),
                   ListFileError(::GetLastError()).c_str());
        return false;
    }
    // Such a position is no entry, and goes at the next save: said, so that nothing goes unseen.
    for (int nPosition : asRead.skipped)
        PrintError("%s: skipped entry %d: it has no CLSID (S%d)", ListFile(), nPosition, nPosition);
    return true;
}

// For answers about the whole list: a list file that is not there, such as a mistyped --ini,
// must not pass for an empty list.
int LoadExistingEntries(CEntryArray* pEntries) {
    if (::GetFileAttributesW(AfxLongPath(ListFile()).data()) == INVALID_FILE_ATTRIBUTES &&
        (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND) &&
        AfxOrphanedTempFile(ListFile()).empty()) {
        PrintError("the list file %s does not exist", ListFile());
        return EXIT_USAGE;
    }
    return LoadEntries(pEntries) ? EXIT_OK : EXIT_FAILED;
}

// For looking CLSIDs up among many entries, one look-up each.
std::set<std::string> ListedClsids(const CEntryArray& entries) {
    std::set<std::string> listed;
    for (const Entry& entry : entries.m_entries)
        listed.insert(static_cast<LPCSTR>(entry.strClsid));
    return listed;
}

// Only the list: which controls are listed is the command's business, their kill bits are not.
bool SaveList(const CEntryArray& entries) {
    SaveResult result = EntryList::Save(entries, EntryList::LIST_ONLY);
    if (!result.bListFileSaved)
        PrintError("cannot save the list file %s: %s", ListFile(),
                   ListFileError(result.dwListFileError).c_str());
    return result.Succeeded();
}

const char kPartlyBlocked[] = "is blocked in some registry views only; block or unblock it first";

// The dialog's limit for a name.
const int kMaxNameBytes = 50;
// Longer names and server paths are bad data: shown cut, so that one cannot widen every line.
const int kMaxShownBytes = 260;

CString FlagsCell(RawDwordState state, DWORD dwFlags) {
    CString strCell;
    switch (state) {
    case RAW_MISSING:
        strCell = "-";
        break;
    case RAW_NOT_FLAGS:
        strCell = "?";
        break;
    case RAW_DWORD:
        strCell.Format("0x%08lX", static_cast<unsigned long>(dwFlags));
        break;
    }
    return strCell;
}

} // namespace

// Each reader's kill-bit columns: blocked or not, then its raw flags on 32-bit Windows, or in the
// 32-bit and the 64-bit view; then, for Office, the overrides in the same way, shown by the text
// and the CSV only where some key has one.
struct KillBitColumns {
    unsigned reader;
    CColumn columns[4];
    CColumn overrides[3];
};
const KillBitColumns kKillBitColumns[] = {
    {READER_IE,
     {{"Blocked", "blocked", JSON_YES_NO},
      {"Flags", "flags", JSON_TEXT},
      {"Flags32", "flags32", JSON_TEXT},
      {"Flags64", "flags64", JSON_TEXT}},
     {}},
    {READER_OFFICE,
     {{"Office", "officeBlocked", JSON_YES_NO},
      {"OfficeFlags", "officeFlags", JSON_TEXT},
      {"OfficeFlags32", "officeFlags32", JSON_TEXT},
      {"OfficeFlags64", "officeFlags64", JSON_TEXT}},
     {{"OfficeOverride", "officeOverride", JSON_TEXT_OR_NULL, true},
      {"OfficeOverride32", "officeOverride32", JSON_TEXT_OR_NULL, true},
      {"OfficeOverride64", "officeOverride64", JSON_TEXT_OR_NULL, true}}},
};

// Internet Explorer's alternate for the control, and whether it is blocked in every view.
const CColumn kAlternateColumns[] = {{"Alternate", "alternate", JSON_TEXT_OR_NULL},
                                     {"AltBlocked", "alternateBlocked", JSON_YES_NO_OR_NULL}};

// The column of a view among one, or among a 32-bit and a 64-bit one.
const CColumn& ViewColumn(const CColumn* pOneView32And64, REGSAM samView) {
    return pOneView32And64[RegistryViews().GetCount() == 1 ? 0
                           : samView == KEY_WOW64_32KEY    ? 1
                                                           : 2];
}

void AddKillBitColumns(std::vector<CColumn>* pColumns) {
    for (const KillBitColumns& reader : kKillBitColumns) {
        pColumns->push_back(reader.columns[0]);
        for (REGSAM samView : RegistryViews())
            pColumns->push_back(ViewColumn(reader.columns + 1, samView));
        if (reader.reader == READER_IE)
            pColumns->insert(pColumns->end(), std::begin(kAlternateColumns),
                             std::end(kAlternateColumns));
        if (reader.reader == READER_OFFICE) {
            for (REGSAM samView : RegistryViews())
                pColumns->push_back(ViewColumn(reader.overrides, samView));
        }
    }
}

// A view's cell holds a value of each of the reader's keys in that view, blank-separated.
template <class Cell>
CString ViewCell(const KillBitFlags& flags, unsigned reader, REGSAM samView, Cell cell) {
    CString strCell;
    for (const KillBitValue& value : flags.values) {
        if (value.key.pConsumer->reader == reader && value.key.samView == samView)
            strCell += CString(strCell.IsEmpty() ? "" : " ") + cell(value);
    }
    return strCell;
}

void AddKillBitCells(const KillBitFlags& flags, std::vector<CString>* pRow) {
    for (const KillBitColumns& reader : kKillBitColumns) {
        pRow->push_back(flags.IsBlocked(reader.reader) ? "yes" : "no");
        for (REGSAM samView : RegistryViews())
            pRow->push_back(ViewCell(flags, reader.reader, samView, [](const KillBitValue& value) {
                return FlagsCell(value.state, value.value);
            }));
        if (reader.reader == READER_IE) {
            const CString strAlternate = ReadAlternate(flags);
            const bool bKnown = !strAlternate.IsEmpty() && strAlternate.Compare("?") != 0;
            pRow->push_back(strAlternate);
            pRow->push_back(!bKnown                                      ? ""
                            : ReadKillBitFlags(strAlternate).IsBlocked() ? "yes"
                                                                         : "no");
        }
        if (reader.reader == READER_OFFICE) {
            bool bAny = false;
            for (const KillBitValue& value : flags.values)
                bAny = bAny || value.overrideState != RAW_MISSING;
            for (REGSAM samView : RegistryViews())
                pRow->push_back(
                    !bAny ? CString()
                          : ViewCell(flags, reader.reader, samView, [](const KillBitValue& value) {
                                return FlagsCell(value.overrideState, value.override);
                            }));
        }
    }
}

std::string FormatTable(const CTable& table, OutputFormat format) {
    switch (format) {
    case FORMAT_CSV:
        return table.FormatCsv();
    case FORMAT_JSON:
        return table.FormatJson();
    case FORMAT_TEXT:
        break;
    }
    return table.FormatText();
}

namespace {

// "32 64": the views a control is registered in, by their bitness.
CString ViewsCell(unsigned viewMask) {
    CString strViews;
    unsigned viewBit = 1;
    for (REGSAM samView : RegistryViews()) {
        if (viewMask & viewBit)
            strViews +=
                CString(strViews.IsEmpty() ? "" : " ") + (samView == KEY_WOW64_64KEY ? "64" : "32");
        viewBit <<= 1;
    }
    return strViews;
}

} // namespace

CString NameToList(const CString& strText, const CString& strClsid) {
    CString strName = LeftWholeChars(strText, kMaxNameBytes);
    // Control characters are single bytes below every trail byte: replaced in place.
    LPSTR psz = strName.GetBuffer(strName.GetLength());
    for (LPSTR p = psz; *p; ++p) {
        if (*p > 0 && *p < 0x20)
            *p = ' ';
    }
    strName.ReleaseBuffer();
    strName.TrimLeft();
    strName.TrimRight();
    return strName.IsEmpty() ? strClsid : strName;
}

void Print(const std::string& text) {
    // The C runtime may fail without a system call that sets the error.
    ::SetLastError(ERROR_SUCCESS);
    if ((fwrite(text.data(), 1, text.size(), stdout) != text.size() || fflush(stdout) != 0) &&
        g_dwOutputError == ERROR_SUCCESS) {
        g_dwOutputError = ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
    }
}

int FinishOutput(int nExitCode) {
    if (g_dwOutputError == ERROR_SUCCESS)
        return nExitCode;
    PrintError("cannot write the output: %s",
               static_cast<LPCSTR>(AfxGetSystemMessage(g_dwOutputError)));
    return nExitCode == EXIT_OK ? EXIT_FAILED : nExitCode;
}

void PrintError(LPCSTR pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    fputs("quellctl: ", stderr);
    vfprintf(stderr, pszFormat, args);
    fputs("\n", stderr);
    va_end(args);
    fflush(stderr);
}

int ListCommand(OutputFormat format) {
    CEntryArray entries;
    if (!LoadEntries(&entries))
        return EXIT_FAILED;
    std::vector<CColumn> columns = {{"Name", "name", JSON_TEXT}, {"CLSID", "clsid", JSON_TEXT}};
    AddKillBitColumns(&columns);
    columns.insert(columns.end(), {{"Registered", "registered", JSON_YES_NO},
                                   {"Class", "className", JSON_TEXT},
                                   {"Server", "server", JSON_TEXT}});
    CTable table(columns);
    const std::vector<KillBitKey> locations = KillBitLocations(READER_IE | READER_OFFICE);
    for (const Entry& entry : entries.m_entries) {
        std::vector<CString> row = {entry.strName, entry.strClsid};
        AddKillBitCells(ReadKillBitFlags(entry.strClsid, locations), &row);
        ComRegistration reg;
        bool bRegistered = FindComRegistration(entry.strClsid, &reg);
        row.insert(row.end(), {bRegistered ? "yes" : "no", reg.strClassName, reg.strServer});
        table.AddRow(row);
    }
    Print(FormatTable(table, format));
    return EXIT_OK;
}

int ScanCommand(const ScanOptions& options) {
    CListLock lock;
    CEntryArray entries;
    if (!LoadEntries(&entries, options.bAdd ? &lock : NULL))
        return EXIT_FAILED;
    std::set<std::string> listed = ListedClsids(entries);

    std::vector<InstalledControl> controls = ScanInstalledControls();
    std::vector<const InstalledControl*> shown;
    for (const InstalledControl& control : controls) {
        if (options.bUnblockedOnly && control.killBit.IsBlocked())
            continue;
        if (options.bScriptableOnly && !control.bSafeForScripting && !control.bSafeForInitializing)
            continue;
        if (options.bKnownOnly && KnownKillBitDocuments(control.strClsid).IsEmpty())
            continue;
        shown.push_back(&control);
    }
    // Only the list is saved: every kill bit stays as it is, for the administrator to review. A
    // control blocked in some views only is left out: its row would unblock it at the dialog's
    // next OK.
    int nAdded = 0;
    bool bSaved = true;
    if (options.bAdd) {
        std::vector<const InstalledControl*> added;
        for (const InstalledControl* pControl : shown) {
            if (listed.count(static_cast<LPCSTR>(pControl->strClsid)) != 0)
                continue;
            if (pControl->killBit.IsPartlyBlocked()) {
                PrintError("not listed: %s %s", static_cast<LPCSTR>(pControl->strClsid),
                           kPartlyBlocked);
                continue;
            }
            Entry entry = {NameToList(pControl->reg.strClassName, pControl->strClsid),
                           pControl->strClsid, pControl->killBit.IsBlocked()};
            entries.m_entries.push_back(entry);
            added.push_back(pControl);
        }
        nAdded = static_cast<int>(added.size());
        bSaved = nAdded == 0 || SaveList(entries);
        if (bSaved) {
            for (const InstalledControl* pControl : added)
                listed.insert(static_cast<LPCSTR>(pControl->strClsid));
        }
    }

    std::vector<CColumn> columns = {{"CLSID", "clsid", JSON_TEXT},
                                    {"Name", "name", JSON_TEXT},
                                    {"Server", "server", JSON_TEXT},
                                    {"Views", "views", JSON_NUMBERS},
                                    {"SafeScripting", "safeForScripting", JSON_YES_NO},
                                    {"SafeInit", "safeForInitializing", JSON_YES_NO}};
    AddKillBitColumns(&columns);
    columns.push_back({"Listed", "listed", JSON_YES_NO});
    columns.push_back({"Known", "known", JSON_LIST});
    CTable table(columns);
    for (const InstalledControl* pControl : shown) {
        std::vector<CString> row = {pControl->strClsid,
                                    LeftWholeChars(pControl->reg.strClassName, kMaxShownBytes),
                                    LeftWholeChars(pControl->reg.strServer, kMaxShownBytes),
                                    ViewsCell(pControl->viewMask),
                                    pControl->bSafeForScripting ? "yes" : "no",
                                    pControl->bSafeForInitializing ? "yes" : "no"};
        AddKillBitCells(pControl->killBit, &row);
        row.push_back(listed.count(static_cast<LPCSTR>(pControl->strClsid)) ? "yes" : "no");
        row.push_back(KnownKillBitDocuments(pControl->strClsid));
        table.AddRow(row);
    }
    Print(FormatTable(table, options.format));
    if (options.bAdd && bSaved && options.format == FORMAT_TEXT)
        Print("added " + Count(nAdded, "entry", "entries") + " to " + ListFile() + "\n");
    return bSaved ? EXIT_OK : EXIT_FAILED;
}

int CheckCommand(const std::vector<CString>& clsids, bool bAll, unsigned readers) {
    CEntryArray entries;
    if (bAll) {
        int nLoaded = LoadExistingEntries(&entries);
        if (nLoaded != EXIT_OK)
            return nLoaded;
    } else {
        for (const CString& strClsid : clsids)
            entries.m_entries.push_back({CString(), strClsid, false});
    }
    return CheckEntries(entries.m_entries, readers);
}

int CheckEntries(const std::vector<Entry>& entries, unsigned readers) {
    // One write for all the lines: one each costs more than the check itself for hundreds.
    std::string unblocked;
    const std::vector<KillBitKey> locations = KillBitLocations(readers);
    for (const Entry& entry : entries) {
        const KillBitFlags flags = ReadKillBitFlags(entry.strClsid, locations);
        if (flags.IsBlocked(readers))
            continue;
        const bool bEmbeddingOnly = (readers & READER_OFFICE) && flags.IsBlockedForEmbeddingOnly();
        unblocked += std::string("not blocked: ") + static_cast<LPCSTR>(entry.strClsid) +
                     (entry.strName.IsEmpty() ? "" : "  ") + static_cast<LPCSTR>(entry.strName) +
                     (bEmbeddingOnly ? "  (Office: embedding and linking only)" : "") + "\n";
    }
    Print(unblocked);
    if (!unblocked.empty())
        return EXIT_FAILED;
    Print("blocked in every view: " +
          Count(static_cast<int>(entries.size()), "control", "controls") + "\n");
    return EXIT_OK;
}

int SetBlockedCommand(bool bBlocked, const std::vector<CString>& clsids, bool bAll,
                      LPCSTR pszAddName, unsigned readers) {
    CEntryArray entries;
    if (bAll) {
        int nLoaded = LoadExistingEntries(&entries);
        if (nLoaded != EXIT_OK)
            return nLoaded;
    }
    for (const CString& strClsid : clsids)
        entries.m_entries.push_back(
            {pszAddName ? NameToList(pszAddName, strClsid) : CString(), strClsid, bBlocked});
    return SetBlockedEntries(bBlocked, entries.m_entries, pszAddName != NULL, readers);
}

int SetBlockedEntries(bool bBlocked, const std::vector<Entry>& targets, bool bAdd,
                      unsigned readers) {
    if (bAdd) {
        // Listed first, then set below like any other: the other rows' kill bits stay untouched.
        CListLock lock;
        CEntryArray entries;
        if (!LoadEntries(&entries, &lock))
            return EXIT_FAILED;
        std::set<std::string> listed = ListedClsids(entries);
        std::vector<CString> added;
        for (const Entry& target : targets) {
            if (listed.insert(static_cast<LPCSTR>(target.strClsid)).second) {
                entries.m_entries.push_back(target);
                added.push_back(target.strClsid);
            }
        }
        if (!added.empty() && !SaveList(entries))
            return EXIT_FAILED;
        for (const CString& strClsid : added)
            Print(std::string("added: ") + static_cast<LPCSTR>(strClsid) + "\n");
    }

    LPCSTR pszState = bBlocked ? "blocked" : "unblocked";
    int nFailed = 0;
    const std::vector<KillBitKey> locations = KillBitLocations(readers);
    for (const Entry& target : targets) {
        const CString& strClsid = target.strClsid;
        if (SetBlocked(KillBitKeys(locations, strClsid), bBlocked)) {
            Print(std::string(pszState) + ": " + static_cast<LPCSTR>(strClsid) + "\n");
        } else {
            PrintError("cannot write the kill bit of %s", static_cast<LPCSTR>(strClsid));
            ++nFailed;
        }
    }
    return nFailed == 0 ? EXIT_OK : EXIT_FAILED;
}

int ExportCommand(LPCSTR pszFile, bool bGpp, unsigned readers) {
    CEntryArray entries;
    int nLoaded = LoadExistingEntries(&entries);
    if (nLoaded != EXIT_OK)
        return nLoaded;
    // One item per key: a control listed twice must not give two items the same uid.
    std::vector<ExportControl> controls =
        DescribeExport(EntryList::MergeRepeats(entries.m_entries), readers);
    std::string bytes;
    if (bGpp) {
        SYSTEMTIME now;
        ::GetSystemTime(&now);
        CString strBadName;
        if (!BuildGppFile(controls, now, &bytes, &strBadName)) {
            PrintError("%s not written: the name \"%s\" holds a control character, which XML "
                       "cannot carry; rename it first",
                       pszFile, static_cast<LPCSTR>(strBadName));
            return EXIT_FAILED;
        }
    } else {
        bytes = BuildRegFile(controls);
    }
    if (!AfxReplaceFile(pszFile, bytes)) {
        PrintError("cannot write %s: %s", pszFile,
                   static_cast<LPCSTR>(AfxGetSystemMessage(::GetLastError())));
        return EXIT_FAILED;
    }
    Print("exported " + Count(static_cast<int>(controls.size()), "control", "controls") + " to " +
          pszFile + "\n");
    return EXIT_OK;
}

int ImportCommand(LPCSTR pszFile) {
    std::string bytes;
    if (!AfxReadTextFile(pszFile, &bytes)) {
        PrintError("cannot read %s: %s", pszFile,
                   static_cast<LPCSTR>(AfxGetSystemMessage(::GetLastError())));
        return EXIT_FAILED;
    }
    CListLock lock;
    CEntryArray entries;
    if (!LoadEntries(&entries, &lock))
        return EXIT_FAILED;
    // Only the list is saved, so an import changes no kill bit.
    std::set<std::string> listed = ListedClsids(entries);
    std::map<std::string, int> firstLine; // CLSIDs of this file -> their first line
    int nAdded = 0;
    int nSkipped = 0;
    for (const ImportLine& line : ParseImportFile(bytes)) {
        CString strClsid;
        std::string reason;
        KillBitFlags killBit = {};
        auto seen = firstLine.end();
        if (!ParseClsid(line.strClsid, &strClsid)) {
            reason = "not a CLSID";
        } else if ((seen = firstLine.find(static_cast<LPCSTR>(strClsid))) != firstLine.end()) {
            if (line.bRepeatAllowed)
                continue;
            reason = "duplicate of line " + std::to_string(seen->second);
        } else {
            firstLine[static_cast<LPCSTR>(strClsid)] = line.nLine;
            killBit = ReadKillBitFlags(strClsid);
            if (listed.count(static_cast<LPCSTR>(strClsid)) != 0)
                reason = "duplicate: already listed";
            else if (killBit.IsPartlyBlocked())
                reason = kPartlyBlocked;
        }
        if (!reason.empty()) {
            PrintError("%s(%d): skipped \"%s\": %s", pszFile, line.nLine,
                       static_cast<LPCSTR>(line.strText), reason.c_str());
            ++nSkipped;
            continue;
        }
        Entry entry = {NameToList(line.strName, strClsid), strClsid, killBit.IsBlocked()};
        entries.m_entries.push_back(entry);
        ++nAdded;
    }
    if (nAdded > 0 && !SaveList(entries))
        return EXIT_FAILED;
    Print("imported " + Count(nAdded, "entry", "entries") + " into " + ListFile() + ", skipped " +
          Count(nSkipped, "line", "lines") + "\n");
    return EXIT_OK;
}
