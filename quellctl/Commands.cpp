#include "quellctl/Commands.h"

#include "framework/WinApp.h"
#include "quellctl/Clsid.h"
#include "quellctl/Table.h"
#include "quellctl/Transfer.h"
#include "storage/ComRegistration.h"
#include "storage/EntryList.h"
#include "storage/KillBit.h"

#include <stdarg.h>
#include <stdio.h>

#include <map>
#include <string>

namespace {

void Print(const std::string& text) {
    fwrite(text.data(), 1, text.size(), stdout);
    fflush(stdout);
}

std::string Count(int n, LPCSTR pszOne, LPCSTR pszMany) {
    return std::to_string(n) + " " + (n == 1 ? pszOne : pszMany);
}

LPCSTR ListFile() { return AfxGetApp()->m_pszProfileName; }

// An unreadable list file must not pass for an empty list.
bool LoadEntries(CEntryArray* pEntries) {
    if (EntryList::Load(*pEntries))
        return true;
    PrintError("cannot read the list file %s: %s", ListFile(),
               static_cast<LPCSTR>(AfxGetSystemMessage(::GetLastError())));
    return false;
}

bool SaveEntries(const CEntryArray& entries) {
    SaveResult result = EntryList::Save(entries);
    if (!result.bListFileSaved)
        PrintError("cannot save the list file %s: %s", ListFile(),
                   static_cast<LPCSTR>(AfxGetSystemMessage(result.dwListFileError)));
    for (int nIndex : result.registryFailures)
        PrintError("cannot write the kill bit of %s",
                   static_cast<LPCSTR>(entries.m_entries[nIndex].strClsid));
    return result.Succeeded();
}

CString FlagsCell(const CString& strKeyPath, REGSAM samView) {
    DWORD dwFlags;
    CString strCell;
    switch (
        ReadRawRegDword(HKEY_LOCAL_MACHINE, strKeyPath, KILL_BIT_VALUE_NAME, samView, &dwFlags)) {
    case RAW_MISSING:
        strCell = "-";
        break;
    case RAW_NOT_FOUR:
        strCell = "?";
        break;
    case RAW_DWORD:
        strCell.Format("0x%08lX", static_cast<unsigned long>(dwFlags));
        break;
    }
    return strCell;
}

bool ReadFileBytes(LPCSTR pszFile, std::string* pBytes) {
    HANDLE h = ::CreateFileA(pszFile, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    char buffer[65536];
    DWORD n;
    BOOL bRead;
    while ((bRead = ::ReadFile(h, buffer, sizeof(buffer), &n, NULL)) && n > 0)
        pBytes->append(buffer, n);
    DWORD dwError = ::GetLastError();
    ::CloseHandle(h);
    ::SetLastError(dwError);
    return bRead != FALSE;
}

bool WriteFileBytes(LPCSTR pszFile, const std::string& bytes) {
    HANDLE h =
        ::CreateFileA(pszFile, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD n = 0;
    bool bWritten = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, NULL) &&
                    n == bytes.size();
    DWORD dwError = ::GetLastError();
    bool bClosed = ::CloseHandle(h) != FALSE;
    ::SetLastError(dwError);
    return bWritten && bClosed;
}

} // namespace

void PrintError(LPCSTR pszFormat, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, pszFormat);
    _vsnprintf(buffer, sizeof(buffer) - 1, pszFormat, args);
    va_end(args);
    buffer[sizeof(buffer) - 1] = '\0';
    fprintf(stderr, "quellctl: %s\n", buffer);
    fflush(stderr);
}

int ListCommand(bool bCsv) {
    CEntryArray entries;
    if (!LoadEntries(&entries))
        return EXIT_FAILED;
    const CRegistryViews& views = RegistryViews();
    std::vector<CString> header = {"Name", "CLSID", "Blocked"};
    for (REGSAM samView : views)
        header.push_back(views.GetCount() == 1        ? "Flags"
                         : samView == KEY_WOW64_32KEY ? "Flags32"
                                                      : "Flags64");
    header.insert(header.end(), {"Registered", "Class", "Server"});
    CTable table;
    table.AddRow(header);

    for (const Entry& entry : entries.m_entries) {
        CString strKeyPath = KillBitKeyPath(entry.strClsid);
        std::vector<CString> row = {entry.strName, entry.strClsid,
                                    IsBlocked(strKeyPath) ? "yes" : "no"};
        for (REGSAM samView : views)
            row.push_back(FlagsCell(strKeyPath, samView));
        ComRegistration reg;
        bool bRegistered = FindComRegistration(entry.strClsid, &reg);
        row.insert(row.end(), {bRegistered ? "yes" : "no", reg.strClassName, reg.strServer});
        table.AddRow(row);
    }
    Print(bCsv ? table.FormatCsv() : table.FormatText());
    return EXIT_OK;
}

