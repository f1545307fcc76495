// The Quellbox list as quellctl reads and changes it: names and CLSIDs only. Every command reads
// or writes the kill bits it is about itself, each key once.
#pragma once

#include "quellctl/Output.h"
#include "storage/EntryList.h"
#include "storage/ListLock.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

// The list file of the application object.
LPCSTR ListFile();

// False, with the reason said, when the list file cannot be read: an unreadable list must not
// pass for an empty one. A position without a CLSID is said to be skipped.
bool LoadList(COutput& out, CEntryArray* pEntries);
// For answers about the whole list: a list file that is not there, such as a mistyped --ini,
// must not pass for an empty list either (EXIT_USAGE).
int LoadExistingList(COutput& out, CEntryArray* pEntries);

// Takes the lock that every writer of the list and of its kill bits holds, so that the dialog's
// save, which keeps a kill bit that another program changed since its load, sees either none of
// a command's writes or all of them. False, with the reason said, when another program held it
// all the while.
bool LockList(COutput& out, CListLock* pLock);

// The CLSIDs of the entries, to look many up.
std::set<std::string> ListedClsids(const std::vector<Entry>& entries);

// The list for a command that changes it. It exists only locked and read, and saves the one way
// such a command may: the entries alone, every kill bit as it is.
class CListForChange {
public:
    // NULL, with the reason said, when another program held the list all the while or it could
    // not be read.
    static std::unique_ptr<CListForChange> Open(COutput& out);

    std::vector<Entry>& Entries() { return m_entries.m_entries; }
    // False, with the reason said, when the list file could not be saved.
    bool Save(COutput& out);

private:
    CListForChange() {}
    CListForChange(const CListForChange&);
    CListForChange& operator=(const CListForChange&);

    CListLock m_lock;
    CEntryArray m_entries;
};
