// The block list in the list file: section "Setting", keys N<i> (name) and S<i> (CLSID text),
// written for positions 0, 1, 2, ... without gaps. The blocked flags live in the registry only.
#pragma once

#include "framework/String.h"
#include "storage/KillBit.h"

#include <string>
#include <unordered_map>
#include <vector>

// CLSIDs to look up. A map of the kind the list code uses anyway: a hash table of another kind
// would make the dialog program larger.
typedef std::unordered_map<std::string, bool> ClsidSet;

// bBlocked not read from the registry, but chosen.
const DWORD VIEWS_UNREAD = 0xFFFFFFFF;

struct Entry {
    CString strName;  // as the user typed it
    CString strClsid; // trimmed and upper-cased, without braces
    bool bBlocked;    // the row's check box
    // KillBitFlags::BlockedViews when bBlocked was last read from the registry: whether the user
    // changed the box since, and whether another program changed the kill bits since.
    DWORD dwViewsAsRead = VIEWS_UNREAD;
};

// Where Load puts the entries, in order, as it reads them.
class IEntrySink {
public:
    virtual void AddEntry(const Entry& entry) = 0;

protected:
    ~IEntrySink() {}
};

// Where Save takes the entries from, in display order.
class IEntrySource {
public:
    virtual int GetEntryCount() const = 0;
    virtual Entry GetEntry(int nIndex) const = 0;

protected:
    ~IEntrySource() {}
};

// The entries in memory, for callers without a list control to hold them.
class CEntryArray : public IEntrySink, public IEntrySource {
public:
    void AddEntry(const Entry& entry) override { m_entries.push_back(entry); }
    int GetEntryCount() const override { return static_cast<int>(m_entries.size()); }
    Entry GetEntry(int nIndex) const override { return m_entries[nIndex]; }

    std::vector<Entry> m_entries;
};

// What a load found beyond the entries.
struct ListAsRead {
    std::vector<std::string> skipped; // positions without a CLSID, in decimal: no entry
    ClsidSet clsids;                  // every CLSID listed
};

struct SaveResult {
    bool bListFileSaved = true;
    DWORD dwListFileError =
        ERROR_SUCCESS;                 // the system's error code when the list file was not saved
    std::vector<int> registryFailures; // positions of the entries whose flags were not written
    int nKept = 0; // controls that another program listed since the load, saved after the entries
    bool Succeeded() const { return bListFileSaved && registryFailures.empty(); }
};

namespace EntryList {

// The list file for a module's full file name: "Quellbox.ini" in the module's directory,
// whatever the module is called, or ".\Quellbox.ini" when the name is unknown (empty).
CString ListFilePathFor(const CString& strModuleFileName);

// The position of the first entry with exactly this CLSID text (_mbscmp), or -1.
int FindClsid(const IEntrySource& source, const CString& strClsid);

// Reads the list file of the application object and each entry's blocked state from the
// registry: every position i that has a key N<i> or S<i> (i in decimal, no leading zero), in
// ascending order. A position without a CLSID is skipped; one without a name is named by its
// CLSID. False, with the reason in GetLastError, when the file exists but cannot be read, or a
// failed save left the list in a temporary file only (AfxOrphanedTempFile): the list is then
// empty.
enum Scope {
    LIST_AND_FLAGS, // the entries and their kill bits
    LIST_ONLY,      // for commands that list controls without deciding their kill bits
};
// LIST_ONLY leaves every entry's bBlocked false, unread.
bool Load(IEntrySink& sink, ListAsRead* pAsRead = NULL, Scope scope = LIST_AND_FLAGS);

// The entry's box as Internet Explorer's kill bits have it now, and what it was read from.
void ReadBlocked(Entry& entry,
                 const std::vector<KillBitKey>& locations = KillBitLocations(READER_IE));

// Each control once, where and under the name it is first listed; blocked when any of its rows
// is ticked: a tool that blocks errs on the side of blocking.
std::vector<Entry> MergeRepeats(const std::vector<Entry>& rows);

// Replaces the list in the list file (every other section and line is kept, every section
// "Setting" goes) and, unless LIST_ONLY, writes each entry's blocked state to the registry: a
// control listed more than once is blocked when any of its entries is. A control whose entries
// the user left as read, and whose kill bits another program changed since, keeps the registry's
// new state. With pAsRead, what the load found: every control that another program listed since
// then, and that the entries do not hold, is kept after them, its kill bits untouched. An entry
// saved as it was read keeps its name's own text in a Unicode list file, wherever it moved. Every
// write is attempted; the result tells which failed. A list file that fails to save keeps its old
// contents. LIST_ONLY leaves every kill bit as it is: an entry's one blocked flag cannot hold a
// bit set in one registry view only.
SaveResult Save(const IEntrySource& source, Scope what = LIST_AND_FLAGS,
                const ListAsRead* pAsRead = NULL);

} // namespace EntryList
