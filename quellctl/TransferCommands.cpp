// export and import: the list's kill bits as files for other machines, and lists of controls
// from files.
#include "quellctl/Commands.h"

#include "framework/File.h"
#include "framework/WinApp.h"
#include "quellctl/ListFile.h"
#include "quellctl/Transfer.h"
#include "storage/ClsidText.h"

#include <map>
#include <set>

int ExportCommand(COutput& out, LPCSTR pszFile, ExportFormat format, unsigned readers) {
    CEntryArray entries;
    int nLoaded = LoadExistingList(out, &entries);
    if (nLoaded != EXIT_OK)
        return nLoaded;
    // One item per key: a control listed twice must not give two items the same uid.
    const std::vector<ExportControl> controls =
        DescribeExport(EntryList::MergeRepeats(entries.m_entries), readers);
    std::string bytes;
    CString strError;
    bool bBuilt = false;
    switch (format) {
    case EXPORT_REG:
        bBuilt = BuildRegFile(controls, &bytes, &strError);
        break;
    case EXPORT_GPP: {
        SYSTEMTIME now;
        ::GetSystemTime(&now);
        bBuilt = BuildGppFile(controls, now, &bytes, &strError);
        break;
    }
    }
    if (!bBuilt) {
        out.PrintError("%s not written: %s", pszFile, static_cast<LPCSTR>(strError));
        return EXIT_FAILED;
    }
    if (!AfxReplaceFile(pszFile, bytes)) {
        out.PrintError("cannot write %s: %s", pszFile,
                       static_cast<LPCSTR>(AfxGetSystemMessage(::GetLastError())));
        return EXIT_FAILED;
    }
    out.Print("exported " + Count(static_cast<int>(controls.size()), "control", "controls") +
              " to " + pszFile + "\n");
    return EXIT_OK;
}

int ImportCommand(COutput& out, LPCSTR pszFile) {
    std::string bytes;
    if (!AfxReadTextFile(pszFile, &bytes)) {
        out.PrintError("cannot read %s: %s", pszFile,
                       static_cast<LPCSTR>(AfxGetSystemMessage(::GetLastError())));
        return EXIT_FAILED;
    }
    std::unique_ptr<CListForChange> pList = CListForChange::Open(out);
    if (!pList)
        return EXIT_FAILED;
    // Only the list is saved, so an import changes no kill bit.
    std::set<std::string> listed = ListedClsids(pList->Entries());
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
                reason = PARTLY_BLOCKED;
        }
        if (!reason.empty()) {
            out.PrintError("%s(%d): skipped \"%s\": %s", pszFile, line.nLine,
                           static_cast<LPCSTR>(line.strText), reason.c_str());
            ++nSkipped;
            continue;
        }
        pList->Entries().push_back(
            {NameToList(line.strName, strClsid), strClsid, killBit.IsBlocked()});
        ++nAdded;
    }
    if (nAdded > 0 && !pList->Save(out))
        return EXIT_FAILED;
    out.Print("imported " + Count(nAdded, "entry", "entries") + " into " + ListFile() +
              ", skipped " + Count(nSkipped, "line", "lines") + "\n");
    return EXIT_OK;
}
