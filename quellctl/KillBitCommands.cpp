// check, block and unblock: the kill bits of the controls named, or of every listed one.
#include "quellctl/Commands.h"

#include "quellctl/ListFile.h"

#include <set>

namespace {

// The controls named, or every listed one; each named control by its entry's name, if any.
int TargetEntries(COutput& out, const std::vector<CString>& clsids, bool bAll,
                  std::vector<Entry>* pEntries) {
    if (bAll) {
        CEntryArray entries;
        int nLoaded = LoadExistingList(out, &entries);
        *pEntries = entries.m_entries;
        return nLoaded;
    }
    for (const CString& strClsid : clsids)
        pEntries->push_back({CString(), strClsid, false});
    return EXIT_OK;
}

} // namespace

int CheckCommand(COutput& out, const std::vector<CString>& clsids, bool bAll, unsigned readers) {
    std::vector<Entry> entries;
    int nLoaded = TargetEntries(out, clsids, bAll, &entries);
    return nLoaded != EXIT_OK ? nLoaded : CheckEntries(out, entries, readers);
}

int CheckEntries(COutput& out, const std::vector<Entry>& entries, unsigned readers) {
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
    out.Print(unblocked);
    if (!unblocked.empty())
        return EXIT_FAILED;
    out.Print("blocked in every view: " +
              Count(static_cast<int>(entries.size()), "control", "controls") + "\n");
    return EXIT_OK;
}

int SetBlockedCommand(COutput& out, bool bBlocked, const std::vector<CString>& clsids, bool bAll,
                      LPCSTR pszAddName, unsigned readers) {
    std::vector<Entry> entries;
    int nLoaded = TargetEntries(out, clsids, bAll, &entries);
    if (nLoaded != EXIT_OK)
        return nLoaded;
    if (pszAddName != NULL) {
        for (Entry& entry : entries)
            entry.strName = NameToList(pszAddName, entry.strClsid);
    }
    return SetBlockedEntries(out, bBlocked, entries, pszAddName != NULL, readers);
}

int SetBlockedEntries(COutput& out, bool bBlocked, const std::vector<Entry>& targets, bool bAdd,
                      unsigned readers) {
    // Listed first, then set below like any other: the other rows' kill bits stay untouched.
    std::unique_ptr<CListForChange> pList;
    CListLock lock;
    if (bAdd ? !(pList = CListForChange::Open(out)) : !LockList(out, &lock))
        return EXIT_FAILED;
    if (pList) {
        std::set<std::string> listed = ListedClsids(pList->Entries());
        std::vector<CString> added;
        for (const Entry& target : targets) {
            if (listed.insert(static_cast<LPCSTR>(target.strClsid)).second) {
                pList->Entries().push_back(target);
                added.push_back(target.strClsid);
            }
        }
        if (!added.empty() && !pList->Save(out))
            return EXIT_FAILED;
        for (const CString& strClsid : added)
            out.Print(std::string("added: ") + static_cast<LPCSTR>(strClsid) + "\n");
    }

    LPCSTR pszState = bBlocked ? "blocked" : "unblocked";
    int nFailed = 0;
    const std::vector<KillBitKey> locations = KillBitLocations(readers);
    for (const Entry& target : targets) {
        const CString& strClsid = target.strClsid;
        if (SetBlocked(KillBitKeys(locations, strClsid), bBlocked)) {
            out.Print(std::string(pszState) + ": " + static_cast<LPCSTR>(strClsid) + "\n");
        } else {
            out.PrintError("cannot write the kill bit of %s", static_cast<LPCSTR>(strClsid));
            ++nFailed;
        }
    }
    return nFailed == 0 ? EXIT_OK : EXIT_FAILED;
}