int SetBlockedCommand(bool bBlocked, const std::vector<CString>& clsids, bool bAll,
                      LPCSTR pszAddName) {
    LPCSTR pszState = bBlocked ? "blocked" : "unblocked";
    CEntryArray entries;
    std::vector<CString> targets = clsids;
    if (bAll || pszAddName) {
        if (!LoadEntries(&entries))
            return EXIT_FAILED;
    }
    if (bAll) {
        targets.clear();
        for (const Entry& entry : entries.m_entries)
            targets.push_back(entry.strClsid);
    }
    if (pszAddName && EntryList::FindClsid(entries, targets[0]) < 0) {
        // A new row goes in as the dialog's OK would save it: the list and its flag at once.
        Entry entry = {pszAddName, targets[0], bBlocked};
        entries.m_entries.push_back(entry);
        if (!SaveEntries(entries))
            return EXIT_FAILED;
        Print(std::string("added and ") + pszState + ": " + static_cast<LPCSTR>(targets[0]) + "\n");
        return EXIT_OK;
    }

    int nFailed = 0;
    for (const CString& strClsid : targets) {
        if (SetBlocked(KillBitKeyPath(strClsid), bBlocked)) {
            Print(std::string(pszState) + ": " + static_cast<LPCSTR>(strClsid) + "\n");
        } else {
            PrintError("cannot write the kill bit of %s", static_cast<LPCSTR>(strClsid));
            ++nFailed;
        }
    }
    return nFailed == 0 ? EXIT_OK : EXIT_FAILED;
}

int ExportCommand(LPCSTR pszFile) {
    CEntryArray entries;
    if (!LoadEntries(&entries))
        return EXIT_FAILED;
    if (!WriteFileBytes(pszFile, BuildRegFile(entries.m_entries))) {
        PrintError("cannot write %s: %s", pszFile,
                   static_cast<LPCSTR>(AfxGetSystemMessage(::GetLastError())));
        return EXIT_FAILED;
    }
    Print("exported " + Count(entries.GetEntryCount(), "entry", "entries") + " to " + pszFile +
          "\n");
    return EXIT_OK;
}

int ImportCommand(LPCSTR pszFile) {
    std::string bytes;
    if (!ReadFileBytes(pszFile, &bytes)) {
        PrintError("cannot read %s: %s", pszFile,
                   static_cast<LPCSTR>(AfxGetSystemMessage(::GetLastError())));
        return EXIT_FAILED;
    }
    CEntryArray entries;
    if (!LoadEntries(&entries))
        return EXIT_FAILED;
    // Save writes every row's flag: the listed rows keep what they were loaded with, and new
    // ones get what the registry holds now, so an import changes no kill bit.
    std::map<std::string, int> firstLine; // CLSIDs of this file -> their first line
    int nAdded = 0;
    int nSkipped = 0;
    for (const ImportLine& line : ParseImportFile(bytes)) {
        CString strClsid;
        LPCSTR pszReason = NULL;
        char reason[64];
        auto seen = firstLine.end();
        if (!ParseClsid(line.strClsid, &strClsid)) {
            pszReason = "not a CLSID";
        } else if ((seen = firstLine.find(static_cast<LPCSTR>(strClsid))) != firstLine.end()) {
            if (line.bRepeatAllowed)
                continue;
            sprintf(reason, "duplicate of line %d", seen->second);
            pszReason = reason;
        } else {
            firstLine[static_cast<LPCSTR>(strClsid)] = line.nLine;
            if (EntryList::FindClsid(entries, strClsid) >= 0)
                pszReason = "duplicate: already listed";
        }
        if (pszReason) {
            PrintError("%s(%d): skipped \"%s\": %s", pszFile, line.nLine,
                       static_cast<LPCSTR>(line.strText), pszReason);
            ++nSkipped;
            continue;
        }
        Entry entry = {line.strName.IsEmpty() ? strClsid : line.strName, strClsid,
                       IsBlocked(KillBitKeyPath(strClsid))};
        entries.m_entries.push_back(entry);
        ++nAdded;
    }
    if (!SaveEntries(entries))
        return EXIT_FAILED;
    Print("imported " + Count(nAdded, "entry", "entries") + " into " + ListFile() + ", skipped " +
          Count(nSkipped, "line", "lines") + "\n");
    return EXIT_OK;
}
