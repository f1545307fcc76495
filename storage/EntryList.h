// The block list in the list file: section "Setting", keys N<i> (name) and S<i> (CLSID text)
// for positions 0, 1, 2, ... without gaps. The blocked flags live in the registry only.
#pragma once

#include "framework/String.h"

#include <vector>

struct Entry {
    CString strName;  // as the user typed it
    CString strClsid; // trimmed and upper-cased, without braces
    bool bBlocked;    // the row's check box
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

struct SaveResult {
    bool bListFileSaved = true;
    DWORD dwListFileError =
        ERROR_SUCCESS;                 // the system's error code when the list file was not saved
    std::vector<int> registryFailures; // positions of the entries whose flags were not written
    bool Succeeded() const { return bListFileSaved && registryFailures.empty(); }
};

namespace EntryList {

// The list file for a module's full file name: "Quellbox.ini" in the module's directory,
// whatever the module is called, or ".\Quellbox.ini" when the name is unknown (empty).
CString ListFilePathFor(const CString& strModuleFileName);

// The position of the first entry with exactly this CLSID text (_mbscmp), or -1.
int FindClsid(const IEntrySource& source, const CString& strClsid);

// Trims blanks from both ends and upper-cases the letters: the one form a CLSID is held in.
void NormalizeClsid(CString& strClsid);

// Reads the list file of the application object and each entry's blocked state from the
// registry. Stops at the first position whose name or CLSID is missing or empty. False, with
// the reason in GetLastError, when the file exists but cannot be read: the list is then empty.
bool Load(IEntrySink& sink);

// Each control once, where and under the name it is first listed; blocked when any of its rows
// is ticked: a tool that blocks errs on the side of blocking.
std::vector<Entry> MergeRepeats(const std::vector<Entry>& rows);

enum SaveWhat { LIST_AND_FLAGS, LIST_ONLY };

// Replaces the list in the list file (every other section and line is kept, every section
// "Setting" goes) and, unless LIST_ONLY, writes each entry's blocked state to the registry: a
// control listed more than once is blocked when any of its entries is. An entry saved as it was
// read keeps its name's own text in a Unicode list file, wherever it moved. Every write is
// attempted; the result tells which failed. A list file that fails to save keeps its old contents.
// LIST_ONLY serves commands that list controls without deciding their kill bits: an entry's one
// blocked flag cannot hold a bit set in one registry view only.
SaveResult Save(const IEntrySource& source, SaveWhat what = LIST_AND_FLAGS);

} // namespace EntryList
