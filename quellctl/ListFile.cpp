#include "quellctl/ListFile.h"

#include "framework/File.h"
#include "framework/WinApp.h"

namespace {

// Why the list file could not be read or saved. A failed save may have left the list in its
// temporary file alone: that file is named, so that it can be put back.
std::string ListFileError(DWORD dwError) {
    const std::string temp = AfxOrphanedTempFile(ListFile());
    if (!temp.empty())
        return "it is missing, and the last list saved is only in " + temp +
               "; rename that file to the list file's name first";
    return static_cast<LPCSTR>(AfxGetSystemMessage(dwError));
}

} // namespace

std::set<std::string> ListedClsids(const std::vector<Entry>& entries) {
    std::set<std::string> listed;
    for (const Entry& entry : entries)
        listed.insert(static_cast<LPCSTR>(entry.strClsid));
    return listed;
}

LPCSTR ListFile() { return AfxGetApp()->m_pszProfileName; }

bool LoadList(COutput& out, CEntryArray* pEntries) {
    ListAsRead asRead;
    if (!EntryList::Load(*pEntries, &asRead, EntryList::LIST_ONLY)) {
        out.PrintError("cannot read the list file %s: %s", ListFile(),
                       ListFileError(::GetLastError()).c_str());
        return false;
    }
    // Such a position is no entry, and goes at the next save: said, so that nothing goes unseen.
    for (const std::string& position : asRead.skipped)
        out.PrintError("%s: skipped entry %s: it has no CLSID (S%s)", ListFile(), position.c_str(),
                       position.c_str());
    return true;
}

int LoadExistingList(COutput& out, CEntryArray* pEntries) {
    if (::GetFileAttributesW(AfxLongPath(ListFile()).data()) == INVALID_FILE_ATTRIBUTES &&
        (::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND) &&
        AfxOrphanedTempFile(ListFile()).empty()) {
        out.PrintError("the list file %s does not exist", ListFile());
        return 2;
    }
    return LoadList(out, pEntries) ? 0 : 1;
}

bool LockList(COutput& out, CListLock* pLock) {
    if (pLock->Lock(ListFile()))
        return true;
    out.PrintError("the list file %s is being changed by another program (%s is held); "
                   "nothing was done",
                   ListFile(), static_cast<LPCSTR>(CListLock::LockFileOf(ListFile())));
    return false;
}

std::unique_ptr<CListForChange> CListForChange::Open(COutput& out) {
    std::unique_ptr<CListForChange> pList(new CListForChange);
    if (!LockList(out, &pList->m_lock) || !LoadList(out, &pList->m_entries))
        return NULL;
    return pList;
}

bool CListForChange::Save(COutput& out) {
    SaveResult result = EntryList::Save(m_entries, EntryList::LIST_ONLY);
    if (!result.bListFileSaved)
        out.PrintError("cannot save the list file %s: %s", ListFile(),
                       ListFileError(result.dwListFileError).c_str());
    return result.Succeeded();
}
